#pragma once
// How the `reg` tool names root keys and shows and reads typed values.

#include <optional>
#include <string>

#include "platform/registry/winreg.h"

namespace reg {

// The predefined key and the rest of the path of "HKLM\\A\\B" (or HKEY_LOCAL_MACHINE, HKCU,
// HKEY_CURRENT_USER, HKCR, HKEY_CLASSES_ROOT; any case). Nullopt for another root.
struct KeyName {
  HKEY root;
  std::string root_name;  // the long form, for output
  std::string path;
};
std::optional<KeyName> ParseKeyName(const std::string& text);

std::string TypeName(DWORD type);
std::optional<DWORD> ParseTypeName(const std::string& name);

// The value as `reg query` shows it: text without its NUL, numbers in hex, bytes in hex.
std::string ShowData(DWORD type, const std::string& bytes);
// The bytes to store for `reg add /t type /d text`; nullopt when `text` does not fit the
// type (a REG_DWORD that is not a number, odd hex...).
std::optional<std::string> DataFromText(DWORD type, const std::string& text);
// The value in an export file's form: "text", dword:0000abcd or hex(N):01,02.
std::string ExportData(DWORD type, const std::string& bytes);

}  // namespace reg
