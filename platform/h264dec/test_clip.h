#pragma once
// Test support: H.264 clips made on the spot with libx264, split into Annex B NAL units.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace h264test {

using Nal = std::vector<uint8_t>;  // one NAL unit with its 4-byte start code

struct Clip {
  int width = 0;
  int height = 0;
  std::vector<std::vector<Nal>> frames;  // the NAL units of each access unit, in order
  std::vector<uint32_t> luma_sums;       // per frame, from an independent whole-frame decode
};

// A moving pattern, `count` frames, one IDR every `gop` frames, `slices` slices per picture.
Clip MakeClip(int width, int height, int count, int gop = 25, int slices = 1);

std::vector<Nal> SplitNals(const uint8_t* data, size_t size);

}  // namespace h264test
