// COM as the host uses it: a class found in the registry, its module loaded, an object made,
// fed params and asked back, and the module unloaded once nothing of it is alive.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/com/ocidl.h"
#include "platform/com/test_server.h"
#include "platform/kernel/library.h"
#include "platform/registry/winreg.h"

namespace {

bool Mapped(const char* file) {
  std::ifstream maps("/proc/self/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str().find(std::filesystem::canonical(file).string()) != std::string::npos;
}

class Bag : public IPropertyBag {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = (iid == IID_IUnknown || iid == IID_IPropertyBag) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (std::u16string(name) != u"Greeting") return E_INVALIDARG;
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"42");
    const HRESULT changed =
        VariantChangeType(value, &text, 0, value->vt == VT_EMPTY ? VT_BSTR : value->vt);
    VariantClear(&text);
    return changed;
  }
  HRESULT Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
};

class ComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvix-com-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setenv("ORVIX_REGISTRY_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    unsetenv("ORVIX_REGISTRY_DIR");
    std::filesystem::remove_all(folder_);
  }
  static HRESULT CallServer(const char* entry) {
    HMODULE module = LoadLibraryA(COM_TEST_SERVER);
    if (!module) return E_FAIL;
    auto call = reinterpret_cast<DllRegisterServerFn>(GetProcAddress(module, entry));
    const HRESULT result = call ? call() : E_FAIL;
    FreeLibrary(module);
    return result;
  }
  std::string folder_;
};

TEST_F(ComTest, CreatesARegisteredClassAndUnloadsItsModuleWhenNothingIsLeft) {
  IUnknown* object = nullptr;
  EXPECT_EQ(CoCreateInstance(kTestServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            CO_E_NOTINITIALIZED);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(kTestServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            REGDB_E_CLASSNOTREG);

  ASSERT_EQ(CallServer("DllRegisterServer"), S_OK);
  EXPECT_FALSE(Mapped(COM_TEST_SERVER));
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgIDA(kTestServerProgId, &clsid), S_OK);
  EXPECT_EQ(clsid, kTestServerClass);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            REGDB_E_CLASSNOTREG);
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  EXPECT_TRUE(Mapped(COM_TEST_SERVER));

  IPersistPropertyBag* persist = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)),
            S_OK);
  Bag bag;
  ASSERT_EQ(persist->Load(&bag, nullptr), S_OK);
  persist->Release();
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  IObjectSafety* safety = nullptr;
  EXPECT_EQ(object->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(&safety)),
            E_NOINTERFACE);
  EXPECT_EQ(safety, nullptr);
  object->Release();
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(dispatch->Invoke(1, GUID_NULL, 0, 0, nullptr, &result, nullptr, nullptr), S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(result.bstrVal, SysStringLen(result.bstrVal)), u"42");
  VariantClear(&result);

  // A live object keeps its module; the last release lets it go.
  CoFreeUnusedLibraries();
  EXPECT_TRUE(Mapped(COM_TEST_SERVER));
  dispatch->Release();
  CoUninitialize();
  EXPECT_FALSE(Mapped(COM_TEST_SERVER));

  ASSERT_EQ(CallServer("DllUnregisterServer"), S_OK);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(CoCreateInstance(kTestServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CLSIDFromProgIDA(kTestServerProgId, &clsid), REGDB_E_CLASSNOTREG);
  CoUninitialize();
}

TEST_F(ComTest, ABrokenRegistrationIsReportedNotFollowed) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  const std::string key = std::string("CLSID\\") + kTestServerClassText + "\\InprocServer32";
  const auto point_at = [&](const std::string& file) {
    HKEY server = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &server, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                   static_cast<DWORD>(file.size() + 1));
    RegCloseKey(server);
  };
  IUnknown* object = nullptr;
  point_at(folder_ + "/missing.so");
  EXPECT_EQ(CoCreateInstance(kTestServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            CO_E_DLLNOTFOUND);
  point_at(COM_NOT_A_SERVER);
  EXPECT_EQ(CoCreateInstance(kTestServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            CO_E_ERRORINDLL);
  EXPECT_FALSE(Mapped(COM_NOT_A_SERVER));
  EXPECT_EQ(object, nullptr);
  CoUninitialize();
}

TEST(Guid, TextRoundTripsAndMalformedTextIsRefused) {
  char text[39];
  ASSERT_EQ(StringFromGUID2A(kTestServerClass, text, sizeof(text)), 39);
  EXPECT_STREQ(text, kTestServerClassText);
  EXPECT_EQ(StringFromGUID2A(kTestServerClass, text, 38), 0);
  CLSID parsed{};
  ASSERT_EQ(CLSIDFromStringA("{5e1b0a11-7c2d-4e8f-9a3b-1d2c3e4f5a6b}", &parsed), S_OK);
  EXPECT_EQ(parsed, kTestServerClass);
  for (const char* bad :
       {"5E1B0A11-7C2D-4E8F-9A3B-1D2C3E4F5A6B", "{5E1B0A11-7C2D-4E8F-9A3B1D2C3E4F5A6B}",
        "{5E1B0A11-7C2D-4E8F-9A3B-1D2C3E4F5A6G}", "{5E1B0A11-7C2D-4E8F-9A3B-1D2C3E4F5A6B"}) {
    EXPECT_EQ(CLSIDFromStringA(bad, &parsed), CO_E_CLASSSTRING) << bad;
  }
}

}  // namespace
