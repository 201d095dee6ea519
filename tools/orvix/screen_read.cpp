// orvix_screen_read: reads back, from screenshots of the viewer's grid on the default desktop,
// the channel number and frame counter that the simulator draws into each channel's picture.
// The soak run counts the frames shown and the time channels take to come back with it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "control/grid.h"
#include "platform/display/png_image.h"
#include "tools/dvrsim/picture.h"

namespace {

constexpr int kTitle = 20;  // the title strip above each channel's picture
constexpr int kDesktopWidth = 874;
constexpr int kDesktopHeight = 576;

int Luma(uint32_t p) { return ((p >> 16 & 255) * 77 + (p >> 8 & 255) * 150 + (p & 255) * 29) >> 8; }

// The digit row of the test picture shown in `cell`. The picture is scaled to the window, so
// the dark box that holds the digits (from 8, 8 to 208, 160 in the simulator's 352 x 288) is
// found first, and the picture is read back through it.
std::string ReadCell(const platform::display::XrgbImage& image, RECT cell, int row) {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  for (int y = cell.top + kTitle + 4; y < cell.bottom - 8; ++y) {
    for (int x = cell.left + 8; x < cell.right - 8; ++x) {
      if (Luma(image.pixels[static_cast<size_t>(y) * image.width + x]) >= 35) continue;
      x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
  }
  if (x1 <= x0 || y1 <= y0) return "";
  std::vector<uint8_t> luma(352 * 288);
  for (int y = 0; y < 288; ++y) {
    for (int x = 0; x < 352; ++x) {
      int sx = std::clamp(x0 + (x - 8) * (x1 - x0 + 1) / 200, 0, image.width - 1);
      int sy = std::clamp(y0 + (y - 8) * (y1 - y0 + 1) / 152, 0, image.height - 1);
      luma[y * 352 + x] = static_cast<uint8_t>(Luma(image.pixels[sy * image.width + sx]));
    }
  }
  return dvrsim::ReadDigitRow(luma.data(), 352, 352, row);
}

bool Legible(const std::string& digits, size_t size) {
  return digits.size() == size && digits.find_first_not_of("0123456789") == std::string::npos;
}

void Usage(FILE* to) {
  std::fprintf(to,
               "Usage: orvix_screen_read CHANNELS PNG...\n"
               "Reads the grid of CHANNELS (1-8) channels in screenshots of orvix on its default\n"
               "%dx%d desktop, each channel showing a dvrsim test picture. Prints one line per\n"
               "file: the file, then for each cell the frame counter it shows, or '-' where the\n"
               "picture is not legible or shows another channel.\n",
               kDesktopWidth, kDesktopHeight);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    Usage(stdout);
    return 0;
  }
  if (argc < 3) {
    Usage(stderr);
    return 2;
  }
  char* end = nullptr;
  long channels = std::strtol(argv[1], &end, 10);
  if (*end != '\0' || channels < 1 || channels > 8) {
    std::fprintf(stderr, "orvix_screen_read: CHANNELS must be 1-8, not \"%s\"\n", argv[1]);
    return 2;
  }
  const RECT client{0, 0, kDesktopWidth, kDesktopHeight};
  const int n = grid::Columns(static_cast<int>(channels));
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    std::string error;
    auto image = platform::display::ReadPng(argv[i], &error);
    if (!image) {
      std::fprintf(stderr, "orvix_screen_read: %s: %s\n", argv[i], error.c_str());
      status = 1;
      continue;
    }
    if (image->width != kDesktopWidth || image->height != kDesktopHeight) {
      std::fprintf(stderr, "orvix_screen_read: %s: %dx%d, not the default %dx%d desktop\n", argv[i],
                   image->width, image->height, kDesktopWidth, kDesktopHeight);
      status = 1;
      continue;
    }
    std::string line = argv[i];
    for (int c = 0; c < channels; ++c) {
      RECT cell = grid::Cell(client, n, c);
      std::string channel = ReadCell(*image, cell, 0);
      std::string counter = ReadCell(*image, cell, 1);
      bool ok = Legible(channel, dvrsim::kChannelDigits) && std::atoi(channel.c_str()) == c + 1 &&
                Legible(counter, dvrsim::kCounterDigits);
      line += " " + (ok ? std::to_string(std::atoi(counter.c_str())) : std::string("-"));
    }
    std::printf("%s\n", line.c_str());
  }
  return status;
}
