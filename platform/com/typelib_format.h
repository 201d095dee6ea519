#pragma once
// The compact form of a type library, as a module's TYPELIB resource holds it. Text, one
// entry a line, so that it is written by hand beside the module's resource source:
//
//   orvix-typelib 1
//   library <name> <guid> <major>.<minor> [help=<file>] [doc=<text>]
//   dispinterface <name> <guid> [doc=<text>]
//   coclass <name> <guid> [doc=<text>] [default=<interface>] [source=<interface>]
//
// Names are identifiers; <guid> is "{...}" as the registry writes it; texts are
// percent-escaped (%20 for a blank, %25 for "%"). A coclass names interfaces declared above
// it. Lines end with "\n"; a line starting with "#" is a comment.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/objbase.h"

namespace platform::com {

struct TypeEntry {
  int kind = 0;  // TKIND_DISPATCH or TKIND_COCLASS
  std::string name;
  GUID guid{};
  std::string doc;
  int default_interface = -1;  // coclass: index of the entry, -1 for none
  int source_interface = -1;
};

struct TypeLibrary {
  std::string name;
  GUID guid{};
  int major = 0;
  int minor = 0;
  std::string help_file;
  std::string doc;
  std::vector<TypeEntry> entries;
};

// Nullopt for anything but a whole, well-formed library: unknown line or key, malformed
// name, GUID, version or escape, a GUID or name given twice, a coclass naming an interface
// not declared before it, no library line or a second one.
std::optional<TypeLibrary> ParseTypeLibrary(std::string_view text);

}  // namespace platform::com
