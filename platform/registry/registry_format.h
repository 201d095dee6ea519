#pragma once
// The file form of one hive. Text, one record a line, so that a person can read it:
//
//   orvix-registry 1
//   V <name> <type> <data>      a value of the hive's root key
//   K <path>                    a key; its parent's K line came earlier
//   V <name> <type> <data>      a value of the key above
//   END <count>                 the number of K and V lines, and the file's last line
//
// <path> is the key's components joined by "\"; <name> is the value name, "@" for the
// default (unnamed) value. Both are percent-escaped: every byte below 0x21, above 0x7e, "%"
// and "@" becomes %XX. <type> is decimal; <data> is the bytes in lower-case hex, "-" when
// empty. The END line catches a file cut short by anything other than this layer (which only
// ever renames a finished file into place).

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/registry_tree.h"

namespace platform::registry {

constexpr std::string_view kFormatHeader = "orvix-registry 1";

std::string SerializeHive(const Key& root);
// The tree, or nullopt when the text is not a whole, well-formed hive: unknown header or
// record, a key whose parent was not declared, a key or value given twice, bad escapes or
// hex, a missing or wrong END line, anything after it.
std::optional<Key> ParseHive(std::string_view text);

}  // namespace platform::registry
