#include "control/npapi/browser.h"

#include <algorithm>
#include <cstring>

namespace control::npapi {
namespace {

NPNetscapeFuncs table{};

}  // namespace

NPNetscapeFuncs& Browser() { return table; }

void KeepBrowser(const NPNetscapeFuncs& given) {
  // A browser with a shorter table leaves the entries it does not have null.
  table = NPNetscapeFuncs{};
  std::memcpy(&table, &given, std::min<size_t>(given.size, sizeof(table)));
}

bool StringResult(const char* text, NPVariant* result) {
  const uint32_t n = static_cast<uint32_t>(std::strlen(text));
  auto* copy = static_cast<char*>(table.memalloc(n + 1));
  if (copy == nullptr) return false;
  std::memcpy(copy, text, n + 1);
  STRINGN_TO_NPVARIANT(copy, n, *result);
  return true;
}

}  // namespace control::npapi
