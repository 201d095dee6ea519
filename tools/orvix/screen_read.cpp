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
#include "tools/orvix/cell_reader.h"

namespace {

using orvix::kCellTitle;
using orvix::Luma;
using orvix::ReadCell;

constexpr int kDesktopWidth = 874;
constexpr int kDesktopHeight = 576;

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
