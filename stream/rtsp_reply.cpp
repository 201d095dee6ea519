#include "stream/rtsp_reply.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Calls `visit` with each header line (without its line break) until it returns true.
template <typename Visit>
bool EachLine(const char* text, Visit visit) {
  std::string line;
  for (const char* p = text;; ++p) {
    if (*p == '\r' || *p == '\n' || *p == '\0') {
      if (visit(line)) return true;
      line.clear();
      if (*p == '\0') return false;
      if (*p == '\r' && p[1] == '\n') ++p;
    } else {
      line += *p;
    }
  }
}

}  // namespace

ReplyHeader::ReplyHeader(int size) : buffer_(size > 1 ? size : 2, '\0') {}

ReplyHeader::Step ReplyHeader::Push(char byte) {
  if (used_ >= static_cast<int>(buffer_.size()) - 1) return Step::kFull;
  buffer_[used_++] = byte;
  buffer_[used_] = '\0';
  if (used_ >= 4 && std::memcmp(&buffer_[used_ - 4], "\r\n\r\n", 4) == 0) return Step::kComplete;
  return used_ >= static_cast<int>(buffer_.size()) - 1 ? Step::kFull : Step::kMore;
}

const char* ReplyHeader::Text() const {
  const char* start = static_cast<const char*>(std::memchr(buffer_.data(), 'R', used_));
  return start ? start : buffer_.data() + used_;
}

int ReplyHeader::Count() const { return static_cast<int>(buffer_.data() + used_ - Text()); }

std::optional<unsigned> ParseStatusCode(const char* text) {
  std::string first(text, std::strcspn(text, "\r\n"));
  unsigned code = 0;
  if (std::sscanf(first.c_str(), "%*s%u", &code) != 1) return std::nullopt;
  return code;
}

std::optional<int> FindContentLength(const char* text) {
  std::optional<int> length;
  EachLine(text, [&](const std::string& line) {
    int value = 0;
    if (std::sscanf(line.c_str(), "Content-Length: %d", &value) == 1 ||
        std::sscanf(line.c_str(), "Content-length: %d", &value) == 1) {
      length = value;
      return true;
    }
    return false;
  });
  return length;
}

std::optional<std::string> FindSessionToken(const char* text) {
  std::optional<std::string> token;
  EachLine(text, [&](const std::string& line) {
    if (line.compare(0, 8, "Session:") != 0) return false;
    size_t from = line.find_first_not_of(" \t", 8);
    if (from == std::string::npos) return false;
    token = line.substr(from, line.find_first_of(" \t", from) - from);
    return true;
  });
  return token;
}

bool FindServerPorts(const char* text, int* rtpPort, int* rtcpPort) {
  const char* at = std::strstr(text, "server_port=");
  if (!at) return false;
  at += 12;
  const char* end = std::strstr(at, "\r\n");
  if (!end) return false;
  std::string value(at, end);
  size_t dash = value.find('-');
  if (dash == std::string::npos) return false;
  *rtpPort = static_cast<int>(std::strtol(value.substr(0, dash).c_str(), nullptr, 10));
  *rtcpPort = static_cast<int>(std::strtol(value.substr(dash + 1).c_str(), nullptr, 10));
  return true;
}
