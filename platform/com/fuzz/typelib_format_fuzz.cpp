// A type library is read from whatever module or file a registration names: any bytes must
// parse or be refused, and what parses must hold together.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/com/typelib_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<platform::com::TypeLibrary> lib = platform::com::ParseTypeLibrary(text);
  if (!lib) return 0;
  const int count = static_cast<int>(lib->entries.size());
  for (const platform::com::TypeEntry& e : lib->entries) {
    if (e.name.empty() || e.default_interface >= count || e.source_interface >= count) {
      __builtin_trap();
    }
  }
  return 0;
}
