#include "control/npapi/script_args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace control::npapi {
namespace {

std::optional<int32_t> DecimalText(const NPString& s) {
  std::string text(s.UTF8Characters != nullptr ? s.UTF8Characters : "", s.UTF8Length);
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0' || errno == ERANGE) return std::nullopt;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace

std::string ArgumentText(const NPString& s) {
  std::string text(s.UTF8Characters != nullptr ? s.UTF8Characters : "", s.UTF8Length);
  const size_t last = text.rfind('=');
  if (last != std::string::npos && text.find('=', 1) != std::string::npos) text.resize(last);
  return text;
}

std::optional<int32_t> ArgumentInteger(const NPVariant& arg) {
  if (arg.type == NPVariantType_Int32) return arg.value.intValue;
  if (arg.type == NPVariantType_String) return DecimalText(arg.value.stringValue);
  return std::nullopt;
}

std::optional<int32_t> ArgumentNumber(const NPVariant& arg) {
  if (arg.type != NPVariantType_Double) return ArgumentInteger(arg);
  const double d = arg.value.doubleValue;
  // A number no int holds (NaN, infinities, huge values) is no count at all.
  if (!(std::fabs(d) < 2147483648.0)) return std::nullopt;
  return static_cast<int32_t>(d);
}

}  // namespace control::npapi
