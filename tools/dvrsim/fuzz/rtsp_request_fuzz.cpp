// Request blocks as a client might send them, parsed the way the server reads them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/dvrsim/recording_target.h"
#include "tools/dvrsim/rtsp_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t end = text.find("\r\n\r\n");
  auto request = dvrsim::ParseRtspRequest(text.substr(0, end == std::string::npos ? end : end + 4));
  if (request) {
    dvrsim::ParseRtspTarget(request->url);
    dvrsim::ParseTransport(request->Header("transport"));
    dvrsim::ParseRecordingTarget(request->url);
    dvrsim::ParseNptStart(request->Header("range"));
  }
  dvrsim::ParseRecordingTarget(text);
  dvrsim::ParseNptStart(text);
  dvrsim::ParseRtspTarget(text);
  dvrsim::ParseTransport(text);
  return 0;
}
