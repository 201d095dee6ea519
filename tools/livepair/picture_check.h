#pragma once
// Reading back what a live channel shows: luma pictures cut from the desktop or loaded from a
// snapshot file, and the channel number and frame counter the simulator draws into them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/kernel/win_types.h"

namespace livepair {

struct LumaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> y;  // top-down rows, no padding
};

// What the simulator's digit box reads; empty strings where the digits are not legible.
struct PictureReading {
  std::string channel;
  std::string counter;
};

// Studio-range luma of one 0x00RRGGBB pixel, as the renderer's colour conversion inverts it.
uint8_t LumaOf(uint32_t xrgb);

// The part `rect` of an XRGB picture (`stride` in pixels) resampled to width x height, so a
// picture shown scaled can be read at the size it was coded. Empty when rect leaves the picture.
LumaImage CutLuma(const uint32_t* pixels, int stride, int rows, const RECT& rect, int width,
                  int height);

// The luma of a 24-bit uncompressed BMP file; nullopt with *error set on anything else,
// including a file shorter than its header promises.
std::optional<LumaImage> ReadBmpLuma(const std::string& path, std::string* error);

PictureReading ReadPicture(const LumaImage& image);

// Counter `later` as seen after `earlier`, on a counter that wraps after `loop` frames.
int FramesBetween(int earlier, int later, int loop);

// Mean absolute difference of two luma pictures of one size; a large value when sizes differ.
double MeanDifference(const LumaImage& a, const LumaImage& b);

// The simulator's own picture of `channel` at `counter`, as the reference for what a channel
// should show.
LumaImage ReferencePicture(int width, int height, int channel, int counter);

}  // namespace livepair
