// A small in-process server, loaded by COM through the registry as the host loads a shell.
#include "platform/com/test_server.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/com/ocidl.h"
#include "platform/com/typelib.h"
#include "platform/kernel/module.h"
#include "platform/registry/winreg.h"

#define TEST_SERVER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

class Greeter : public IPersistPropertyBag, public IDispatch {
 public:
  Greeter() { ++g_objects; }
  ~Greeter() override {
    SysFreeString(greeting_);
    --g_objects;
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IPersistPropertyBag) {
      *out = static_cast<IPersistPropertyBag*>(this);
    } else if (iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetClassID(CLSID* clsid) override {
    *clsid = kTestServerClass;
    return S_OK;
  }
  HRESULT InitNew() override { return S_OK; }
  HRESULT Load(IPropertyBag* bag, IErrorLog* log) override {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    const HRESULT read = bag->Read(u"Greeting", &value, log);
    if (FAILED(read)) return read;
    SysFreeString(greeting_);
    greeting_ = value.bstrVal;
    return S_OK;
  }
  HRESULT Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }

  HRESULT GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    if (id != 1) return DISP_E_MEMBERNOTFOUND;
    if (result) {
      VariantInit(result);
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocStringLen(greeting_, SysStringLen(greeting_));
    }
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  BSTR greeting_ = nullptr;
};

class Factory : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static: its references only keep the module, as LockServer does.
  ULONG AddRef() override { return static_cast<ULONG>(++g_locks + 1); }
  ULONG Release() override { return static_cast<ULONG>(--g_locks + 1); }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    Greeter* greeter = new Greeter;
    const HRESULT got = greeter->QueryInterface(iid, out);
    greeter->Release();
    return got;
  }
  HRESULT LockServer(BOOL lock) override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }
};

Factory g_factory;

std::string ModuleFile() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&g_factory),
                     &module);
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(module, path, sizeof(path));
  return std::string(path, n);
}

bool SetText(const std::string& key_path, LPCSTR name, const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG set = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

bool Gone(LONG result) { return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND; }

HRESULT RegisterLibrary() {
  std::u16string file;
  for (char c : ModuleFile()) file += static_cast<char16_t>(static_cast<unsigned char>(c));
  ITypeLib* lib = nullptr;
  HRESULT result = LoadTypeLib(file.c_str(), &lib);
  if (SUCCEEDED(result)) {
    result = RegisterTypeLib(lib, file.c_str(), nullptr);
    lib->Release();
  }
  return result;
}

}  // namespace

TEST_SERVER_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!(clsid == kTestServerClass)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

TEST_SERVER_EXPORT HRESULT DllCanUnloadNow() {
  return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

TEST_SERVER_EXPORT HRESULT DllRegisterServer() {
  if (std::getenv(kTestServerFailVariable)) return SELFREG_E_CLASS;
  if (FAILED(RegisterLibrary())) return SELFREG_E_TYPELIB;
  const std::string clsid = std::string("CLSID\\") + kTestServerClassText;
  const bool ok =
      SetText(clsid, nullptr, "Orvix test server") &&
      SetText(clsid + "\\InprocServer32", nullptr, ModuleFile()) &&
      SetText(clsid + "\\InprocServer32", "ThreadingModel", "Apartment") &&
      SetText(clsid + "\\ProgID", nullptr, kTestServerProgId) &&
      SetText(kTestServerProgId, nullptr, "Orvix test server") &&
      SetText(std::string(kTestServerProgId) + "\\CLSID", nullptr, kTestServerClassText);
  return ok ? S_OK : SELFREG_E_CLASS;
}

TEST_SERVER_EXPORT HRESULT DllUnregisterServer() {
  // Unlike the shells, the test server counts a library already gone as unregistered.
  const HRESULT lib = UnRegisterTypeLib(kTestServerLibrary, 1, 0, 0, SYS_WIN32);
  if (FAILED(lib) && lib != TYPE_E_REGISTRYACCESS) return SELFREG_E_TYPELIB;
  const std::string clsid = std::string("CLSID\\") + kTestServerClassText;
  const bool ok = Gone(SHDeleteKeyA(HKEY_CLASSES_ROOT, clsid.c_str())) &&
                  Gone(SHDeleteKeyA(HKEY_CLASSES_ROOT, kTestServerProgId));
  return ok ? S_OK : SELFREG_E_CLASS;
}
