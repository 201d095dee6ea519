#include "platform/com/typelib_format.h"

#include <charconv>

#include "platform/com/typelib.h"
#include "platform/registry/percent_text.h"

namespace platform::com {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  while (!line.empty()) {
    const size_t blank = line.find(' ');
    const std::string_view word = line.substr(0, blank);
    if (!word.empty()) words.push_back(word);
    if (blank == std::string_view::npos) break;
    line.remove_prefix(blank + 1);
  }
  return words;
}

bool IsName(std::string_view word) {
  if (word.empty() || word.size() > 255) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

bool ParseGuid(std::string_view word, GUID* guid) {
  return CLSIDFromStringA(std::string(word).c_str(), guid) == S_OK;
}

bool ParseVersion(std::string_view word, int* major, int* minor) {
  const size_t dot = word.find('.');
  if (dot == std::string_view::npos) return false;
  const char* end = word.data() + word.size();
  auto [m, e1] = std::from_chars(word.data(), word.data() + dot, *major);
  auto [n, e2] = std::from_chars(word.data() + dot + 1, end, *minor);
  return e1 == std::errc() && e2 == std::errc() && m == word.data() + dot && n == end && dot > 0 &&
         dot + 1 < word.size() && *major >= 0 && *major <= 0xFFFF && *minor >= 0 &&
         *minor <= 0xFFFF;
}

class Parser {
 public:
  bool Line(std::string_view line) {
    if (line.empty() || line[0] == '#') return true;
    std::vector<std::string_view> words = Words(line);
    if (words.size() < 3 || !IsName(words[1])) return false;
    if (words[0] == "library") return Library(words);
    if (!have_library_) return false;
    TypeEntry entry;
    entry.name = words[1];
    if (!ParseGuid(words[2], &entry.guid) || Taken(entry.name, entry.guid)) return false;
    if (words[0] == "dispinterface") {
      entry.kind = TKIND_DISPATCH;
    } else if (words[0] == "coclass") {
      entry.kind = TKIND_COCLASS;
    } else {
      return false;
    }
    for (size_t i = 3; i < words.size(); ++i) {
      if (!Option(words[i], &entry)) return false;
    }
    library_.entries.push_back(std::move(entry));
    return true;
  }

  std::optional<TypeLibrary> Finish() {
    if (!have_library_) return std::nullopt;
    return std::move(library_);
  }

 private:
  bool Library(const std::vector<std::string_view>& words) {
    if (have_library_ || words.size() < 4) return false;
    have_library_ = true;
    library_.name = words[1];
    if (!ParseGuid(words[2], &library_.guid) ||
        !ParseVersion(words[3], &library_.major, &library_.minor)) {
      return false;
    }
    for (size_t i = 4; i < words.size(); ++i) {
      const std::string_view word = words[i];
      std::optional<std::string> value = registry::PercentUnescape(word.substr(word.find('=') + 1));
      if (!value || word.find('=') == std::string_view::npos) return false;
      if (word.starts_with("help=")) {
        library_.help_file = *value;
      } else if (word.starts_with("doc=")) {
        library_.doc = *value;
      } else {
        return false;
      }
    }
    return true;
  }

  bool Option(std::string_view word, TypeEntry* entry) {
    const size_t equals = word.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view key = word.substr(0, equals);
    std::optional<std::string> value = registry::PercentUnescape(word.substr(equals + 1));
    if (!value) return false;
    if (key == "doc") {
      entry->doc = *value;
      return true;
    }
    if (entry->kind != TKIND_COCLASS || (key != "default" && key != "source")) return false;
    const int found = Find(*value, TKIND_DISPATCH);
    if (found < 0) return false;
    (key == "default" ? entry->default_interface : entry->source_interface) = found;
    return true;
  }

  int Find(const std::string& name, int kind) const {
    for (size_t i = 0; i < library_.entries.size(); ++i) {
      if (library_.entries[i].name == name && library_.entries[i].kind == kind) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }

  bool Taken(const std::string& name, const GUID& guid) const {
    if (guid == library_.guid || name == library_.name) return true;
    for (const TypeEntry& e : library_.entries) {
      if (e.name == name || e.guid == guid) return true;
    }
    return false;
  }

  TypeLibrary library_;
  bool have_library_ = false;
};

}  // namespace

std::optional<TypeLibrary> ParseTypeLibrary(std::string_view text) {
  constexpr std::string_view kHeader = "orvix-typelib 1\n";
  if (!text.starts_with(kHeader) || text.size() > (1 << 20)) return std::nullopt;
  text.remove_prefix(kHeader.size());
  Parser parser;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    if (!parser.Line(text.substr(0, end))) return std::nullopt;
    text.remove_prefix(end + 1);
  }
  return parser.Finish();
}

}  // namespace platform::com
