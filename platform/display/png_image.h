#pragma once
// PNG files of XRGB pictures (written as 8-bit RGB), for screenshots and for tests that read
// them back.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace platform::display {

struct XrgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // top-down rows, 0x00RRGGBB
};

// `stride` in pixels. False (and nothing left half-written under `path`) on any failure.
bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height, int stride,
              std::string* error);
// Any 8-bit PNG (grey, RGB, with or without alpha: alpha is dropped). Empty on failure.
std::optional<XrgbImage> ReadPng(const std::string& path, std::string* error);

}  // namespace platform::display

#pragma GCC visibility pop
