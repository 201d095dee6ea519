#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dvrsim {

// A planar YUV 4:2:0 picture, each plane tightly packed.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> y, u, v;
};

// Size of one glyph cell in pixels: digits are 5x7 cells, so they stay legible after
// lossy coding at both picture sizes.
int CellSize(int width);

// What the built-in pictures show behind the channel's digits: a still gradient, the gradient
// with a field of changing noise, or a busy, moving scene (scene.h).
enum class Backdrop { kGradient, kNoise, kBusyScene };

// Draws the channel number and the counter of frame `counter` in their box, as every
// test picture shows them.
void DrawChannelMarks(Picture& p, int channel, int counter);

// Draws the test picture of `channel` at frame `counter`: the channel number on the
// first row and the counter on the second, in big white digits on a black box, plus a
// bar that moves with the counter and a per-channel tint. `busy` adds a field of noise
// that changes every frame, so that coded frames reach the sizes of camera pictures.
Picture DrawTestPicture(int width, int height, int channel, int counter, bool busy = false);

// Reads back the digits of a decoded luma plane (stride `stride`). Returns "" for a
// digit position that matches no glyph. `row` 0 is the channel, row 1 the counter.
std::string ReadDigitRow(const uint8_t* luma, int stride, int width, int row);

inline constexpr int kChannelDigits = 2;
inline constexpr int kCounterDigits = 4;

}  // namespace dvrsim
