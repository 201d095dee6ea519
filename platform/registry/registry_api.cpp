// The Windows registry calls over the hive store and the handle table.
#include <cstring>
#include <set>
#include <string>

#include "platform/registry/hive_store.h"
#include "platform/registry/key_handles.h"
#include "platform/registry/winreg.h"

using platform::registry::FindKey;
using platform::registry::Hive;
using platform::registry::Key;
using platform::registry::KeyExists;
using platform::registry::KeyPath;
using platform::registry::NameLess;
using platform::registry::OpenKey;
using platform::registry::Purpose;
using platform::registry::Value;

namespace {

std::string_view Text(LPCSTR text) { return text ? std::string_view(text) : std::string_view(); }

// The handle's key with the access it needs, or the error to give.
LONG Check(HKEY key, REGSAM needed, OpenKey* out) {
  std::optional<OpenKey> open = platform::registry::LookUpKey(key);
  if (!open) return ERROR_INVALID_HANDLE;
  if ((open->access & needed) != needed) return ERROR_ACCESS_DENIED;
  *out = std::move(*open);
  return ERROR_SUCCESS;
}

// Copies a name out as the enumeration calls do.
LONG GiveName(const std::string& name, LPSTR buffer, LPDWORD length) {
  if (!buffer || !length) return ERROR_INVALID_PARAMETER;
  if (name.size() + 1 > *length) {
    *length = static_cast<DWORD>(name.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *length = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Copies a value out as RegQueryValueExA does.
LONG GiveValue(const Value& value, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (type) *type = value.type;
  if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  const DWORD have = *size;
  *size = static_cast<DWORD>(value.data.size());
  if (!data) return ERROR_SUCCESS;
  if (value.data.size() > have) return ERROR_MORE_DATA;
  std::memcpy(data, value.data.data(), value.data.size());
  return ERROR_SUCCESS;
}

// The key of an open handle, read now from its hive.
LONG ReadKey(const OpenKey& open, Key* tree, const Key** key) {
  if (const LONG read = ReadHive(open.hive, tree); read != ERROR_SUCCESS) return read;
  static const Key kEmpty;
  *key = FindKey(*tree, open.path);
  if (!*key && open.root) *key = &kEmpty;  // a predefined key with nothing in it yet
  return *key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LONG DeleteSubKey(HKEY key, LPCSTR sub_key, bool with_subkeys) {
  OpenKey base;
  if (const LONG checked = Check(key, 0, &base); checked != ERROR_SUCCESS) return checked;
  if (Text(sub_key).empty()) return ERROR_INVALID_PARAMETER;
  OpenKey target;
  if (const LONG resolved = ResolveSubKey(base, Text(sub_key), Purpose::kOpen, &target);
      resolved != ERROR_SUCCESS) {
    return resolved;
  }
  return UpdateHive(target.hive, [&](Key& tree) -> LONG {
    KeyPath parent_path = target.path;
    const std::string last = parent_path.back();
    parent_path.pop_back();
    Key* parent = FindKey(tree, parent_path);
    if (!parent) return ERROR_FILE_NOT_FOUND;
    auto it = parent->subkeys.find(last);
    if (it == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    if (!with_subkeys && !it->second.subkeys.empty()) return ERROR_ACCESS_DENIED;
    parent->subkeys.erase(it);
    return ERROR_SUCCESS;
  });
}

void AddNames(const Key* key, std::set<std::string, NameLess>* names) {
  if (!key) return;
  for (const auto& [name, sub] : key->subkeys) names->insert(name);
}

}  // namespace

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD, LPSTR, DWORD, REGSAM desired,
                        LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  OpenKey base;
  if (const LONG checked = Check(key, 0, &base); checked != ERROR_SUCCESS) return checked;
  OpenKey target;
  if (const LONG resolved = ResolveSubKey(base, Text(sub_key), Purpose::kCreate, &target);
      resolved != ERROR_SUCCESS) {
    return resolved;
  }
  bool created = false;
  const LONG changed = UpdateHive(target.hive, [&](Key& tree) -> LONG {
    if (FindKey(tree, target.path)) return ERROR_SUCCESS;
    if (!KeyExists(tree, base) && target.hive == base.hive) return ERROR_KEY_DELETED;
    if ((base.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    MakeKey(tree, target.path, &created);
    return ERROR_SUCCESS;
  });
  if (changed != ERROR_SUCCESS) return changed;
  target.access = desired;
  *result = platform::registry::AddKey(std::move(target));
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD, REGSAM desired, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  OpenKey base;
  if (const LONG checked = Check(key, 0, &base); checked != ERROR_SUCCESS) return checked;
  OpenKey target;
  if (const LONG resolved = ResolveSubKey(base, Text(sub_key), Purpose::kOpen, &target);
      resolved != ERROR_SUCCESS) {
    return resolved;
  }
  Key tree;
  if (const LONG read = ReadHive(target.hive, &tree); read != ERROR_SUCCESS) return read;
  if (!KeyExists(tree, target)) {
    return target.hive == base.hive && !KeyExists(tree, base) ? ERROR_KEY_DELETED
                                                              : ERROR_FILE_NOT_FOUND;
  }
  target.access = desired;
  *result = platform::registry::AddKey(std::move(target));
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  return platform::registry::RemoveKey(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  OpenKey open;
  if (const LONG checked = Check(key, KEY_SET_VALUE, &open); checked != ERROR_SUCCESS) {
    return checked;
  }
  if (!data && size != 0) return ERROR_INVALID_PARAMETER;
  if (Text(name).size() > platform::registry::kMaxValueNameLength) {
    return ERROR_INVALID_PARAMETER;
  }
  Value value{type, std::string(reinterpret_cast<const char*>(data), data ? size : 0)};
  return UpdateHive(open.hive, [&](Key& tree) -> LONG {
    Key* target = open.root ? &MakeKey(tree, open.path, nullptr) : FindKey(tree, open.path);
    if (!target) return ERROR_KEY_DELETED;
    target->values.insert_or_assign(std::string(Text(name)), value);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  OpenKey open;
  if (const LONG checked = Check(key, KEY_QUERY_VALUE, &open); checked != ERROR_SUCCESS) {
    return checked;
  }
  Key tree;
  const Key* found = nullptr;
  if (const LONG read = ReadKey(open, &tree, &found); read != ERROR_SUCCESS) return read;
  auto it = found->values.find(Text(name));
  if (it == found->values.end()) return ERROR_FILE_NOT_FOUND;
  return GiveValue(it->second, type, data, size);
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR name) {
  OpenKey open;
  if (const LONG checked = Check(key, KEY_SET_VALUE, &open); checked != ERROR_SUCCESS) {
    return checked;
  }
  return UpdateHive(open.hive, [&](Key& tree) -> LONG {
    Key* target = FindKey(tree, open.path);
    if (!target) return open.root ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    return target->values.erase(std::string(Text(name))) == 1 ? ERROR_SUCCESS
                                                              : ERROR_FILE_NOT_FOUND;
  });
}

LSTATUS RegDeleteKeyA(HKEY key, LPCSTR sub_key) { return DeleteSubKey(key, sub_key, false); }

LSTATUS SHDeleteKeyA(HKEY key, LPCSTR sub_key) { return DeleteSubKey(key, sub_key, true); }

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_length, LPDWORD, LPSTR,
                      LPDWORD class_length, PFILETIME last_write) {
  OpenKey open;
  if (const LONG checked = Check(key, KEY_ENUMERATE_SUB_KEYS, &open); checked != ERROR_SUCCESS) {
    return checked;
  }
  Key tree;
  const Key* found = nullptr;
  if (const LONG read = ReadKey(open, &tree, &found); read != ERROR_SUCCESS) return read;
  std::set<std::string, NameLess> names;
  AddNames(found, &names);
  if (open.classes) {
    // The merged view lists the keys of the other hive's Software\Classes too.
    Key other;
    const Hive other_hive = open.hive == Hive::kUser ? Hive::kMachine : Hive::kUser;
    if (const LONG read = ReadHive(other_hive, &other); read != ERROR_SUCCESS) return read;
    AddNames(FindKey(other, open.path), &names);
  }
  if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
  if (class_length) *class_length = 0;
  if (last_write) *last_write = FILETIME{0, 0};
  return GiveName(*std::next(names.begin(), index), name, name_length);
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_length, LPDWORD, LPDWORD type,
                      LPBYTE data, LPDWORD size) {
  OpenKey open;
  if (const LONG checked = Check(key, KEY_QUERY_VALUE, &open); checked != ERROR_SUCCESS) {
    return checked;
  }
  Key tree;
  const Key* found = nullptr;
  if (const LONG read = ReadKey(open, &tree, &found); read != ERROR_SUCCESS) return read;
  if (index >= found->values.size()) return ERROR_NO_MORE_ITEMS;
  auto it = std::next(found->values.begin(), index);
  if (const LONG named = GiveName(it->first, name, name_length); named != ERROR_SUCCESS) {
    return named;
  }
  return GiveValue(it->second, type, data, size);
}
