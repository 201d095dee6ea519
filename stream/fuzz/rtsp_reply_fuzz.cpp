// Reply headers as they arrive from a DVR: fed byte by byte into a small header buffer (so
// full buffers are common), then every header parser runs on the collected text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "stream/play_reply.h"
#include "stream/rtcp_bye.h"
#include "stream/rtsp_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ReplyHeader header(1 + data[0] * 4);
  for (size_t i = 1; i < size; ++i)
    if (header.Push(static_cast<char>(data[i])) != ReplyHeader::Step::kMore) break;
  const char* text = header.Text();
  if (header.Count() < 0 || text[header.Count()] != '\0') __builtin_trap();
  ParseStatusCode(text);
  FindContentLength(text);
  FindSessionToken(text);
  int rtp = 0, rtcp = 0;
  FindServerPorts(text, &rtp, &rtcp);
  ParsePlayStart(text);
  // The same bytes as a datagram on an RTCP socket.
  RtcpByeFor({data + 1, size - 1}, 0x11223344);
  return 0;
}
