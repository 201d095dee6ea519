// Type libraries read from a module's resources, registered, described and taken away.
#include "platform/com/typelib.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/com/test_server.h"
#include "platform/com/typelib_format.h"
#include "platform/registry/winreg.h"

namespace {

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string Narrow(BSTR text) {
  std::string out;
  for (UINT i = 0; i < SysStringLen(text); ++i) out += static_cast<char>(text[i]);
  return out;
}

std::string ClassesText(const std::string& path, LPCSTR name = nullptr) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return "(no key)";
  }
  char text[512];
  DWORD size = sizeof(text);
  const LONG read =
      RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS ? std::string(text) : "(no value)";
}

class TypeLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvix-typelib-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setenv("ORVIX_REGISTRY_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORVIX_REGISTRY_DIR");
    std::filesystem::remove_all(folder_);
  }
  std::string folder_;
};

TEST_F(TypeLibTest, ALibraryInAModuleIsDescribedRegisteredAndUnregistered) {
  const std::string file = std::filesystem::canonical(COM_TEST_SERVER).string();
  ITypeLib* lib = nullptr;
  ASSERT_EQ(LoadTypeLib(Wide(file).c_str(), &lib), S_OK);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, kTestServerLibrary);
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  lib->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  BSTR help = nullptr;
  ASSERT_EQ(lib->GetDocumentation(-1, &name, nullptr, nullptr, &help), S_OK);
  EXPECT_EQ(Narrow(name), "OrvixTestLib");
  EXPECT_EQ(Narrow(help), "OrvixTest.hlp");
  SysFreeString(name);
  SysFreeString(help);

  // The class names its default and source interfaces.
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(kTestServerClass, &coclass), S_OK);
  lib->Release();  // the info keeps the library
  TYPEATTR* type = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
  EXPECT_EQ(type->typekind, TKIND_COCLASS);
  EXPECT_EQ(type->cImplTypes, 2);
  coclass->ReleaseTypeAttr(type);
  HREFTYPE ref = 0;
  INT flags = 0;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(1, &ref), S_OK);
  ASSERT_EQ(coclass->GetImplTypeFlags(1, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
  ITypeInfo* events = nullptr;
  ASSERT_EQ(coclass->GetRefTypeInfo(ref, &events), S_OK);
  ASSERT_EQ(events->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Narrow(name), "_DGreeterEvents");
  SysFreeString(name);
  events->Release();
  EXPECT_EQ(coclass->GetRefTypeOfImplType(2, &ref), TYPE_E_ELEMENTNOTFOUND);
  ASSERT_EQ(coclass->GetContainingTypeLib(&lib, nullptr), S_OK);
  coclass->Release();

  const std::string key = "TypeLib\\{7A1C0B22-3D4E-4F50-8A61-B2C3D4E5F607}\\1.0";
  const std::string iface = "Interface\\{7A1C0B22-3D4E-4F50-8A61-B2C3D4E5F608}";
  EXPECT_EQ(UnRegisterTypeLib(kTestServerLibrary, 1, 0, 0, SYS_WIN32), TYPE_E_REGISTRYACCESS);
  ASSERT_EQ(RegisterTypeLib(lib, Wide(file).c_str(), nullptr), S_OK);
  lib->Release();
  EXPECT_EQ(ClassesText(key), "Orvix test server library");
  EXPECT_EQ(ClassesText(key + "\\0\\win32"), file);
  EXPECT_EQ(ClassesText(key + "\\FLAGS"), "0");
  EXPECT_EQ(ClassesText(key + "\\HELPDIR"), std::filesystem::path(file).parent_path().string());
  EXPECT_EQ(ClassesText(iface), "_DGreeter");
  EXPECT_EQ(ClassesText(iface + "\\TypeLib"), "{7A1C0B22-3D4E-4F50-8A61-B2C3D4E5F607}");
  EXPECT_EQ(ClassesText(iface + "\\TypeLib", "Version"), "1.0");

  EXPECT_EQ(UnRegisterTypeLib(kTestServerLibrary, 1, 0, 0, SYS_WIN32), S_OK);
  EXPECT_EQ(ClassesText("TypeLib\\{7A1C0B22-3D4E-4F50-8A61-B2C3D4E5F607}"), "(no key)");
  EXPECT_EQ(ClassesText(iface), "(no key)");
  EXPECT_EQ(UnRegisterTypeLib(kTestServerLibrary, 1, 0, 0, SYS_WIN32), TYPE_E_REGISTRYACCESS);

  // A module without a library, and a file that is not one.
  EXPECT_EQ(LoadTypeLib(Wide(COM_NOT_A_SERVER).c_str(), &lib), TYPE_E_CANTLOADLIBRARY);
  std::ofstream(folder_ + "/bad.typelib") << "orvix-typelib 1\nlibrary X {1} 1.0\n";
  EXPECT_EQ(LoadTypeLib(Wide(folder_ + "/bad.typelib").c_str(), &lib), TYPE_E_INVDATAREAD);
  EXPECT_EQ(lib, nullptr);
}

TEST(TypeLibFormat, RefusesWhatDoesNotHoldTogether) {
  const std::string lib = "library L {00000000-0000-0000-0000-000000000001} 1.0\n";
  const std::string disp = "dispinterface D {00000000-0000-0000-0000-000000000002}\n";
  const std::string head = "orvix-typelib 1\n";
  ASSERT_TRUE(platform::com::ParseTypeLibrary(
      head + lib + disp + "coclass C {00000000-0000-0000-0000-000000000003} default=D\n"));
  const std::string bad[] = {
      head,                                                                         // no library
      head + lib + lib,                                                             // two
      head + disp + lib,                                                            // before it
      head + lib + disp + disp,                                                     // given twice
      head + lib + "coclass C {00000000-0000-0000-0000-000000000003} default=D\n",  // unknown
      head + lib + disp + "coclass C {00000000-0000-0000-0000-000000000003} x=D\n",
      head + lib + "dispinterface 9D {00000000-0000-0000-0000-000000000002}\n",
      head + lib + "dispinterface D {00000000-0000-0000-0000-000000000002} doc=%4\n",
      head + "library L {00000000-0000-0000-0000-000000000001} 1.\n",
      head + lib.substr(0, lib.size() - 1),  // no line end
  };
  for (const std::string& text : bad) {
    EXPECT_FALSE(platform::com::ParseTypeLibrary(text)) << text;
  }
}

}  // namespace
