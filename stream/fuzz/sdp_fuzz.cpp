// Session descriptions from a DVR, as NUL-terminated text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "stream/rtsp_open.h"
#include "stream/rtsp_session.h"
#include "stream/sdp.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::freopen("/dev/null", "w", stdout);  // the parser's diagnostic lines
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  SdpDescription sdp;
  if (!ParseSdp(text.c_str(), &sdp)) return 0;
  MediaAttribute attr;
  ApplyMediaParams(&attr, sdp.subsessions);
  if (attr.configLength > static_cast<int>(sizeof attr.configBytes)) __builtin_trap();
  return 0;
}
