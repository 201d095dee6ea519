#pragma once
// COM's core: class identifiers, class factories and the creation of in-process objects.
//
// CoCreateInstance finds a class in the registry (HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32,
// whose default value is the module's file), loads the module with LoadLibraryA as the host
// loads any module (platform/LOADING.md), asks its DllGetClassObject for the class factory
// and the factory for the object. A module stays loaded until CoFreeUnusedLibraries (or the
// thread's last CoUninitialize) finds that its DllCanUnloadNow answers S_OK: the module then
// has no object left, and it is unloaded.
//
// Threads: COM must be initialised on a thread (CoInitializeEx) before the thread creates
// objects; objects are called on the thread that made them (apartment threading: nothing is
// marshalled between threads here).

#include "platform/ddraw/com_base.h"
#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

using CLSID = GUID;
using REFCLSID = const CLSID&;
using LPCLSID = CLSID*;

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER;

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

#define RPC_E_CHANGED_MODE static_cast<HRESULT>(0x80010106)
#define CO_E_NOTINITIALIZED static_cast<HRESULT>(0x800401F0)
#define CO_E_DLLNOTFOUND static_cast<HRESULT>(0x800401F8)
#define CO_E_ERRORINDLL static_cast<HRESULT>(0x800401F9)
#define CO_E_CLASSSTRING static_cast<HRESULT>(0x800401F3)
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154)
#define REGDB_E_READREGDB static_cast<HRESULT>(0x80040150)
#define CLASS_E_NOAGGREGATION static_cast<HRESULT>(0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE static_cast<HRESULT>(0x80040111)
#define SELFREG_E_TYPELIB static_cast<HRESULT>(0x80040200)
#define SELFREG_E_CLASS static_cast<HRESULT>(0x80040201)

// The interface identifiers COM gives its own interfaces.
extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;
extern const GUID GUID_NULL;

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;
};

// The entry points every in-process server module exports with C linkage.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID iid, void** out);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();

// S_OK the first time on a thread, S_FALSE again (each call needs its CoUninitialize),
// RPC_E_CHANGED_MODE when the thread was initialised with the other model.
HRESULT CoInitializeEx(LPVOID reserved, DWORD model);
HRESULT CoInitialize(LPVOID reserved);
// The thread's last CoUninitialize unloads the modules that can unload.
void CoUninitialize();

// CO_E_NOTINITIALIZED without CoInitializeEx on this thread; REGDB_E_CLASSNOTREG when the class
// or its InprocServer32 is not registered (or the context asks for no in-process server);
// CO_E_DLLNOTFOUND when its module does not load; CO_E_ERRORINDLL when the module has no
// DllGetClassObject; otherwise what the module's factory answers.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID server_info, REFIID iid, void** out);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out);
// Asks every module COM loaded whether it can unload, and unloads those that can.
void CoFreeUnusedLibraries();

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case hex) into `text` of `size` characters;
// the length with its NUL, or 0 when it does not fit. The char forms are the ones the
// registry calls take.
int StringFromGUID2A(REFGUID guid, char* text, int size);
// The GUID of such a text (braces required, any case); CO_E_CLASSSTRING when it is not one.
HRESULT CLSIDFromStringA(LPCSTR text, LPCLSID clsid);
// The class of a ProgID (HKEY_CLASSES_ROOT\<progid>\CLSID); REGDB_E_CLASSNOTREG without one.
HRESULT CLSIDFromProgIDA(LPCSTR progid, LPCLSID clsid);

// Task memory: what a COM call hands over for the caller to free.
void* CoTaskMemAlloc(size_t size);
void CoTaskMemFree(void* block);

#pragma GCC visibility pop
