#pragma once
// The browser's side of the plug-in interface (npapi.h): the calls of the browser's function
// table, also callable directly by the host, and the hook through which the host's page
// answers what a plug-in asks of the page.
//
// An instance's NPP_t carries the host's NpPage in `ndata`; NPN_GetValue for the window object
// or the plug-in's element, NPN_Evaluate and NPN_Status go to that page. Object calls
// (NPN_Invoke, NPN_GetProperty, ...) go to the object's class, whoever made it: a page object
// made by the host's script engine or a plug-in's own object. All calls are made on the
// browser's thread, except the identifier calls, which are safe on any thread.

#include <string>

#include "platform/npapi/npapi.h"

#pragma GCC visibility push(default)

// What the page of one instance offers to its plug-in.
class NpPage {
 public:
  virtual ~NpPage() = default;
  // The page's window object, retained for the caller, or null.
  virtual NPObject* WindowObject() = 0;
  // The element that embeds the plug-in, retained for the caller, or null.
  virtual NPObject* PluginElement() = 0;
  // Runs `script` in the page with `scope` as its window; the result is the value of its
  // last expression and belongs to the caller. False when the script fails.
  virtual bool Evaluate(NPObject* scope, const std::string& script, NPVariant* result) = 0;
  // The browser's status line.
  virtual void Status(const std::string& /*message*/) {}
};

// The browser's table, version (kNpVersionMajor << 8) | kNpVersionMinor, with the calls below.
// The table lives as long as the process.
NPNetscapeFuncs* NpBrowserFunctions();

void* NPN_MemAlloc(uint32_t size);
void NPN_MemFree(void* ptr);
NPError NPN_GetValue(NPP instance, NPNVariable variable, void* ret_value);
void NPN_Status(NPP instance, const char* message);
const char* NPN_UserAgent(NPP instance);

NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name);
void NPN_GetStringIdentifiers(const NPUTF8** names, int32_t count, NPIdentifier* ids);
NPIdentifier NPN_GetIntIdentifier(int32_t intid);
bool NPN_IdentifierIsString(NPIdentifier identifier);
// An NPN_MemAlloc copy of a string identifier's name; null for an integer identifier.
NPUTF8* NPN_UTF8FromIdentifier(NPIdentifier identifier);
// An integer identifier's value; -1 for a string identifier.
int32_t NPN_IntFromIdentifier(NPIdentifier identifier);

NPObject* NPN_CreateObject(NPP npp, NPClass* aClass);
NPObject* NPN_RetainObject(NPObject* obj);
void NPN_ReleaseObject(NPObject* obj);
bool NPN_Invoke(NPP npp, NPObject* obj, NPIdentifier method, const NPVariant* args,
                uint32_t argCount, NPVariant* result);
bool NPN_InvokeDefault(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount,
                       NPVariant* result);
bool NPN_Evaluate(NPP npp, NPObject* obj, NPString* script, NPVariant* result);
bool NPN_GetProperty(NPP npp, NPObject* obj, NPIdentifier name, NPVariant* result);
bool NPN_SetProperty(NPP npp, NPObject* obj, NPIdentifier name, const NPVariant* value);
bool NPN_RemoveProperty(NPP npp, NPObject* obj, NPIdentifier name);
bool NPN_HasProperty(NPP npp, NPObject* obj, NPIdentifier name);
bool NPN_HasMethod(NPP npp, NPObject* obj, NPIdentifier name);
// Frees what a variant owns (an NPN_MemAlloc string, a reference to an object) and leaves it
// void.
void NPN_ReleaseVariantValue(NPVariant* variant);
void NPN_SetException(NPObject* obj, const NPUTF8* message);

// Moves the message of the last NPN_SetException since the previous call into *message; false
// when there was none. For the page's script engine, which turns it into a script error.
bool NpTakeException(std::string* message);

#pragma GCC visibility pop
