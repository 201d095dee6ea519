#pragma once
// The process's open keys: what an HKEY stands for, and where a subkey of it lives (the
// merged HKEY_CLASSES_ROOT view is resolved here).

#include <optional>
#include <string_view>

#include "platform/registry/hive_store.h"
#include "platform/registry/registry_tree.h"
#include "platform/registry/winreg.h"

namespace platform::registry {

struct OpenKey {
  Hive hive = Hive::kMachine;
  KeyPath path;          // within the hive
  bool classes = false;  // reached through HKEY_CLASSES_ROOT
  KeyPath classes_path;  // for `classes`: the path below Software\Classes
  bool root = false;     // a predefined key: it always exists
  REGSAM access = KEY_ALL_ACCESS;
};

// What `key` stands for, or nullopt when it is neither predefined nor open.
std::optional<OpenKey> LookUpKey(HKEY key);
HKEY AddKey(OpenKey key);
bool RemoveKey(HKEY key);

enum class Purpose { kOpen, kCreate };

// Where `sub_key` of `base` lives: for a key of the merged classes view, the user's hive when
// the key is there, else (kOpen) the machine's, or (kCreate) the hive of `base`. ERROR_SUCCESS
// with *out set (access left to the caller), ERROR_INVALID_PARAMETER for a malformed path,
// or a hive's read error.
LONG ResolveSubKey(const OpenKey& base, std::string_view sub_key, Purpose purpose, OpenKey* out);

// True when the key a handle stands for still exists in `tree` (its hive).
bool KeyExists(const Key& tree, const OpenKey& key);

}  // namespace platform::registry
