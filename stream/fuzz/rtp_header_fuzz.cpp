// Arbitrary datagrams through the RTP header reader: an accepted header's payload must lie
// within the datagram, behind the fixed header and its CSRCs.
#include <cstddef>
#include <cstdint>

#include "stream/rtp_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> datagram(data, size);
  auto fixed = ParseRtpFixedHeader(datagram);
  auto h = ParseRtpHeader(datagram);
  if (!h) return 0;
  if (!fixed || fixed->sequence != h->sequence || fixed->timestamp != h->timestamp)
    __builtin_trap();
  size_t least = kRtpHeaderBytes + size_t{h->csrcCount} * kRtpCsrcBytes;
  if (h->payloadOffset < least || h->payloadOffset > size ||
      h->payloadLength > size - h->payloadOffset)
    __builtin_trap();
  auto payload = h->Payload(datagram);
  volatile uint8_t sum = 0;
  for (uint8_t b : payload) sum = sum + b;
  return 0;
}
