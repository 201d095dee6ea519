#pragma once
// Snapshot files: 24-bit BMP, bottom-up, no palette, a 14-byte file header and a 40-byte
// BITMAPINFOHEADER. Rows are padded to four bytes as the format requires, and the header's
// sizes count the padding, so every reader sees the picture as written.

#include <cstddef>
#include <cstdint>

namespace bmp {

constexpr size_t kHeaderBytes = 54;

// Bytes of one stored row of a picture `width` pixels wide.
size_t RowStride(int width);

// Writes `rows`: height rows of width x 3 BGR bytes, the bottom row first. Returns false when
// the file cannot be created or written (nothing useful is left then).
bool Write(const char* path, const uint8_t* rows, int width, int height);

}  // namespace bmp
