#include "tools/orvix/page_file.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace orvix {
namespace {

struct Tag {
  std::string name;  // lower case
  bool closing = false;
  std::map<std::string, std::string> attributes;  // names in lower case
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void AppendUtf8(unsigned long code, std::string* out) {
  if (code == 0 || code > 0x10FFFF) code = 0xFFFD;
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Character references; anything that is not one stays as written.
std::string Decode(const std::string& text) {
  static const std::map<std::string, char> kNamed = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t semi = text[i] == '&' ? text.find(';', i) : std::string::npos;
    if (semi == std::string::npos || semi - i > 10) {
      out += text[i];
      continue;
    }
    std::string ref = text.substr(i + 1, semi - i - 1);
    if (ref.size() > 1 && ref[0] == '#') {
      bool hex = ref[1] == 'x' || ref[1] == 'X';
      std::string digits = ref.substr(hex ? 2 : 1);
      char* end = nullptr;
      unsigned long code = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
      if (!digits.empty() && *end == '\0') {
        AppendUtf8(code, &out);
        i = semi;
        continue;
      }
    } else if (auto it = kNamed.find(Lower(ref)); it != kNamed.end()) {
      out += it->second;
      i = semi;
      continue;
    }
    out += text[i];
  }
  return out;
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' ||
         c == '.';
}

class Scanner {
 public:
  explicit Scanner(const std::string& html) : s_(html) {}

  // The next tag, or false at the end of the page.
  bool Next(Tag* tag) {
    while (pos_ < s_.size()) {
      if (s_.compare(pos_, 4, "<!--") == 0) {
        size_t end = s_.find("-->", pos_ + 4);
        pos_ = end == std::string::npos ? s_.size() : end + 3;
      } else if (s_[pos_] == '<' && pos_ + 1 < s_.size() &&
                 (std::isalpha(static_cast<unsigned char>(s_[pos_ + 1])) || s_[pos_ + 1] == '/')) {
        ReadTag(tag);
        if (!tag->closing && (tag->name == "script" || tag->name == "style")) SkipRawText(*tag);
        if (!tag->name.empty()) return true;
      } else {
        ++pos_;
      }
    }
    return false;
  }

 private:
  void SkipSpace() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }

  std::string ReadName() {
    size_t start = pos_;
    while (pos_ < s_.size() && IsNameChar(s_[pos_])) ++pos_;
    return Lower(s_.substr(start, pos_ - start));
  }

  std::string ReadValue() {
    if (pos_ < s_.size() && (s_[pos_] == '"' || s_[pos_] == '\'')) {
      char quote = s_[pos_++];
      size_t end = s_.find(quote, pos_);
      if (end == std::string::npos) end = s_.size();
      std::string value = s_.substr(pos_, end - pos_);
      pos_ = end < s_.size() ? end + 1 : end;
      return Decode(value);
    }
    size_t start = pos_;
    while (pos_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[pos_])) &&
           s_[pos_] != '>')
      ++pos_;
    return Decode(s_.substr(start, pos_ - start));
  }

  void ReadTag(Tag* tag) {
    *tag = Tag{};
    ++pos_;  // '<'
    if (s_[pos_] == '/') {
      tag->closing = true;
      ++pos_;
    }
    tag->name = ReadName();
    for (;;) {
      SkipSpace();
      if (pos_ >= s_.size()) return;
      if (s_[pos_] == '>') {
        ++pos_;
        return;
      }
      if (!IsNameChar(s_[pos_])) {  // a stray '/' or other mark
        ++pos_;
        continue;
      }
      std::string name = ReadName();
      SkipSpace();
      std::string value;
      if (pos_ < s_.size() && s_[pos_] == '=') {
        ++pos_;
        SkipSpace();
        value = ReadValue();
      }
      tag->attributes.emplace(name, value);  // the first of a repeated attribute counts
    }
  }

  void SkipRawText(const Tag& tag) {
    std::string end_tag = "</" + tag.name;
    auto found = std::search(
        s_.begin() + static_cast<std::ptrdiff_t>(pos_), s_.end(), end_tag.begin(), end_tag.end(),
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    pos_ = static_cast<size_t>(found - s_.begin());
  }

  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

PageParams ParsePageParams(const std::string& html, std::string* class_id) {
  Scanner scanner(html);
  Tag tag;
  while (scanner.Next(&tag)) {
    if (tag.name == "object" && !tag.closing) break;
  }
  if (tag.name != "object" || tag.closing) {
    throw std::invalid_argument("the page has no <object> element");
  }
  if (class_id) {
    auto it = tag.attributes.find("classid");
    *class_id = it == tag.attributes.end() ? "" : it->second;
  }
  PageParams params;
  int depth = 1;  // params of an <object> nested as fallback content are not ours
  while (depth > 0 && scanner.Next(&tag)) {
    if (tag.name == "object") {
      depth += tag.closing ? -1 : 1;
    } else if (tag.name == "param" && !tag.closing && depth == 1) {
      auto name = tag.attributes.find("name");
      if (name == tag.attributes.end() || name->second.empty()) continue;
      auto value = tag.attributes.find("value");
      params.emplace_back(name->second, value == tag.attributes.end() ? "" : value->second);
    }
  }
  return params;
}

PageParams ReadPageFile(const std::string& path, std::string* class_id) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::invalid_argument(path + ": cannot read the page file");
  std::ostringstream text;
  text << in.rdbuf();
  try {
    return ParsePageParams(text.str(), class_id);
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(path + ": " + e.what());
  }
}

}  // namespace orvix
