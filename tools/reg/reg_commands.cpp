#include "tools/reg/reg_commands.h"

#include <fstream>
#include <iostream>
#include <vector>

#include "platform/registry/winreg.h"
#include "tools/reg/reg_text.h"

namespace reg {
namespace {

std::string ErrorText(LONG code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return "the key or value does not exist";
    case ERROR_ACCESS_DENIED:
      return "access denied";
    case ERROR_BADDB:
      return "the registry file is damaged; it was left as it is";
    case ERROR_CANTWRITE:
      return "the registry file could not be written";
    case ERROR_INVALID_PARAMETER:
      return "the key name is not valid";
    default:
      return "error " + std::to_string(code);
  }
}

int Fail(std::ostream& err, const std::string& what, LONG code) {
  err << "reg: " << what << ": " << ErrorText(code) << "\n";
  return 1;
}

// An open key that closes itself.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  LONG Open(HKEY root, const std::string& path, REGSAM access) {
    return RegOpenKeyExA(root, path.c_str(), 0, access, &key_);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

struct NamedValue {
  std::string name;
  DWORD type;
  std::string data;
};

std::vector<NamedValue> Values(HKEY key) {
  std::vector<NamedValue> values;
  for (DWORD i = 0;; ++i) {
    char name[16384];
    DWORD name_length = sizeof(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegEnumValueA(key, i, name, &name_length, nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
      break;
    }
    std::string data(size, '\0');
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
    values.push_back({name, type, std::move(data)});
  }
  return values;
}

std::vector<std::string> SubKeys(HKEY key) {
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  return names;
}

std::string Join(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

void ShowValue(const NamedValue& value, std::ostream& out) {
  out << "    " << (value.name.empty() ? "(Default)" : value.name) << "    " << TypeName(value.type)
      << "    " << ShowData(value.type, value.data) << "\n";
}

void QueryKey(const KeyName& name, HKEY key, bool recursive, std::ostream& out) {
  out << name.root_name << (name.path.empty() ? "" : "\\") << name.path << "\n";
  for (const NamedValue& value : Values(key)) ShowValue(value, out);
  out << "\n";
  for (const std::string& sub : SubKeys(key)) {
    KeyName child{name.root, name.root_name, Join(name.path, sub)};
    if (!recursive) {
      out << child.root_name << "\\" << child.path << "\n";
      continue;
    }
    Key opened;
    if (opened.Open(name.root, child.path, KEY_READ) == ERROR_SUCCESS) {
      QueryKey(child, opened.get(), true, out);
    }
  }
}

void ExportKey(const KeyName& name, HKEY key, std::ostream& out) {
  out << "[" << name.root_name << (name.path.empty() ? "" : "\\") << name.path << "]\n";
  for (const NamedValue& value : Values(key)) {
    out << (value.name.empty() ? std::string("@") : "\"" + value.name + "\"") << "="
        << ExportData(value.type, value.data) << "\n";
  }
  out << "\n";
  for (const std::string& sub : SubKeys(key)) {
    KeyName child{name.root, name.root_name, Join(name.path, sub)};
    Key opened;
    if (opened.Open(name.root, child.path, KEY_READ) == ERROR_SUCCESS) {
      ExportKey(child, opened.get(), out);
    }
  }
}

std::optional<KeyName> KeyArgument(const Arguments& args, std::ostream& err) {
  std::optional<KeyName> name = ParseKeyName(args.key);
  if (!name) err << "reg: \"" << args.key << "\" does not start with HKLM, HKCU or HKCR\n";
  return name;
}

}  // namespace

int Query(const Arguments& args, std::ostream& out, std::ostream& err) {
  std::optional<KeyName> name = KeyArgument(args, err);
  if (!name) return 2;
  Key key;
  if (const LONG opened = key.Open(name->root, name->path, KEY_READ); opened != ERROR_SUCCESS) {
    return Fail(err, args.key, opened);
  }
  if (!args.value) {
    QueryKey(*name, key.get(), args.recursive, out);
    return 0;
  }
  DWORD type = 0;
  DWORD size = 0;
  LONG result = RegQueryValueExA(key.get(), args.value->c_str(), nullptr, &type, nullptr, &size);
  std::string data(size, '\0');
  if (result == ERROR_SUCCESS) {
    result = RegQueryValueExA(key.get(), args.value->c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
  }
  if (result != ERROR_SUCCESS) return Fail(err, args.key + " /v " + *args.value, result);
  out << name->root_name << (name->path.empty() ? "" : "\\") << name->path << "\n";
  ShowValue({*args.value, type, data}, out);
  return 0;
}

int Add(const Arguments& args, std::ostream& err) {
  std::optional<KeyName> name = KeyArgument(args, err);
  if (!name) return 2;
  std::optional<DWORD> type = ParseTypeName(args.type);
  if (!type) {
    err << "reg: unknown type \"" << args.type << "\"\n";
    return 2;
  }
  std::optional<std::string> data = DataFromText(*type, args.data);
  if (!data) {
    err << "reg: \"" << args.data << "\" is not a " << args.type << "\n";
    return 2;
  }
  HKEY key = nullptr;
  const LONG created = RegCreateKeyExA(name->root, name->path.c_str(), 0, nullptr, 0,
                                       KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (created != ERROR_SUCCESS) return Fail(err, args.key, created);
  LONG result = ERROR_SUCCESS;
  if (args.value) {
    result = RegSetValueExA(key, args.value->c_str(), 0, *type,
                            reinterpret_cast<const BYTE*>(data->data()),
                            static_cast<DWORD>(data->size()));
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : Fail(err, args.key, result);
}

int Delete(const Arguments& args, std::ostream& err) {
  std::optional<KeyName> name = KeyArgument(args, err);
  if (!name) return 2;
  if (!args.value) {
    if (name->path.empty()) {
      err << "reg: a root key cannot be deleted\n";
      return 2;
    }
    // As the system's tool does, a key goes with everything below it.
    const LONG result = SHDeleteKeyA(name->root, name->path.c_str());
    return result == ERROR_SUCCESS ? 0 : Fail(err, args.key, result);
  }
  Key key;
  LONG result = key.Open(name->root, name->path, KEY_ALL_ACCESS);
  if (result == ERROR_SUCCESS) result = RegDeleteValueA(key.get(), args.value->c_str());
  return result == ERROR_SUCCESS ? 0 : Fail(err, args.key + " /v " + *args.value, result);
}

int Export(const Arguments& args, std::ostream& out, std::ostream& err) {
  std::optional<KeyName> name = KeyArgument(args, err);
  if (!name) return 2;
  Key key;
  if (const LONG opened = key.Open(name->root, name->path, KEY_READ); opened != ERROR_SUCCESS) {
    return Fail(err, args.key, opened);
  }
  if (args.file == "-") {
    out << "; registry export\n\n";
    ExportKey(*name, key.get(), out);
    return 0;
  }
  std::ofstream file(args.file, std::ios::binary | std::ios::trunc);
  file << "; registry export\n\n";
  ExportKey(*name, key.get(), file);
  file.close();
  if (!file) {
    err << "reg: cannot write " << args.file << "\n";
    return 1;
  }
  return 0;
}

}  // namespace reg
