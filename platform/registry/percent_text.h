#pragma once
// Text kept in our line-based files (the registry's hives, type libraries): a byte that would
// break a line into words is written as "%" and two hex digits.

#include <optional>
#include <string>
#include <string_view>

namespace platform::registry {

// `text` with every byte outside '!'..'~', every '%' and every byte of `alsoEscaped` as %XX.
std::string PercentEscape(std::string_view text, std::string_view alsoEscaped = "");
// 0-15 for a hex digit of either case, -1 for any other character.
int HexDigitValue(char c);
// The bytes of an escaped text; nullopt when a '%' is not followed by two hex digits.
std::optional<std::string> PercentUnescape(std::string_view text);

}  // namespace platform::registry
