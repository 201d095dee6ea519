#include "tools/dvrsim/recording_target.h"

#include <cctype>
#include <cstdlib>
#include <vector>

namespace dvrsim {
namespace {

constexpr size_t kMaxDigits = 10;

// The path of an absolute URL ("rtsp://host[:port]/path") or of a path alone.
std::string PathOf(const std::string& url) {
  if (url.compare(0, 7, "rtsp://") != 0) return url;
  size_t slash = url.find('/', 7);
  return slash == std::string::npos ? "/" : url.substr(slash);
}

// "N_N_N_N_N_N_" into its six numbers; a leading '-' is taken for none but locator D.
std::optional<std::vector<long long>> Fields(const std::string& name) {
  std::vector<long long> out;
  size_t at = 0;
  while (out.size() < 6) {
    size_t end = name.find('_', at);
    if (end == std::string::npos) return std::nullopt;
    std::string field = name.substr(at, end - at);
    size_t digits = field.size() - (field.rfind('-', 0) == 0 ? 1 : 0);
    if (digits == 0 || digits > kMaxDigits) return std::nullopt;
    for (size_t i = field.size() - digits; i < field.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(field[i]))) return std::nullopt;
    }
    out.push_back(std::strtoll(field.c_str(), nullptr, 10));
    at = end + 1;
  }
  if (at != name.size()) return std::nullopt;
  return out;
}

bool Fits(long long v, long long low, long long high) { return v >= low && v <= high; }

}  // namespace

std::optional<RecordingTarget> ParseRecordingTarget(const std::string& url) {
  std::string path = PathOf(url);
  if (path.empty() || path[0] != '/') return std::nullopt;
  size_t dot = path.find(".avi");
  if (dot == std::string::npos) return std::nullopt;
  RecordingTarget target;
  std::string rest = path.substr(dot + 4);
  if (!rest.empty()) {
    if (rest[0] != '/') return std::nullopt;
    target.control = rest.substr(1);
  }
  auto f = Fields(path.substr(1, dot - 1));
  if (!f) return std::nullopt;
  const auto& v = *f;
  if (!Fits(v[0], 0, 1) || !Fits(v[1], 0, 255) || !Fits(v[2], -32768, 32767) ||
      !Fits(v[3], 0, 255) || !Fits(v[4], INT32_MIN, INT32_MAX) || !Fits(v[5], 0, INT32_MAX)) {
    return std::nullopt;
  }
  RecordDescriptorFields& r = target.record;
  r.storage = static_cast<int32_t>(v[0]);
  r.a = static_cast<uint8_t>(v[1]);
  r.channel = r.a;
  r.c = static_cast<int16_t>(v[2]);
  r.b = static_cast<uint8_t>(v[3]);
  r.d = static_cast<int32_t>(v[4]);
  r.size = static_cast<int32_t>(v[5]);
  return target;
}

std::optional<double> ParseNptStart(const std::string& range) {
  size_t at = range.find("npt=");
  if (at == std::string::npos) return std::nullopt;
  at += 4;
  size_t end = at;
  bool point = false;
  while (end < range.size() &&
         (std::isdigit(static_cast<unsigned char>(range[end])) || (!point && range[end] == '.'))) {
    point = point || range[end] == '.';
    ++end;
  }
  if (end == at || end - at > 16 || end >= range.size() || range[end] != '-') return std::nullopt;
  return std::strtod(range.substr(at, end - at).c_str(), nullptr);
}

}  // namespace dvrsim
