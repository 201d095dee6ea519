#include "control/activex/framework/registration.h"

#include "platform/registry/winreg.h"

namespace activex {
namespace {

bool Gone(LONG result) { return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND; }

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

bool MakeKey(const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

}  // namespace

std::string GuidText(const GUID& guid) {
  char text[40];
  StringFromGUID2A(guid, text, sizeof(text));
  return text;
}

bool RegisterClassKeys(const ClassKeys& keys) {
  const std::string clsid = GuidText(keys.clsid);
  const std::string key = "CLSID\\" + clsid;
  bool ok = SetText(keys.progid, nullptr, keys.type_name) &&
            SetText(keys.progid + "\\CLSID", nullptr, clsid) &&
            SetText(key, nullptr, keys.type_name) &&
            SetText(key + "\\ProgID", nullptr, keys.progid) &&
            SetText(key + "\\InprocServer32", nullptr, keys.module_file) &&
            SetText(key + "\\InprocServer32", "ThreadingModel", keys.threading);
  if (ok && keys.control) {
    ok = MakeKey(key + "\\Control") && SetText(key + "\\MiscStatus", nullptr, "0") &&
         SetText(key + "\\MiscStatus\\1", nullptr, std::to_string(keys.misc_status)) &&
         SetText(key + "\\ToolboxBitmap32", nullptr,
                 keys.module_file + ", " + std::to_string(keys.toolbox_bitmap)) &&
         SetText(key + "\\TypeLib", nullptr, GuidText(keys.libid)) &&
         SetText(key + "\\Version", nullptr,
                 std::to_string(keys.major) + "." + std::to_string(keys.minor));
  }
  return ok;
}

bool UnregisterClassKeys(const CLSID& clsid, const std::string& progid) {
  const std::string key = "CLSID\\" + GuidText(clsid);
  const bool ok = Gone(SHDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str()));
  return Gone(SHDeleteKeyA(HKEY_CLASSES_ROOT, progid.c_str())) && ok;
}

}  // namespace activex
