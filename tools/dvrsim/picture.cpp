#include "tools/dvrsim/picture.h"

#include <algorithm>
#include <array>

namespace dvrsim {
namespace {

// 5x7 glyphs, one string of 7 rows of 5 columns per digit.
constexpr std::array<const char*, 10> kGlyphs = {
    "01110100011001110101110011000101110",  // 0
    "00100011000010000100001000010001110",  // 1
    "01110100010000100010001000100011111",  // 2
    "11111000100010000010000011000101110",  // 3
    "00010001100101010010111110001000010",  // 4
    "11111100001111000001000011000101110",  // 5
    "00110010001000011110100011000101110",  // 6
    "11111000010001000100010000100001000",  // 7
    "01110100011000101110100011000101110",  // 8
    "01110100011000101111000010001001100",  // 9
};

constexpr int kGlyphW = 5;
constexpr int kGlyphH = 7;
constexpr int kBoxLeft = 1;  // in cells
constexpr int kBoxTop = 1;
constexpr int kBoxCols = kCounterDigits * (kGlyphW + 1) + 1;
constexpr int kBoxRows = 2 * (kGlyphH + 2) + 1;

int DigitLeft(int index, int cell) { return (kBoxLeft + 1 + index * (kGlyphW + 1)) * cell; }
int RowTop(int row, int cell) { return (kBoxTop + 1 + row * (kGlyphH + 2)) * cell; }

void FillLuma(Picture& p, int x0, int y0, int w, int h, uint8_t value) {
  int x1 = std::min(p.width, x0 + w), y1 = std::min(p.height, y0 + h);
  for (int y = std::max(0, y0); y < y1; ++y) {
    std::fill(p.y.begin() + y * p.width + std::max(0, x0), p.y.begin() + y * p.width + x1, value);
  }
}

void DrawDigit(Picture& p, int digit, int left, int top, int cell) {
  const char* glyph = kGlyphs[digit];
  for (int r = 0; r < kGlyphH; ++r) {
    for (int c = 0; c < kGlyphW; ++c) {
      if (glyph[r * kGlyphW + c] == '1')
        FillLuma(p, left + c * cell, top + r * cell, cell, cell, 235);
    }
  }
}

void DrawNumber(Picture& p, int value, int digits, int row, int cell) {
  for (int i = digits - 1; i >= 0; --i) {
    DrawDigit(p, value % 10, DigitLeft(i, cell), RowTop(row, cell), cell);
    value /= 10;
  }
}

// Noise in the lower right part of the picture, different in every frame.
void DrawNoise(Picture& p, int left, int top, uint32_t seed) {
  uint32_t state = seed * 2654435761u + 1;
  for (int y = std::max(0, top); y < p.height; ++y) {
    for (int x = std::max(0, left); x < p.width; ++x) {
      state = state * 1664525u + 1013904223u;
      p.y[y * p.width + x] = static_cast<uint8_t>(120 + (state >> 28));
    }
  }
}

}  // namespace

int CellSize(int width) { return std::max(4, width / 44); }

Picture DrawTestPicture(int width, int height, int channel, int counter, bool busy) {
  Picture p;
  p.width = width;
  p.height = height;
  p.y.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      p.y[y * width + x] = static_cast<uint8_t>(60 + (x + y) * 100 / (width + height));
  }
  int cw = width / 2, ch = height / 2;
  p.u.assign(static_cast<size_t>(cw) * ch, static_cast<uint8_t>(128 + 12 * ((channel % 4) - 2)));
  p.v.assign(static_cast<size_t>(cw) * ch,
             static_cast<uint8_t>(128 + 12 * ((channel / 4 % 4) - 2)));
  int cell = CellSize(width);
  // The moving bar sweeps below the digit box, one step per frame.
  int barTop = (kBoxTop + kBoxRows + 1) * cell;
  int barWidth = 2 * cell;
  int barX = (counter * cell) % std::max(1, width - barWidth);
  FillLuma(p, barX, barTop, barWidth, height - barTop, 220);
  if (busy) DrawNoise(p, width / 2, barTop, channel * 100003u + static_cast<uint32_t>(counter));
  DrawChannelMarks(p, channel, counter);
  return p;
}

void DrawChannelMarks(Picture& p, int channel, int counter) {
  const int cell = CellSize(p.width);
  FillLuma(p, kBoxLeft * cell, kBoxTop * cell, kBoxCols * cell, kBoxRows * cell, 16);
  DrawNumber(p, channel % 100, kChannelDigits, 0, cell);
  DrawNumber(p, counter % 10000, kCounterDigits, 1, cell);
}

std::string ReadDigitRow(const uint8_t* luma, int stride, int width, int row) {
  int cell = CellSize(width);
  int digits = row == 0 ? kChannelDigits : kCounterDigits;
  std::string text;
  for (int i = 0; i < digits; ++i) {
    std::string seen;
    for (int r = 0; r < kGlyphH; ++r) {
      for (int c = 0; c < kGlyphW; ++c) {
        int x = DigitLeft(i, cell) + c * cell + cell / 2;
        int y = RowTop(row, cell) + r * cell + cell / 2;
        seen += luma[y * stride + x] > 128 ? '1' : '0';
      }
    }
    int best = -1, bestDiff = 4;  // tolerate a few cells blurred by coding
    for (int d = 0; d < 10; ++d) {
      int diff = 0;
      for (int k = 0; k < kGlyphW * kGlyphH; ++k) diff += seen[k] != kGlyphs[d][k];
      if (diff < bestDiff) best = d, bestDiff = diff;
    }
    if (best < 0) return "";
    text += static_cast<char>('0' + best);
  }
  return text;
}

}  // namespace dvrsim
