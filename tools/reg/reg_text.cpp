#include "tools/reg/reg_text.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace reg {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

struct TypeEntry {
  DWORD type;
  const char* name;
};
constexpr TypeEntry kTypes[] = {{REG_NONE, "REG_NONE"},           {REG_SZ, "REG_SZ"},
                                {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_BINARY, "REG_BINARY"},
                                {REG_DWORD, "REG_DWORD"},         {REG_MULTI_SZ, "REG_MULTI_SZ"}};

std::string Hex(const std::string& bytes, const char* separator) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += separator;
    std::snprintf(two, sizeof(two), "%02x", static_cast<unsigned char>(bytes[i]));
    out += two;
  }
  return out;
}

std::string WithoutNul(std::string text) {
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

}  // namespace

std::optional<KeyName> ParseKeyName(const std::string& text) {
  const size_t slash = text.find('\\');
  const std::string root = Upper(text.substr(0, slash));
  const std::string path = slash == std::string::npos ? "" : text.substr(slash + 1);
  if (root == "HKLM" || root == "HKEY_LOCAL_MACHINE") {
    return KeyName{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", path};
  }
  if (root == "HKCU" || root == "HKEY_CURRENT_USER") {
    return KeyName{HKEY_CURRENT_USER, "HKEY_CURRENT_USER", path};
  }
  if (root == "HKCR" || root == "HKEY_CLASSES_ROOT") {
    return KeyName{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", path};
  }
  return std::nullopt;
}

std::string TypeName(DWORD type) {
  for (const TypeEntry& entry : kTypes) {
    if (entry.type == type) return entry.name;
  }
  return "REG_" + std::to_string(type);
}

std::optional<DWORD> ParseTypeName(const std::string& name) {
  for (const TypeEntry& entry : kTypes) {
    if (Upper(name) == entry.name) return entry.type;
  }
  return std::nullopt;
}

std::string ShowData(DWORD type, const std::string& bytes) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) return WithoutNul(bytes);
  if (type == REG_DWORD && bytes.size() == 4) {
    DWORD n = 0;
    std::memcpy(&n, bytes.data(), 4);
    char text[16];
    std::snprintf(text, sizeof(text), "0x%x", n);
    return text;
  }
  if (type == REG_MULTI_SZ) {
    std::string out = WithoutNul(WithoutNul(bytes));
    for (char& c : out) {
      if (c == '\0') c = '\n';
    }
    return out;
  }
  return Hex(bytes, "");
}

std::optional<std::string> DataFromText(DWORD type, const std::string& text) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) return text + '\0';
  if (type == REG_DWORD) {
    char* end = nullptr;
    const unsigned long long n = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || n > 0xFFFFFFFFull) return std::nullopt;
    const DWORD value = static_cast<DWORD>(n);
    return std::string(reinterpret_cast<const char*>(&value), 4);
  }
  if (type == REG_MULTI_SZ) {
    std::string out = text;
    for (char& c : out) {
      if (c == '\n') c = '\0';
    }
    return out + std::string(2, '\0');
  }
  if (text.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < text.size(); i += 2) {
    if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
        !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
      return std::nullopt;
    }
    out += static_cast<char>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16));
  }
  return out;
}

std::string ExportData(DWORD type, const std::string& bytes) {
  if (type == REG_SZ && bytes.find('\0') + 1 >= bytes.size()) {
    std::string out = "\"";
    for (char c : WithoutNul(bytes)) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    return out + "\"";
  }
  if (type == REG_DWORD && bytes.size() == 4) {
    DWORD n = 0;
    std::memcpy(&n, bytes.data(), 4);
    char text[16];
    std::snprintf(text, sizeof(text), "dword:%08x", n);
    return text;
  }
  return (type == REG_BINARY ? std::string("hex:") : "hex(" + std::to_string(type) + "):") +
         Hex(bytes, ",");
}

}  // namespace reg
