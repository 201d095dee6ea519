#include "stream/interleaved.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace {

// The Content-Length of a message header, 0 when absent or malformed.
size_t BodyLength(const std::string& header) {
  size_t at = 0;
  while ((at = header.find('\n', at)) != std::string::npos) {
    ++at;
    static constexpr char kName[] = "content-length:";
    size_t i = 0;
    while (kName[i] && at + i < header.size() &&
           std::tolower(static_cast<unsigned char>(header[at + i])) == kName[i])
      ++i;
    if (kName[i]) continue;
    unsigned long length = 0;
    if (std::sscanf(header.c_str() + at + i, " %lu", &length) == 1) return length;
  }
  return 0;
}

InterleavedStep Message(const uint8_t* data, size_t size, size_t maxMessage) {
  InterleavedStep step;
  std::string text(reinterpret_cast<const char*>(data), size < maxMessage ? size : maxMessage);
  size_t end = text.find("\r\n\r\n");
  if (end == std::string::npos) {
    if (size >= maxMessage) {
      step.kind = InterleavedStep::Kind::kSkip;
      step.consumed = maxMessage;
    }
    return step;
  }
  size_t whole = end + 4 + BodyLength(text.substr(0, end + 2));
  if (whole > maxMessage) {
    step.kind = InterleavedStep::Kind::kSkip;
    step.consumed = end + 4;
    return step;
  }
  if (whole > size) return step;
  step.kind = InterleavedStep::Kind::kMessage;
  step.consumed = whole;
  return step;
}

}  // namespace

InterleavedStep ParseInterleaved(const uint8_t* data, size_t size, size_t maxMessage) {
  InterleavedStep step;
  if (size == 0) return step;
  if (data[0] == kInterleavedMagic) {
    if (size < kInterleavedHeaderBytes) return step;
    size_t length = static_cast<size_t>(data[2]) << 8 | data[3];
    if (size < kInterleavedHeaderBytes + length) return step;
    step.kind = InterleavedStep::Kind::kFrame;
    step.channel = data[1];
    step.payloadLength = length;
    step.consumed = kInterleavedHeaderBytes + length;
    return step;
  }
  if (std::isupper(data[0])) return Message(data, size, maxMessage < 4 ? 4 : maxMessage);
  // Up to the next byte that may start a frame or a message.
  size_t next = 1;
  while (next < size && data[next] != kInterleavedMagic && !std::isupper(data[next])) ++next;
  step.kind = InterleavedStep::Kind::kSkip;
  step.consumed = next;
  return step;
}

std::vector<uint8_t> BuildInterleaved(uint8_t channel, const uint8_t* payload, size_t size) {
  std::vector<uint8_t> frame = {kInterleavedMagic, channel, static_cast<uint8_t>(size >> 8),
                                static_cast<uint8_t>(size)};
  frame.insert(frame.end(), payload, payload + size);
  return frame;
}
