#include "stream/rtsp_url.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int ParseRtspUrl(const char* url, std::string* host, int* port) {
  static constexpr char kPrefix[] = "rtsp://";
  if (!url || std::strncmp(url, kPrefix, sizeof kPrefix - 1) != 0) {
    std::printf("URL is not of the form\n");
    return -1;
  }
  const char* from = url + sizeof kPrefix - 1;
  size_t length = std::strcspn(from, "/:");
  if (length > kUrlHostMax) {
    std::printf("URL is too long\n");
    return -1;
  }
  *host = std::string(from, length);
  *port = kRtspDefaultPort;
  const char* rest = from + length;
  if (*rest != ':') return 0;
  ++rest;
  if (!std::isdigit(static_cast<unsigned char>(*rest))) {
    std::printf("No port number follows :%d\n", 0);
    return -1;
  }
  char* end = nullptr;
  long value = std::strtol(rest, &end, 10);
  if (value < 1 || value > 65535) {
    std::printf("Bad port number\n");
    return -1;
  }
  *port = static_cast<int>(value);
  return 0;
}
