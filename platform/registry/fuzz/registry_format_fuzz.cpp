// A hive file is read back on every call and may have been edited by hand or damaged: any
// bytes must parse or be refused, and what parses must survive a write and a read unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/registry/registry_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<platform::registry::Key> tree = platform::registry::ParseHive(text);
  if (!tree) return 0;
  std::optional<platform::registry::Key> again =
      platform::registry::ParseHive(platform::registry::SerializeHive(*tree));
  if (!again || !(*again == *tree)) __builtin_trap();
  return 0;
}
