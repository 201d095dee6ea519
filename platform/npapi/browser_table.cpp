// The browser's function table and the calls that reach an instance's page.

#include <string>

#include "platform/npapi/browser.h"

namespace {

NpPage* PageOf(NPP instance) {
  return instance != nullptr ? static_cast<NpPage*>(instance->ndata) : nullptr;
}

NPError NoUrl(NPP /*instance*/, const char* /*url*/, const char* /*window*/) {
  return NPERR_GENERIC_ERROR;
}

NPError NoUrlNotify(NPP /*instance*/, const char* /*url*/, const char* /*target*/,
                    void* /*notifyData*/) {
  return NPERR_GENERIC_ERROR;
}

NPError NoSetValue(NPP instance, NPPVariable /*variable*/, void* /*value*/) {
  return instance != nullptr ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

uint32_t NoFlush(uint32_t /*size*/) { return 0; }
void NoReload(NPBool /*reloadPages*/) {}
void NoInvalidate(NPP /*instance*/, NPRect* /*rect*/) {}
void NoRedraw(NPP /*instance*/) {}

NPNetscapeFuncs MakeTable() {
  NPNetscapeFuncs t{};
  t.size = sizeof(NPNetscapeFuncs);
  t.version = static_cast<uint16_t>((kNpVersionMajor << 8) | kNpVersionMinor);
  t.geturl = NoUrl;
  t.status = NPN_Status;
  t.uagent = NPN_UserAgent;
  t.memalloc = NPN_MemAlloc;
  t.memfree = NPN_MemFree;
  t.memflush = NoFlush;
  t.reloadplugins = NoReload;
  t.geturlnotify = NoUrlNotify;
  t.getvalue = NPN_GetValue;
  t.setvalue = NoSetValue;
  t.invalidaterect = NoInvalidate;
  t.forceredraw = NoRedraw;
  t.getstringidentifier = NPN_GetStringIdentifier;
  t.getstringidentifiers = NPN_GetStringIdentifiers;
  t.getintidentifier = NPN_GetIntIdentifier;
  t.identifierisstring = NPN_IdentifierIsString;
  t.utf8fromidentifier = NPN_UTF8FromIdentifier;
  t.intfromidentifier = NPN_IntFromIdentifier;
  t.createobject = NPN_CreateObject;
  t.retainobject = NPN_RetainObject;
  t.releaseobject = NPN_ReleaseObject;
  t.invoke = NPN_Invoke;
  t.invokeDefault = NPN_InvokeDefault;
  t.evaluate = NPN_Evaluate;
  t.getproperty = NPN_GetProperty;
  t.setproperty = NPN_SetProperty;
  t.removeproperty = NPN_RemoveProperty;
  t.hasproperty = NPN_HasProperty;
  t.hasmethod = NPN_HasMethod;
  t.releasevariantvalue = NPN_ReleaseVariantValue;
  t.setexception = NPN_SetException;
  return t;
}

}  // namespace

NPNetscapeFuncs* NpBrowserFunctions() {
  static NPNetscapeFuncs table = MakeTable();
  return &table;
}

NPError NPN_GetValue(NPP instance, NPNVariable variable, void* ret_value) {
  if (ret_value == nullptr) return NPERR_INVALID_PARAM;
  NpPage* page = PageOf(instance);
  switch (variable) {
    case NPNVWindowNPObject:
    case NPNVPluginElementNPObject: {
      if (page == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
      NPObject* obj = variable == NPNVWindowNPObject ? page->WindowObject() : page->PluginElement();
      *static_cast<NPObject**>(ret_value) = obj;
      return obj != nullptr ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
    }
    case NPNVjavascriptEnabledBool:
      *static_cast<NPBool*>(ret_value) = 1;
      return NPERR_NO_ERROR;
    case NPNVisOfflineBool:
    case NPNVSupportsWindowless:
      *static_cast<NPBool*>(ret_value) = 0;
      return NPERR_NO_ERROR;
    default:
      return NPERR_GENERIC_ERROR;
  }
}

bool NPN_Evaluate(NPP npp, NPObject* obj, NPString* script, NPVariant* result) {
  NpPage* page = PageOf(npp);
  if (page == nullptr || script == nullptr || result == nullptr) return false;
  std::string text(script->UTF8Characters != nullptr ? script->UTF8Characters : "",
                   script->UTF8Length);
  return page->Evaluate(obj, text, result);
}

void NPN_Status(NPP instance, const char* message) {
  NpPage* page = PageOf(instance);
  if (page != nullptr && message != nullptr) page->Status(message);
}

const char* NPN_UserAgent(NPP /*instance*/) { return "orvix/1.0"; }
