#include "signaling/attribute_scan.h"

#include <cstring>

namespace sigbus {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Bytes that end a run of ordinary token characters.
struct SpecialBytes {
  bool table[256] = {};
  constexpr SpecialBytes() {
    for (unsigned char c : {'"', ' ', '\t', '=', '\0'}) table[c] = true;
  }
};
constexpr SpecialBytes kSpecial;

const char* skip_ordinary(const char* pos, const char* end) {
  while (pos < end && !kSpecial.table[static_cast<unsigned char>(*pos)]) ++pos;
  return pos;
}

}  // namespace

attribute_token next_attribute(const char* pos, const char* end) {
  while (pos < end && is_blank(*pos)) ++pos;
  attribute_token token{pos, {}, {}, false};
  if (pos >= end || *pos == '\0') return token;
  const char* start = pos;
  const char* equals = nullptr;
  const char* first_quote = nullptr;  // first quotation mark after equals
  const char* last_quote = nullptr;
  bool quoted = false;
  for (; (pos = skip_ordinary(pos, end)) < end && *pos != '\0'; ++pos) {
    char c = *pos;
    if (c == '"') {
      quoted = !quoted;
      if (equals != nullptr && first_quote == nullptr) first_quote = pos;
      last_quote = pos;
    } else if (!quoted && is_blank(c)) {
      break;
    } else if (!quoted && c == '=' && pos != start) {
      equals = pos;
      first_quote = nullptr;  // quotation marks count only after the last "="
    }
  }
  token.end = pos;
  if (equals == nullptr) return token;
  token.found = true;
  token.name = std::string_view(start, static_cast<std::size_t>(equals - start));
  if (first_quote != nullptr && last_quote > first_quote) {
    token.value =
        std::string_view(first_quote + 1, static_cast<std::size_t>(last_quote - first_quote - 1));
  }
  return token;
}

bool find_attribute_area(const char* text, const char* word, const char*& begin, const char*& end) {
  const char* at = std::strstr(text, word);
  if (at == nullptr) return false;
  begin = at + std::strlen(word);
  const char* stop = std::strpbrk(begin, "/>");
  end = stop != nullptr ? stop : begin + std::strlen(begin);
  return true;
}

}  // namespace sigbus
