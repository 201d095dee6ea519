// Feeds arbitrary bytes to the receive side: append, extract every frame, parse each one.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "signaling/frame_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sigbus::frame_assembler assembler;
  auto frame = std::make_unique<sigbus::wire_frame>();
  // Split the input in two reads so that frames crossing a read boundary are exercised.
  std::size_t half = size / 2;
  const std::uint8_t* parts[2] = {data, data + half};
  std::size_t sizes[2] = {half, size - half};
  for (int i = 0; i < 2; ++i) {
    sigbus::append_received(assembler, parts[i], sizes[i]);
    // Keep extracting while bytes are consumed, also past frames dropped as corrupt.
    std::size_t before;
    do {
      before = assembler.fill;
      if (!sigbus::extract_frame(assembler, *frame)) continue;
      auto msg = sigbus::parse_frame(*frame);
      if (msg) {
        std::string document;
        sigbus::write_document(*msg, document);
      }
    } while (assembler.fill != 0 && assembler.fill != before);
  }
  // Random bytes rarely pass the checksum: also read the input as a frame's document.
  std::size_t copied = size < sigbus::kDocumentCapacity ? size : sigbus::kDocumentCapacity;
  std::memset(frame->frame, 0, sizeof frame->frame);
  if (copied != 0) std::memcpy(frame->frame + sigbus::kFrameHeaderSize, data, copied);
  frame->frame_length = static_cast<int>(sigbus::kFrameHeaderSize + copied);
  frame->valid = true;
  auto msg = sigbus::parse_frame(*frame);
  if (msg) {
    std::string document;
    sigbus::write_document(*msg, document);
  }
  return 0;
}
