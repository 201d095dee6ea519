#pragma once
// The in-memory form of one hive: keys with case-insensitive, case-preserving names, each
// holding typed values. Files and handles live elsewhere; this is what they load and change.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

// Names compare as Windows compares them: ASCII letters without regard to case.
struct NameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

struct Value {
  uint32_t type = 0;
  std::string data;  // the bytes as given, any content
  bool operator==(const Value&) const = default;
};

struct Key {
  std::map<std::string, Key, NameLess> subkeys;
  std::map<std::string, Value, NameLess> values;
  bool operator==(const Key&) const = default;
};

// The longest key name component and value name, as Windows limits them.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

using KeyPath = std::vector<std::string>;

// Splits "A\\B\\C" into its components. A trailing backslash is ignored; an empty component
// elsewhere, a leading backslash or a component longer than kMaxKeyNameLength gives nullopt.
// An empty text is the empty path (the key itself).
std::optional<KeyPath> SplitPath(std::string_view text);
std::string JoinPath(const KeyPath& path);

// The key at `path` below `root`, or null.
Key* FindKey(Key& root, const KeyPath& path);
const Key* FindKey(const Key& root, const KeyPath& path);
// The key at `path`, created with its missing parents; *created tells whether the last
// component was new.
Key& MakeKey(Key& root, const KeyPath& path, bool* created);

}  // namespace platform::registry
