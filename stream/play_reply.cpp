#include "stream/play_reply.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool StartsWithNoCase(const char* text, const char* name, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(name[i])))
      return false;
  }
  return true;
}

// The value of header `name` (case-insensitive, at a line start) up to its line's end.
std::optional<std::string> HeaderValue(const char* text, const char* name) {
  const size_t length = std::strlen(name);
  for (const char* line = text; *line != '\0';) {
    if (StartsWithNoCase(line, name, length) && line[length] == ':') {
      const char* at = line + length + 1;
      while (*at == ' ' || *at == '\t') ++at;
      return std::string(at, std::strcspn(at, "\r\n"));
    }
    const char* next = std::strpbrk(line, "\r\n");
    if (next == nullptr) break;
    line = next + 1;
  }
  return std::nullopt;
}

// A number that starts at `at` and takes digits only (and one point when `fraction`).
std::optional<double> Number(const std::string& s, size_t at, bool fraction) {
  size_t end = at;
  bool point = false;
  while (end < s.size() && (std::isdigit(static_cast<unsigned char>(s[end])) ||
                            (fraction && !point && s[end] == '.'))) {
    point = point || s[end] == '.';
    ++end;
  }
  if (end == at || (end - at > 12)) return std::nullopt;
  return std::strtod(s.substr(at, end - at).c_str(), nullptr);
}

std::optional<double> Parameter(const std::string& entry, const char* name) {
  const std::string key = std::string(name) + "=";
  for (size_t at = 0; (at = entry.find(key, at)) != std::string::npos; at += key.size()) {
    if (at == 0 || entry[at - 1] == ';' || entry[at - 1] == ' ') {
      return Number(entry, at + key.size(), false);
    }
  }
  return std::nullopt;
}

}  // namespace

PlayStart ParsePlayStart(const char* text) {
  PlayStart start;
  if (auto range = HeaderValue(text, "Range"); range && range->rfind("npt=", 0) == 0) {
    start.npt = Number(*range, 4, true);
  }
  if (auto info = HeaderValue(text, "RTP-Info")) {
    const std::string first = info->substr(0, info->find(','));
    if (auto seq = Parameter(first, "seq"); seq && *seq <= 65535) {
      start.seq = static_cast<uint16_t>(*seq);
    }
    if (auto time = Parameter(first, "rtptime"); time && *time <= 4294967295.0) {
      start.rtptime = static_cast<uint32_t>(*time);
    }
  }
  return start;
}
