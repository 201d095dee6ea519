// Pages come from wherever the person browsed to: any text must parse or be refused cleanly.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "tools/orvix/page_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string html(reinterpret_cast<const char*>(data), size);
  try {
    for (const auto& [name, value] : orvix::ParsePageParams(html)) {
      if (name.empty()) __builtin_trap();  // nameless params are skipped
      (void)value;
    }
  } catch (const std::invalid_argument&) {
  }
  return 0;
}
