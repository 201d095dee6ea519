#include "stream/rtsp_standard.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t length = std::strlen(prefix);
  if (text.size() < length) return false;
  for (size_t i = 0; i < length; ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

std::string Trimmed(const std::string& text) {
  size_t from = text.find_first_not_of(" \t");
  if (from == std::string::npos) return "";
  size_t to = text.find_last_not_of(" \t\r");
  return text.substr(from, to - from + 1);
}

std::optional<std::string> HeaderValue(const char* text, const char* name) {
  const char* line = text;
  while (*line) {
    size_t length = std::strcspn(line, "\r\n");
    std::string current(line, length);
    if (StartsWithNoCase(current, name)) {
      std::string value = Trimmed(current.substr(std::strlen(name)));
      if (!value.empty()) return value;
    }
    line += length;
    while (*line == '\r' || *line == '\n') ++line;
  }
  return std::nullopt;
}

}  // namespace

bool IsStandardRefusal(unsigned status) {
  return status == 404 || status == 454 || status == 455 || status == 459;
}

std::string ResolveControlUrl(const std::string& base, const std::string& control) {
  if (StartsWithNoCase(control, "rtsp://") || StartsWithNoCase(control, "rtsps://")) return control;
  if (control.empty() || control == "*") return base;
  if (!base.empty() && base.back() == '/') return base + control;
  return base + "/" + control;
}

int SessionTimeoutSeconds(const std::string& token) {
  constexpr int kDefaultSeconds = 60;
  size_t at = token.find(";timeout=");
  if (at == std::string::npos) return kDefaultSeconds;
  long seconds = std::strtol(token.c_str() + at + 9, nullptr, 10);
  if (seconds < 2) return 2;
  return seconds > 86400 ? 86400 : static_cast<int>(seconds);
}

std::string BareSessionToken(const std::string& token) { return token.substr(0, token.find(';')); }

std::optional<std::string> FindContentBase(const char* text) {
  if (auto base = HeaderValue(text, "Content-Base:")) return base;
  return HeaderValue(text, "Content-Location:");
}
