// The module's entry points and the instance functions the browser calls through the table
// NP_GetEntryPoints fills.
#include <new>

#include "control/npapi/browser.h"
#include "control/npapi/plugin_instance.h"
#include "platform/npapi/npapi.h"

namespace control::npapi {
namespace {

constexpr uint16_t kPluginTableVersion = 27;
constexpr char kPluginName[] = "NPRuntimeTest";
constexpr char kPluginDescription[] = "Video scriptability API test plugin";

PluginInstance* Of(NPP instance) { return static_cast<PluginInstance*>(instance->pdata); }

NPError New(NPMIMEType, NPP instance, uint16_t, int16_t, char*[], char*[], NPSavedData*) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  auto* made = new (std::nothrow) PluginInstance(instance);
  if (made == nullptr) return NPERR_OUT_OF_MEMORY_ERROR;
  instance->pdata = made;
  made->RunPageActions();
  return NPERR_NO_ERROR;
}

NPError Destroy(NPP instance, NPSavedData**) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  delete Of(instance);
  instance->pdata = nullptr;
  return NPERR_NO_ERROR;
}

NPError SetWindow(NPP instance, NPWindow* window) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (window == nullptr || window->window == nullptr) return NPERR_GENERIC_ERROR;
  PluginInstance* self = Of(instance);
  if (self == nullptr) return NPERR_GENERIC_ERROR;
  if (self->attached()) return NPERR_NO_ERROR;
  if (!self->Attach(static_cast<HWND>(window->window))) {
    delete self;
    instance->pdata = nullptr;
    return NPERR_MODULE_LOAD_FAILED_ERROR;
  }
  return NPERR_NO_ERROR;
}

NPError GetValue(NPP instance, NPPVariable variable, void* value) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  PluginInstance* self = Of(instance);
  if (self == nullptr || value == nullptr) return NPERR_GENERIC_ERROR;
  switch (variable) {
    case NPPVpluginNameString:
      *static_cast<const char**>(value) = kPluginName;
      return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
      *static_cast<const char**>(value) = kPluginDescription;
      return NPERR_NO_ERROR;
    case NPPVpluginScriptableNPObject: {
      NPObject* obj = self->ScriptableObject();
      *static_cast<NPObject**>(value) = obj;
      return obj != nullptr ? NPERR_NO_ERROR : NPERR_OUT_OF_MEMORY_ERROR;
    }
    default:
      return NPERR_GENERIC_ERROR;
  }
}

NPError NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, uint16_t*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}
NPError DestroyStream(NPP instance, NPStream*, NPReason) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}
NPError SetValue(NPP instance, NPNVariable, void*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}
int32_t WriteReady(NPP instance, NPStream*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : 0x0FFFFFFF;
}
int32_t Write(NPP instance, NPStream*, int32_t, int32_t len, void*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : len;
}
void StreamAsFile(NPP, NPStream*, const char*) {}
void Print(NPP, NPPrint*) {}
int16_t HandleEvent(NPP, void*) { return 0; }
void UrlNotify(NPP, const char*, NPReason, void*) {}

}  // namespace
}  // namespace control::npapi

using namespace control::npapi;

extern "C" __attribute__((visibility("default"))) NPError NP_GetEntryPoints(NPPluginFuncs* f) {
  if (f == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  f->version = kPluginTableVersion;
  f->newp = New;
  f->destroy = Destroy;
  f->setwindow = SetWindow;
  f->newstream = NewStream;
  f->destroystream = DestroyStream;
  f->asfile = StreamAsFile;
  f->writeready = WriteReady;
  f->write = Write;
  f->print = Print;
  f->event = HandleEvent;
  f->urlnotify = UrlNotify;
  f->javaClass = nullptr;
  f->getvalue = GetValue;
  f->setvalue = SetValue;
  return NPERR_NO_ERROR;
}

extern "C" __attribute__((visibility("default"))) const char* NP_GetMIMEDescription() {
  return "application/nporvicamplugin";
}

extern "C" __attribute__((visibility("default"))) NPError NP_Initialize(NPNetscapeFuncs* b) {
  if (b == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  if ((b->version >> 8) > 0) return NPERR_INCOMPATIBLE_VERSION_ERROR;
  KeepBrowser(*b);
  return NPERR_NO_ERROR;
}

extern "C" __attribute__((visibility("default"))) NPError NP_Shutdown() { return NPERR_NO_ERROR; }
