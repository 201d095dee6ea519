#include "platform/registry/registry_format.h"

#include <charconv>

#include "platform/registry/percent_text.h"

namespace platform::registry {
namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string ToHex(std::string_view bytes) {
  if (bytes.empty()) return "-";
  std::string out;
  for (char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

std::optional<std::string> FromHex(std::string_view text) {
  if (text == "-") return std::string();
  if (text.empty() || text.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigitValue(text[i]);
    const int lo = HexDigitValue(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

std::optional<uint32_t> ParseNumber(std::string_view text) {
  uint32_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return n;
}

void WriteValues(const Key& key, std::string* out, size_t* count) {
  for (const auto& [name, value] : key.values) {
    *out += "V ";
    *out += name.empty() ? std::string("@") : PercentEscape(name, "@");
    *out += ' ';
    *out += std::to_string(value.type);
    *out += ' ';
    *out += ToHex(value.data);
    *out += '\n';
    ++*count;
  }
}

void WriteKeys(const Key& key, KeyPath* path, std::string* out, size_t* count) {
  for (const auto& [name, sub] : key.subkeys) {
    path->push_back(name);
    *out += "K ";
    *out += PercentEscape(JoinPath(*path), "@");
    *out += '\n';
    ++*count;
    WriteValues(sub, out, count);
    WriteKeys(sub, path, out, count);
    path->pop_back();
  }
}

// Splits "A B C" at single blanks into exactly `n` fields.
bool Fields(std::string_view line, size_t n, std::string_view* fields) {
  for (size_t i = 0; i < n; ++i) {
    const size_t blank = line.find(' ');
    if (i + 1 == n) {
      if (blank != std::string_view::npos) return false;
      fields[i] = line;
    } else {
      if (blank == std::string_view::npos) return false;
      fields[i] = line.substr(0, blank);
      line.remove_prefix(blank + 1);
    }
  }
  return true;
}

struct Parser {
  Key root;
  Key* current = &root;
  size_t records = 0;

  bool KeyLine(std::string_view rest) {
    std::optional<std::string> text = PercentUnescape(rest);
    if (!text || text->empty()) return false;
    std::optional<KeyPath> path = SplitPath(*text);
    if (!path || path->empty() || text->back() == '\\') return false;
    const std::string last = path->back();
    path->pop_back();
    Key* parent = FindKey(root, *path);
    if (!parent) return false;
    auto [it, inserted] = parent->subkeys.try_emplace(last);
    if (!inserted) return false;
    current = &it->second;
    return true;
  }

  bool ValueLine(std::string_view rest) {
    std::string_view f[3];
    if (!Fields(rest, 3, f)) return false;
    std::optional<std::string> name = f[0] == "@" ? std::string() : PercentUnescape(f[0]);
    if (!name || (f[0] != "@" && name->empty()) || name->size() > kMaxValueNameLength) {
      return false;
    }
    std::optional<uint32_t> type = ParseNumber(f[1]);
    std::optional<std::string> data = FromHex(f[2]);
    if (!type || !data) return false;
    return current->values.try_emplace(*name, Value{*type, std::move(*data)}).second;
  }

  bool Line(std::string_view line) {
    ++records;
    if (line.starts_with("K ")) return KeyLine(line.substr(2));
    if (line.starts_with("V ")) return ValueLine(line.substr(2));
    return false;
  }
};

}  // namespace

std::string SerializeHive(const Key& root) {
  std::string out(kFormatHeader);
  out += '\n';
  size_t count = 0;
  WriteValues(root, &out, &count);
  KeyPath path;
  WriteKeys(root, &path, &out, &count);
  out += "END " + std::to_string(count) + "\n";
  return out;
}

std::optional<Key> ParseHive(std::string_view text) {
  Parser parser;
  bool header = true;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // every line ends
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (header) {
      if (line != kFormatHeader) return std::nullopt;
      header = false;
    } else if (line.starts_with("END ")) {
      std::optional<uint32_t> count = ParseNumber(line.substr(4));
      if (!count || *count != parser.records || !text.empty()) return std::nullopt;
      return std::move(parser.root);
    } else if (!parser.Line(line)) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace platform::registry
