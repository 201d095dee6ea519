#include "platform/registry/registry_tree.h"

namespace platform::registry {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool NameLess::operator()(std::string_view a, std::string_view b) const {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(Lower(a[i]));
    const unsigned char y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

std::optional<KeyPath> SplitPath(std::string_view text) {
  KeyPath path;
  if (text.empty()) return path;
  if (text.back() == '\\') text.remove_suffix(1);
  size_t start = 0;
  while (true) {
    const size_t end = text.find('\\', start);
    const std::string_view part =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || part.size() > kMaxKeyNameLength) return std::nullopt;
    path.emplace_back(part);
    if (end == std::string_view::npos) return path;
    start = end + 1;
  }
}

std::string JoinPath(const KeyPath& path) {
  std::string text;
  for (const std::string& part : path) {
    if (!text.empty()) text += '\\';
    text += part;
  }
  return text;
}

const Key* FindKey(const Key& root, const KeyPath& path) {
  const Key* key = &root;
  for (const std::string& part : path) {
    auto it = key->subkeys.find(part);
    if (it == key->subkeys.end()) return nullptr;
    key = &it->second;
  }
  return key;
}

Key* FindKey(Key& root, const KeyPath& path) {
  return const_cast<Key*>(FindKey(static_cast<const Key&>(root), path));
}

Key& MakeKey(Key& root, const KeyPath& path, bool* created) {
  Key* key = &root;
  bool made = false;
  for (const std::string& part : path) {
    auto [it, inserted] = key->subkeys.try_emplace(part);
    made = inserted;
    key = &it->second;
  }
  if (created) *created = made;
  return *key;
}

}  // namespace platform::registry
