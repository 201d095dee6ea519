#pragma once

// Reading "name=\"value\"" attributes out of the received XML text. The reader is lenient
// on purpose: peers write keys and values verbatim, without escaping.

#include <string_view>

namespace sigbus {

struct attribute_token {
  const char* end;        // where scanning continues
  std::string_view name;  // empty with found false: the scan ends
  std::string_view value;
  bool found;
};

// Reads the next attribute at pos, never passing end or a NUL: blanks and tabs are skipped;
// the token runs to the first blank or tab outside quotation marks; the name ends at the
// last "=" outside quotation marks (not the token's first character); the value lies
// between the first quotation mark after that "=" and the last one of the token.
attribute_token next_attribute(const char* pos, const char* end);

// Calls found(name, value) for each attribute in [begin, end), stopping at a NUL or at the
// first token without an "=" outside quotation marks.
template <typename Found>
void scan_attributes(const char* begin, const char* end, Found&& found) {
  for (attribute_token token = next_attribute(begin, end); token.found;
       token = next_attribute(token.end, end)) {
    found(token.name, token.value);
  }
}

// The attribute area of the first occurrence of word in text: from just after the word to
// the first "/" or ">" (or the end of the text). False when text does not contain word.
bool find_attribute_area(const char* text, const char* word, const char*& begin, const char*& end);

}  // namespace sigbus
