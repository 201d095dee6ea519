#include "tools/dvrsim/recording_reader.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace dvrsim {
namespace {

constexpr size_t kChunkHeader = 8;

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool Is(const uint8_t* p, const char* fourcc) { return std::memcmp(p, fourcc, 4) == 0; }

CodedFrame FrameOf(const uint8_t* sample, size_t size) {
  CodedFrame frame;
  frame.nals = SplitAnnexB(sample, size);
  for (const auto& nal : frame.nals) {
    if (!nal.empty() && (nal[0] & 0x1F) == 5) frame.key = true;
  }
  return frame;
}

// The chunks of [begin, end): video samples into `frames`, lists walked into.
void Walk(const uint8_t* begin, const uint8_t* end, std::vector<CodedFrame>* frames) {
  for (const uint8_t* at = begin; end - at >= static_cast<ptrdiff_t>(kChunkHeader);) {
    const uint32_t size = Le32(at + 4);
    const uint8_t* body = at + kChunkHeader;
    if (size > static_cast<size_t>(end - body)) return;
    if (Is(at, "LIST") && size >= 4) {
      Walk(body + 4, body + size, frames);
    } else if (at[2] == 'd' && (at[3] == 'c' || at[3] == 'b') && size > 0) {
      frames->push_back(FrameOf(body, size));
    }
    at = body + size + (size & 1);
  }
}

}  // namespace

std::optional<std::vector<CodedFrame>> ReadRecordingFrames(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || !Is(bytes.data(), "RIFF") || !Is(bytes.data() + 8, "AVI ")) {
    return std::nullopt;
  }
  std::vector<CodedFrame> frames;
  Walk(bytes.data() + 12, bytes.data() + bytes.size(), &frames);
  if (frames.empty() || !frames.front().key) return std::nullopt;
  return frames;
}

}  // namespace dvrsim
