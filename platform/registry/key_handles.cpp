#include "platform/registry/key_handles.h"

#include <map>
#include <mutex>

namespace platform::registry {
namespace {

const KeyPath& ClassesPrefix() {
  static const KeyPath prefix = {"Software", "Classes"};
  return prefix;
}

KeyPath Append(KeyPath path, const KeyPath& more) {
  path.insert(path.end(), more.begin(), more.end());
  return path;
}

struct Table {
  std::mutex mutex;
  std::map<uintptr_t, OpenKey> keys;  // guarded by mutex
  uintptr_t next = 0x1000;            // guarded by mutex
};

Table& Keys() {
  static Table table;
  return table;
}

std::optional<OpenKey> Predefined(HKEY key) {
  OpenKey open;
  open.root = true;
  if (key == HKEY_LOCAL_MACHINE) {
    open.hive = Hive::kMachine;
  } else if (key == HKEY_CURRENT_USER) {
    open.hive = Hive::kUser;
  } else if (key == HKEY_CLASSES_ROOT) {
    open.hive = Hive::kMachine;
    open.path = ClassesPrefix();
    open.classes = true;
  } else {
    return std::nullopt;
  }
  return open;
}

}  // namespace

std::optional<OpenKey> LookUpKey(HKEY key) {
  if (std::optional<OpenKey> predefined = Predefined(key)) return predefined;
  Table& table = Keys();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.keys.find(reinterpret_cast<uintptr_t>(key));
  if (it == table.keys.end()) return std::nullopt;
  return it->second;
}

HKEY AddKey(OpenKey key) {
  Table& table = Keys();
  std::lock_guard<std::mutex> lock(table.mutex);
  const uintptr_t id = table.next;
  table.next += 4;
  table.keys.emplace(id, std::move(key));
  return reinterpret_cast<HKEY>(id);
}

bool RemoveKey(HKEY key) {
  if (Predefined(key)) return true;
  Table& table = Keys();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.keys.erase(reinterpret_cast<uintptr_t>(key)) == 1;
}

LONG ResolveSubKey(const OpenKey& base, std::string_view sub_key, Purpose purpose, OpenKey* out) {
  std::optional<KeyPath> sub = SplitPath(sub_key);
  if (!sub) return ERROR_INVALID_PARAMETER;
  *out = base;
  out->root = base.root && sub->empty();
  if (!base.classes) {
    out->path = Append(base.path, *sub);
    return ERROR_SUCCESS;
  }
  out->classes_path = Append(base.classes_path, *sub);
  Key user;
  if (const LONG read = ReadHive(Hive::kUser, &user); read != ERROR_SUCCESS) return read;
  const KeyPath in_user = Append(ClassesPrefix(), out->classes_path);
  if (!out->classes_path.empty() && FindKey(user, in_user)) {
    out->hive = Hive::kUser;
  } else if (purpose == Purpose::kOpen || base.root) {
    out->hive = Hive::kMachine;
  } else {
    out->hive = base.hive;
  }
  out->path = Append(ClassesPrefix(), out->classes_path);
  return ERROR_SUCCESS;
}

bool KeyExists(const Key& tree, const OpenKey& key) {
  return key.root || FindKey(tree, key.path) != nullptr;
}

}  // namespace platform::registry
