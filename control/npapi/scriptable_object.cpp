#include "control/npapi/scriptable_object.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "control/npapi/browser.h"
#include "control/npapi/plugin_instance.h"
#include "control/npapi/script_args.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/ui.h"

namespace control::npapi {
namespace {

using Method = bool (*)(ScriptablePluginObject* self, const NPVariant* args, uint32_t count,
                        NPVariant* result);

PluginInstance* InstanceOf(ScriptablePluginObject* self) {
  return self->npp != nullptr ? static_cast<PluginInstance*>(self->npp->pdata) : nullptr;
}

bool OneText(const NPVariant* args, uint32_t count, std::string* text) {
  if (count < 1 || !NPVARIANT_IS_STRING(args[0])) return false;
  *text = ArgumentText(args[0].value.stringValue);
  return true;
}

bool Start(ScriptablePluginObject* self, const NPVariant* args, uint32_t count, NPVariant*) {
  PluginInstance::EnsureLanguage(1);
  if (self->window == nullptr) {
    MessageBoxA(nullptr, "gm_Wnd==NULL", "start", MB_OK);
    return false;
  }
  std::optional<int32_t> n = count >= 1 ? ArgumentNumber(args[0]) : std::nullopt;
  if (!n) {
    char text[32];
    std::snprintf(text, sizeof(text), "type:%d", count >= 1 ? static_cast<int>(args[0].type) : 0);
    MessageBoxA(self->window, text, "start", MB_OK);
    return false;
  }
  PostMessageA(self->window, kStartMessage, static_cast<WPARAM>(*n), 0);
  return true;
}

bool HostAddr(ScriptablePluginObject* self, const NPVariant* args, uint32_t count, NPVariant*) {
  std::string text;
  if (!OneText(args, count, &text)) return false;
  self->hostAddr = text;
  if (PluginInstance* instance = InstanceOf(self)) instance->SetDvrAddress(text);
  return true;
}

bool Preview(ScriptablePluginObject* self, const NPVariant* args, uint32_t count, NPVariant*) {
  if (count < 1 || NPVARIANT_IS_STRING(args[0])) return false;
  std::optional<int32_t> n = ArgumentNumber(args[0]);
  if (!n) return false;
  if (PluginInstance* instance = InstanceOf(self)) instance->SetPreview(*n == 1 ? 1 : 0);
  return true;
}

bool SipName(ScriptablePluginObject* self, const NPVariant* args, uint32_t count, NPVariant*) {
  return OneText(args, count, &self->sipName);
}

bool Lang(ScriptablePluginObject* self, const NPVariant* args, uint32_t count, NPVariant*) {
  std::string text;
  if (!OneText(args, count, &text)) return false;
  if (PluginInstance* instance = InstanceOf(self)) instance->SetLanguageText(text);
  PluginInstance::LoadLanguage(text == "en" ? 0 : 1);
  return true;
}

bool Add(ScriptablePluginObject* self, const NPVariant* args, uint32_t count, NPVariant* result) {
  int64_t sum = 0;
  for (uint32_t i = 0; i < count; ++i) {
    std::optional<int32_t> n = ArgumentInteger(args[i]);
    if (!n) return false;
    sum += *n;
  }
  const auto total = static_cast<int32_t>(static_cast<uint32_t>(sum));
  std::snprintf(self->display, sizeof(self->display), "Sum = %ld", static_cast<long>(total));
  if (self->window != nullptr) InvalidateRect(self->window, nullptr, TRUE);
  INT32_TO_NPVARIANT(total, *result);
  return true;
}

struct NamedMethod {
  const char* name;
  Method method;
};
constexpr NamedMethod kMethods[] = {{"Start", Start},     {"HostAddr", HostAddr},
                                    {"Preview", Preview}, {"SipName", SipName},
                                    {"Lang", Lang},       {"Add", Add}};

Method Find(NPIdentifier name) {
  for (const NamedMethod& m : kMethods) {
    if (Browser().getstringidentifier(m.name) == name) return m.method;
  }
  return nullptr;
}

bool IsProperty(NPIdentifier name, const char* which) {
  return Browser().getstringidentifier(which) == name;
}

NPObject* Allocate(NPP npp, NPClass*) {
  auto* self = new (std::nothrow) ScriptablePluginObject;
  if (self == nullptr) return nullptr;
  self->npp = npp;
  self->hostAddr = kDefaultHostAddr;
  const char* user = std::getenv("USER");
  std::snprintf(self->name, sizeof(self->name), "%s", user != nullptr ? user : "");
  return self;
}

void Deallocate(NPObject* obj) { delete static_cast<ScriptablePluginObject*>(obj); }

bool HasMethod(NPObject*, NPIdentifier name) { return Find(name) != nullptr; }

bool Invoke(NPObject* obj, NPIdentifier name, const NPVariant* args, uint32_t count,
            NPVariant* result) {
  Method m = Find(name);
  if (m == nullptr) return false;
  VOID_TO_NPVARIANT(*result);
  return m(static_cast<ScriptablePluginObject*>(obj), args, count, result);
}

bool InvokeDefault(NPObject*, const NPVariant*, uint32_t, NPVariant* result) {
  std::printf("ScriptablePluginObject default method called!\n");
  return StringResult("default method return val", result);
}

bool HasProperty(NPObject*, NPIdentifier name) {
  return IsProperty(name, "Version") || IsProperty(name, "Name");
}

bool GetProperty(NPObject* obj, NPIdentifier name, NPVariant* result) {
  auto* self = static_cast<ScriptablePluginObject*>(obj);
  if (IsProperty(name, "Version")) return StringResult("Version 1.0", result);
  if (IsProperty(name, "Name")) return StringResult(self->name, result);
  return false;
}

bool SetProperty(NPObject* obj, NPIdentifier name, const NPVariant* value) {
  auto* self = static_cast<ScriptablePluginObject*>(obj);
  if (!IsProperty(name, "Name") || !NPVARIANT_IS_STRING(*value)) return false;
  const NPString& s = value->value.stringValue;
  const size_t n = std::min<size_t>(s.UTF8Length, sizeof(self->name) - 1);
  std::memcpy(self->name, s.UTF8Characters, n);
  self->name[n] = '\0';
  // A long name is cut to what the display text holds beside its prefix.
  std::snprintf(self->display, sizeof(self->display), "Name set. Value = %.181s", self->name);
  return true;
}

NPClass scriptableClass = {NP_CLASS_STRUCT_VERSION,
                           Allocate,
                           Deallocate,
                           nullptr,
                           HasMethod,
                           Invoke,
                           InvokeDefault,
                           HasProperty,
                           GetProperty,
                           SetProperty,
                           nullptr,
                           nullptr,
                           nullptr};

NPObject* AllocateConstructable(NPP npp, NPClass*) {
  auto* self = new (std::nothrow) ConstructablePluginObject;
  if (self != nullptr) self->npp = npp;
  return self;
}

void DeallocateConstructable(NPObject* obj) { delete static_cast<ConstructablePluginObject*>(obj); }

bool Construct(NPObject* obj, const NPVariant*, uint32_t, NPVariant* result) {
  NPObject* made = Browser().createobject(static_cast<ConstructablePluginObject*>(obj)->npp,
                                          ConstructableClass());
  if (made == nullptr) return false;
  std::printf("Creating new ConstructablePluginObject!\n");
  OBJECT_TO_NPVARIANT(made, *result);
  return true;
}

NPClass constructableClass = {NP_CLASS_STRUCT_VERSION,
                              AllocateConstructable,
                              DeallocateConstructable,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              Construct};

}  // namespace

NPClass* ScriptableClass() { return &scriptableClass; }
NPClass* ConstructableClass() { return &constructableClass; }

}  // namespace control::npapi
