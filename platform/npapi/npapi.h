#pragma once
// The plug-in interface between a browser and a plug-in module, with the names, constants,
// layouts and rules a plug-in expects: the browser's function table (NPNetscapeFuncs) given to
// NP_Initialize, the plug-in's (NPPluginFuncs) filled by NP_GetEntryPoints, the instance
// handle, the window record, and the scripting objects (NPObject with its NPClass, NPVariant,
// NPIdentifier).
//
// Rules both sides keep:
// - Versions are (major << 8) | minor. This browser speaks major 0, minor kNpVersionMinor.
// - An NPObject starts with a reference count of 1 from NPN_CreateObject; NPN_RetainObject and
//   NPN_ReleaseObject count it, and the last release deallocates it through its class.
// - A variant that the callee fills (a result, a property read) belongs to the caller, who
//   frees it with NPN_ReleaseVariantValue; its strings are NPN_MemAlloc blocks. Arguments stay
//   the caller's.
// - Identifiers are interned: one name (or one integer) is one NPIdentifier for the life of
//   the process, comparable by pointer, valid on any thread.
// - Every call of either table is made on the browser's thread.

#include <cstdint>

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

using NPError = int16_t;
using NPBool = unsigned char;
using NPReason = int16_t;
using NPMIMEType = char*;

constexpr NPError NPERR_NO_ERROR = 0;
constexpr NPError NPERR_GENERIC_ERROR = 1;
constexpr NPError NPERR_INVALID_INSTANCE_ERROR = 2;
constexpr NPError NPERR_INVALID_FUNCTABLE_ERROR = 3;
constexpr NPError NPERR_MODULE_LOAD_FAILED_ERROR = 4;
constexpr NPError NPERR_OUT_OF_MEMORY_ERROR = 5;
constexpr NPError NPERR_INVALID_PLUGIN_ERROR = 6;
constexpr NPError NPERR_INVALID_PLUGIN_DIR_ERROR = 7;
constexpr NPError NPERR_INCOMPATIBLE_VERSION_ERROR = 8;
constexpr NPError NPERR_INVALID_PARAM = 9;
constexpr NPError NPERR_INVALID_URL = 10;
constexpr NPError NPERR_FILE_NOT_FOUND = 11;
constexpr NPError NPERR_NO_DATA = 12;
constexpr NPError NPERR_STREAM_NOT_SEEKABLE = 13;

constexpr int kNpVersionMajor = 0;
constexpr int kNpVersionMinor = 27;

constexpr uint16_t NP_EMBED = 1;
constexpr uint16_t NP_FULL = 2;

// One embedded plug-in: pdata is the plug-in's, ndata the browser's.
struct NPP_t {
  void* pdata;
  void* ndata;
};
using NPP = NPP_t*;

struct NPRect {
  uint16_t top;
  uint16_t left;
  uint16_t bottom;
  uint16_t right;
};

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

// The plug-in's window: for NPWindowTypeWindow, `window` is the HWND the browser made for it.
struct NPWindow {
  void* window;
  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
  NPRect clipRect;
  NPWindowType type;
};

struct NPStream {
  void* pdata;
  void* ndata;
  const char* url;
  uint32_t end;
  uint32_t lastmodified;
  void* notifyData;
  const char* headers;
};

struct NPSavedData {
  int32_t len;
  void* buf;
};

struct NPPrint;

// What the browser asks of a plug-in through NPP_GetValue.
enum NPPVariable {
  NPPVpluginNameString = 1,
  NPPVpluginDescriptionString = 2,
  NPPVpluginWindowBool = 3,
  NPPVpluginTransparentBool = 4,
  NPPVjavaClass = 5,
  NPPVpluginWindowSize = 6,
  NPPVpluginTimerInterval = 7,
  NPPVpluginScriptableInstance = 10,
  NPPVpluginScriptableIID = 11,
  NPPVjavascriptPushCallerBool = 12,
  NPPVpluginKeepLibraryInMemory = 13,
  NPPVpluginNeedsXEmbed = 14,
  NPPVpluginScriptableNPObject = 15,
};

// What a plug-in asks of the browser through NPN_GetValue.
enum NPNVariable {
  NPNVxDisplay = 1,
  NPNVxtAppContext = 2,
  NPNVnetscapeWindow = 3,
  NPNVjavascriptEnabledBool = 4,
  NPNVasdEnabledBool = 5,
  NPNVisOfflineBool = 6,
  NPNVWindowNPObject = 15,
  NPNVPluginElementNPObject = 16,
  NPNVSupportsWindowless = 17,
};

// Scripting.
using NPIdentifier = void*;
using NPUTF8 = char;

struct NPString {
  const NPUTF8* UTF8Characters;
  uint32_t UTF8Length;
};

struct NPObject;

enum NPVariantType {
  NPVariantType_Void = 0,
  NPVariantType_Null = 1,
  NPVariantType_Bool = 2,
  NPVariantType_Int32 = 3,
  NPVariantType_Double = 4,
  NPVariantType_String = 5,
  NPVariantType_Object = 6,
};

struct NPVariant {
  NPVariantType type;
  union {
    bool boolValue;
    int32_t intValue;
    double doubleValue;
    NPString stringValue;
    NPObject* objectValue;
  } value;
};

using NPAllocateFunctionPtr = NPObject* (*)(NPP npp, struct NPClass* aClass);
using NPDeallocateFunctionPtr = void (*)(NPObject* obj);
using NPInvalidateFunctionPtr = void (*)(NPObject* obj);
using NPHasMethodFunctionPtr = bool (*)(NPObject* obj, NPIdentifier name);
using NPInvokeFunctionPtr = bool (*)(NPObject* obj, NPIdentifier name, const NPVariant* args,
                                     uint32_t argCount, NPVariant* result);
using NPInvokeDefaultFunctionPtr = bool (*)(NPObject* npobj, const NPVariant* args,
                                            uint32_t argCount, NPVariant* result);
using NPHasPropertyFunctionPtr = bool (*)(NPObject* obj, NPIdentifier name);
using NPGetPropertyFunctionPtr = bool (*)(NPObject* obj, NPIdentifier name, NPVariant* result);
using NPSetPropertyFunctionPtr = bool (*)(NPObject* obj, NPIdentifier name, const NPVariant* value);
using NPRemovePropertyFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier name);
using NPEnumerationFunctionPtr = bool (*)(NPObject* npobj, NPIdentifier** value, uint32_t* count);
using NPConstructFunctionPtr = bool (*)(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                        NPVariant* result);

constexpr uint32_t NP_CLASS_STRUCT_VERSION = 3;

// The behaviour of a kind of object. Entries may be null: a null allocate means a bare
// NPObject from NPN_MemAlloc, a null deallocate means NPN_MemFree, and a null query answers
// false.
struct NPClass {
  uint32_t structVersion;
  NPAllocateFunctionPtr allocate;
  NPDeallocateFunctionPtr deallocate;
  NPInvalidateFunctionPtr invalidate;
  NPHasMethodFunctionPtr hasMethod;
  NPInvokeFunctionPtr invoke;
  NPInvokeDefaultFunctionPtr invokeDefault;
  NPHasPropertyFunctionPtr hasProperty;
  NPGetPropertyFunctionPtr getProperty;
  NPSetPropertyFunctionPtr setProperty;
  NPRemovePropertyFunctionPtr removeProperty;
  NPEnumerationFunctionPtr enumerate;
  NPConstructFunctionPtr construct;
};

struct NPObject {
  NPClass* _class;
  uint32_t referenceCount;
  // Classes that allocate their own objects derive from this header.
};

// The plug-in's table, filled by NP_GetEntryPoints.
using NPP_NewProcPtr = NPError (*)(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc,
                                   char* argn[], char* argv[], NPSavedData* saved);
using NPP_DestroyProcPtr = NPError (*)(NPP instance, NPSavedData** save);
using NPP_SetWindowProcPtr = NPError (*)(NPP instance, NPWindow* window);
using NPP_NewStreamProcPtr = NPError (*)(NPP instance, NPMIMEType type, NPStream* stream,
                                         NPBool seekable, uint16_t* stype);
using NPP_DestroyStreamProcPtr = NPError (*)(NPP instance, NPStream* stream, NPReason reason);
using NPP_StreamAsFileProcPtr = void (*)(NPP instance, NPStream* stream, const char* fname);
using NPP_WriteReadyProcPtr = int32_t (*)(NPP instance, NPStream* stream);
using NPP_WriteProcPtr = int32_t (*)(NPP instance, NPStream* stream, int32_t offset, int32_t len,
                                     void* buffer);
using NPP_PrintProcPtr = void (*)(NPP instance, NPPrint* platformPrint);
using NPP_HandleEventProcPtr = int16_t (*)(NPP instance, void* event);
using NPP_URLNotifyProcPtr = void (*)(NPP instance, const char* url, NPReason reason,
                                      void* notifyData);
using NPP_GetValueProcPtr = NPError (*)(NPP instance, NPPVariable variable, void* ret_value);
using NPP_SetValueProcPtr = NPError (*)(NPP instance, NPNVariable variable, void* value);

struct NPPluginFuncs {
  uint16_t size;
  uint16_t version;
  NPP_NewProcPtr newp;
  NPP_DestroyProcPtr destroy;
  NPP_SetWindowProcPtr setwindow;
  NPP_NewStreamProcPtr newstream;
  NPP_DestroyStreamProcPtr destroystream;
  NPP_StreamAsFileProcPtr asfile;
  NPP_WriteReadyProcPtr writeready;
  NPP_WriteProcPtr write;
  NPP_PrintProcPtr print;
  NPP_HandleEventProcPtr event;
  NPP_URLNotifyProcPtr urlnotify;
  void* javaClass;
  NPP_GetValueProcPtr getvalue;
  NPP_SetValueProcPtr setvalue;
};

// The browser's table, given to NP_Initialize. Entries this browser does not offer are null;
// the table's order is the interface's and must not change.
struct NPNetscapeFuncs {
  uint16_t size;
  uint16_t version;
  NPError (*geturl)(NPP instance, const char* url, const char* window);
  NPError (*posturl)(NPP instance, const char* url, const char* window, uint32_t len,
                     const char* buf, NPBool file);
  void* requestread;
  void* newstream;
  void* write;
  void* destroystream;
  void (*status)(NPP instance, const char* message);
  const char* (*uagent)(NPP instance);
  void* (*memalloc)(uint32_t size);
  void (*memfree)(void* ptr);
  uint32_t (*memflush)(uint32_t size);
  void (*reloadplugins)(NPBool reloadPages);
  void* getJavaEnv;
  void* getJavaPeer;
  NPError (*geturlnotify)(NPP instance, const char* url, const char* target, void* notifyData);
  void* posturlnotify;
  NPError (*getvalue)(NPP instance, NPNVariable variable, void* ret_value);
  NPError (*setvalue)(NPP instance, NPPVariable variable, void* value);
  void (*invalidaterect)(NPP instance, NPRect* invalidRect);
  void* invalidateregion;
  void (*forceredraw)(NPP instance);
  NPIdentifier (*getstringidentifier)(const NPUTF8* name);
  void (*getstringidentifiers)(const NPUTF8** names, int32_t nameCount, NPIdentifier* identifiers);
  NPIdentifier (*getintidentifier)(int32_t intid);
  bool (*identifierisstring)(NPIdentifier identifier);
  NPUTF8* (*utf8fromidentifier)(NPIdentifier identifier);
  int32_t (*intfromidentifier)(NPIdentifier identifier);
  NPObject* (*createobject)(NPP npp, NPClass* aClass);
  NPObject* (*retainobject)(NPObject* obj);
  void (*releaseobject)(NPObject* obj);
  bool (*invoke)(NPP npp, NPObject* obj, NPIdentifier methodName, const NPVariant* args,
                 uint32_t argCount, NPVariant* result);
  bool (*invokeDefault)(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount,
                        NPVariant* result);
  bool (*evaluate)(NPP npp, NPObject* obj, NPString* script, NPVariant* result);
  bool (*getproperty)(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result);
  bool (*setproperty)(NPP npp, NPObject* obj, NPIdentifier propertyName, const NPVariant* value);
  bool (*removeproperty)(NPP npp, NPObject* obj, NPIdentifier propertyName);
  bool (*hasproperty)(NPP npp, NPObject* obj, NPIdentifier propertyName);
  bool (*hasmethod)(NPP npp, NPObject* obj, NPIdentifier propertyName);
  void (*releasevariantvalue)(NPVariant* variant);
  void (*setexception)(NPObject* obj, const NPUTF8* message);
};

// The module's exports, as the browser looks them up.
using NP_GetEntryPointsFunc = NPError (*)(NPPluginFuncs* pFuncs);
using NP_InitializeFunc = NPError (*)(NPNetscapeFuncs* bFuncs);
using NP_ShutdownFunc = NPError (*)();
using NP_GetMIMEDescriptionFunc = const char* (*)();

#pragma GCC visibility pop

// Variant helpers of the interface, for either side.
inline void VOID_TO_NPVARIANT(NPVariant& v) {
  v.type = NPVariantType_Void;
  v.value.objectValue = nullptr;
}
inline void NULL_TO_NPVARIANT(NPVariant& v) {
  v.type = NPVariantType_Null;
  v.value.objectValue = nullptr;
}
inline void BOOLEAN_TO_NPVARIANT(bool b, NPVariant& v) {
  v.type = NPVariantType_Bool;
  v.value.boolValue = b;
}
inline void INT32_TO_NPVARIANT(int32_t i, NPVariant& v) {
  v.type = NPVariantType_Int32;
  v.value.intValue = i;
}
inline void DOUBLE_TO_NPVARIANT(double d, NPVariant& v) {
  v.type = NPVariantType_Double;
  v.value.doubleValue = d;
}
inline void STRINGN_TO_NPVARIANT(const char* s, uint32_t n, NPVariant& v) {
  v.type = NPVariantType_String;
  v.value.stringValue = NPString{s, n};
}
inline void OBJECT_TO_NPVARIANT(NPObject* o, NPVariant& v) {
  v.type = NPVariantType_Object;
  v.value.objectValue = o;
}
inline bool NPVARIANT_IS_STRING(const NPVariant& v) { return v.type == NPVariantType_String; }
inline bool NPVARIANT_IS_INT32(const NPVariant& v) { return v.type == NPVariantType_Int32; }
inline bool NPVARIANT_IS_DOUBLE(const NPVariant& v) { return v.type == NPVariantType_Double; }
inline bool NPVARIANT_IS_OBJECT(const NPVariant& v) { return v.type == NPVariantType_Object; }
