// Record queries and descriptors as a client might send them, read and looked up the way the
// recorder does.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>

#include "tools/dvrsim/catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const dvrsim::Catalogue catalogue(8, 24, std::time_t{1765281600});
  std::span<const uint8_t> bytes(data, size);
  if (auto q = dvrsim::ParseRecordQuery(bytes)) {
    for (const dvrsim::Recording* r : catalogue.Search(*q)) dvrsim::EncodeRecordEntry(*r, 1);
  }
  if (auto d = dvrsim::ParseRecordDescriptor(bytes)) catalogue.Find(*d);
  return 0;
}
