// RegisterTypeLib and UnRegisterTypeLib: the keys under HKEY_CLASSES_ROOT that let others find
// a library and the dispatch interfaces it describes.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/com/typelib.h"
#include "platform/com/wide_text.h"
#include "platform/registry/winreg.h"

namespace {

// What dispatch interfaces are marshalled with: the automation proxy-stub class.
constexpr char kAutomationProxy[] = "{00020424-0000-0000-C000-000000000046}";

std::string GuidText(REFGUID guid) {
  char text[40];
  StringFromGUID2A(guid, text, sizeof(text));
  return text;
}

std::string Version(WORD major, WORD minor) {
  char text[16];
  std::snprintf(text, sizeof(text), "%x.%x", major, minor);
  return text;
}

bool SetText(const std::string& path, LPCSTR name, const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG set = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

bool ReadText(const std::string& path, LPCSTR name, std::string* text) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  char buffer[1024];
  DWORD size = sizeof(buffer) - 1;
  DWORD type = 0;
  const LONG read =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ) return false;
  buffer[size] = '\0';
  *text = buffer;
  return true;
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool HasSubKeys(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  char name[256];
  DWORD length = sizeof(name);
  const bool any =
      RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return any;
}

std::string Folder(const std::string& file) {
  const size_t slash = file.find_last_of('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

// The dispatch interfaces of `lib`, as GUID texts with their names.
std::vector<std::pair<std::string, std::string>> DispatchInterfaces(ITypeLib* lib) {
  std::vector<std::pair<std::string, std::string>> out;
  for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
    TYPEKIND kind = TKIND_MAX;
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_DISPATCH ||
        FAILED(lib->GetTypeInfo(i, &info))) {
      continue;
    }
    TYPEATTR* attr = nullptr;
    BSTR name = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr)) &&
        SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) {
      out.emplace_back(GuidText(attr->guid), platform::com::Utf8(name));
    }
    SysFreeString(name);
    if (attr) info->ReleaseTypeAttr(attr);
    info->Release();
  }
  return out;
}

}  // namespace

HRESULT RegisterTypeLib(ITypeLib* lib, LPCOLESTR file, LPCOLESTR help_dir) {
  if (!lib || !file) return E_INVALIDARG;
  TLIBATTR* attr = nullptr;
  if (FAILED(lib->GetLibAttr(&attr))) return E_INVALIDARG;
  const std::string libid = GuidText(attr->guid);
  const std::string version = Version(attr->wMajorVerNum, attr->wMinorVerNum);
  lib->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  BSTR doc = nullptr;
  lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
  const std::string title = platform::com::Utf8(doc ? doc : name);
  SysFreeString(name);
  SysFreeString(doc);
  const std::string path = platform::com::Utf8(file);
  const std::string key = "TypeLib\\" + libid + "\\" + version;
  bool ok =
      SetText(key, nullptr, title) && SetText(key + "\\0\\win32", nullptr, path) &&
      SetText(key + "\\FLAGS", nullptr, "0") &&
      SetText(key + "\\HELPDIR", nullptr, help_dir ? platform::com::Utf8(help_dir) : Folder(path));
  for (const auto& [iid, iname] : DispatchInterfaces(lib)) {
    const std::string ikey = "Interface\\" + iid;
    ok = ok && SetText(ikey, nullptr, iname) &&
         SetText(ikey + "\\ProxyStubClsid", nullptr, kAutomationProxy) &&
         SetText(ikey + "\\ProxyStubClsid32", nullptr, kAutomationProxy) &&
         SetText(ikey + "\\TypeLib", nullptr, libid) &&
         SetText(ikey + "\\TypeLib", "Version", version);
  }
  return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT UnRegisterTypeLib(REFGUID libid_guid, WORD major, WORD minor, LCID lcid, SYSKIND) {
  const std::string libid = GuidText(libid_guid);
  const std::string key = "TypeLib\\" + libid + "\\" + Version(major, minor);
  if (!KeyExists(key)) return TYPE_E_REGISTRYACCESS;
  // The interfaces are those of the library as registered; when its file is gone, the
  // library's own keys still go.
  std::string file;
  ITypeLib* lib = nullptr;
  if (ReadText(key + "\\" + std::to_string(lcid) + "\\win32", nullptr, &file)) {
    BSTR wide = platform::com::BstrFromUtf8(file);
    if (FAILED(LoadTypeLib(wide, &lib))) lib = nullptr;
    SysFreeString(wide);
  }
  if (lib) {
    for (const auto& [iid, iname] : DispatchInterfaces(lib)) {
      std::string owner;
      if (ReadText("Interface\\" + iid + "\\TypeLib", nullptr, &owner) && owner == libid) {
        SHDeleteKeyA(HKEY_CLASSES_ROOT, ("Interface\\" + iid).c_str());
      }
    }
    lib->Release();
  }
  if (SHDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str()) != ERROR_SUCCESS) return TYPE_E_REGISTRYACCESS;
  if (!HasSubKeys("TypeLib\\" + libid))
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ("TypeLib\\" + libid).c_str());
  return S_OK;
}
