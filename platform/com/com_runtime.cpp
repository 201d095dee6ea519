// COM's initialisation per thread, and the in-process servers it loads and unloads.
#include <map>
#include <mutex>
#include <string>

#include "platform/com/objbase.h"
#include "platform/kernel/library.h"
#include "platform/registry/winreg.h"

namespace {

struct ThreadState {
  int count = 0;
  DWORD model = 0;
};
thread_local ThreadState t_com;

struct Server {
  HMODULE module = nullptr;
  DllGetClassObjectFn get_class_object = nullptr;
  DllCanUnloadNowFn can_unload_now = nullptr;
};

struct Servers {
  std::mutex mutex;
  std::map<std::string, Server> loaded;  // by the file InprocServer32 names; guarded by mutex
};

Servers& TheServers() {
  static auto* servers = new Servers;
  return *servers;
}

// A text value of a key below HKEY_CLASSES_ROOT, or false.
bool ReadClassesText(const std::string& path, LPCSTR name, std::string* text) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  DWORD size = 0;
  bool ok = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ);
  if (ok) {
    text->assign(size, '\0');
    ok = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text->data()),
                          &size) == ERROR_SUCCESS;
    text->resize(size);
    while (!text->empty() && text->back() == '\0') text->pop_back();
  }
  RegCloseKey(key);
  return ok && !text->empty();
}

HRESULT LoadServer(const std::string& file, Server* out) {
  Servers& servers = TheServers();
  std::lock_guard<std::mutex> lock(servers.mutex);
  auto it = servers.loaded.find(file);
  if (it != servers.loaded.end()) {
    *out = it->second;
    return S_OK;
  }
  Server server;
  server.module = LoadLibraryA(file.c_str());
  if (!server.module) return CO_E_DLLNOTFOUND;
  server.get_class_object =
      reinterpret_cast<DllGetClassObjectFn>(GetProcAddress(server.module, "DllGetClassObject"));
  server.can_unload_now =
      reinterpret_cast<DllCanUnloadNowFn>(GetProcAddress(server.module, "DllCanUnloadNow"));
  if (!server.get_class_object) {
    FreeLibrary(server.module);
    return CO_E_ERRORINDLL;
  }
  servers.loaded.emplace(file, server);
  *out = server;
  return S_OK;
}

}  // namespace

HRESULT CoInitializeEx(LPVOID, DWORD model) {
  if (model != COINIT_MULTITHREADED && model != COINIT_APARTMENTTHREADED) return E_INVALIDARG;
  if (t_com.count > 0) {
    if (t_com.model != model) return RPC_E_CHANGED_MODE;
    ++t_com.count;
    return S_FALSE;
  }
  t_com.count = 1;
  t_com.model = model;
  return S_OK;
}

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (t_com.count == 0) return;
  if (--t_com.count == 0) CoFreeUnusedLibraries();
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (t_com.count == 0) return CO_E_NOTINITIALIZED;
  if ((context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  char text[40];
  StringFromGUID2A(clsid, text, sizeof(text));
  std::string file;
  if (!ReadClassesText(std::string("CLSID\\") + text + "\\InprocServer32", nullptr, &file)) {
    return REGDB_E_CLASSNOTREG;
  }
  Server server;
  if (const HRESULT loaded = LoadServer(file, &server); FAILED(loaded)) return loaded;
  return server.get_class_object(clsid, iid, out);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  IClassFactory* factory = nullptr;
  const HRESULT got = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                       reinterpret_cast<void**>(&factory));
  if (FAILED(got)) return got;
  const HRESULT created = factory->CreateInstance(outer, iid, out);
  factory->Release();
  return created;
}

void CoFreeUnusedLibraries() {
  Servers& servers = TheServers();
  std::lock_guard<std::mutex> lock(servers.mutex);
  for (auto it = servers.loaded.begin(); it != servers.loaded.end();) {
    // A module that cannot say whether it is in use is kept: unloading it under a live object
    // would leave the object's code unmapped.
    if (it->second.can_unload_now && it->second.can_unload_now() == S_OK) {
      FreeLibrary(it->second.module);
      it = servers.loaded.erase(it);
    } else {
      ++it;
    }
  }
}

HRESULT CLSIDFromProgIDA(LPCSTR progid, LPCLSID clsid) {
  if (!progid || !clsid) return E_INVALIDARG;
  std::string text;
  if (!ReadClassesText(std::string(progid) + "\\CLSID", nullptr, &text)) {
    return REGDB_E_CLASSNOTREG;
  }
  return CLSIDFromStringA(text.c_str(), clsid);
}
