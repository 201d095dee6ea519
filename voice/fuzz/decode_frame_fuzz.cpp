// Arbitrary frames for every type: the first byte picks the type and whether the frames also go
// through the transcoder; the rest is a sequence of frames, decoded with one carried state.
// Each frame sits in a heap block of exactly the size its header announces, so the sanitizers
// catch any read past it.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "voice/hi_voice.h"

namespace {

constexpr int32_t kTypes[] = {1, 2, 65, 66, 3, 35, 67, 4, 5, 6, 7, 36, 37, 38, 39, 68, 0, 8};

void DecodeOne(void* state, void* transcoder, const uint8_t* data, size_t bytes) {
  std::vector<uint8_t> frame(data, data + bytes);
  std::vector<int16_t> samples(HI_VOICE_MAX_DECODE_SAMPLES);
  int32_t count = -1;
  const int32_t result = HI_VOICE_DecodeFrame(state, frame.data(), samples.data(), &count);
  if (result != 0 && count != 0) __builtin_trap();
  if (count < 0 || count > HI_VOICE_MAX_DECODE_SAMPLES) __builtin_trap();
  if (transcoder != nullptr) {
    frame.resize(std::max<size_t>(bytes, HI_VOICE_MAX_FRAME_BYTES));
    HI_VOICE_TransCodeFrame(transcoder, frame.data());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int32_t type = kTypes[(data[0] & 0x7F) % (sizeof kTypes / sizeof kTypes[0])];
  const bool transcode = data[0] & 0x80;
  ++data;
  --size;
  std::vector<uint8_t> state(HI_VOICE_STATE_BYTES);
  std::vector<uint8_t> transcoder(HI_VOICE_TRANSCODER_BYTES);
  HI_VOICE_DecReset(state.data(), type);
  HI_VOICE_TransCodeReset(transcoder.data(), 97 + (type & 3));
  while (size >= 4) {
    const size_t bytes = 4 + 2 * static_cast<size_t>(data[2]);
    if (bytes > size) break;
    DecodeOne(state.data(), transcode ? transcoder.data() : nullptr, data, bytes);
    data += bytes;
    size -= bytes;
  }
  return 0;
}
