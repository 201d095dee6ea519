#pragma once
// The library's bitmaps, kept as BMP files under videolib/res/ and built into the library, so
// that they travel with it as a module's resources do.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/gdi/gdi.h"

namespace videolib {

// The BMP file of resource `id`; empty when the library has none of that number.
std::span<const uint8_t> ResourceBitmapFile(int id);
// A new DIB section holding resource `id`; null when there is none or it cannot be read.
// The caller deletes it with DeleteObject.
HBITMAP LoadResourceBitmap(int id);

}  // namespace videolib
