#include "videolib/deinterlace.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline uint8_t Average(unsigned a, unsigned b) { return static_cast<uint8_t>((a + b + 1) >> 1); }

void BlendRowPlain(const uint8_t* above, const uint8_t* row, const uint8_t* below, uint8_t* out,
                   size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = Average(Average(above[i], below[i]), row[i]);
}

void BlendRowVector(const uint8_t* above, const uint8_t* row, const uint8_t* below, uint8_t* out,
                    size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(below + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_avg_epu8(_mm_avg_epu8(a, c), b));
  }
#endif
  BlendRowPlain(above + i, row + i, below + i, out + i, n - i);
}

}  // namespace

int CDinterlace::Setup(int row_bytes, int rows) {
  if (row_bytes <= 0 || rows <= 0 || rows > 2 * kMaxFieldRows) {
    Release();
    return 0;
  }
  row_bytes_ = row_bytes;
  rows_ = rows;
  return 1;
}

void CDinterlace::Release() {
  row_bytes_ = 0;
  rows_ = 0;
}

void CDinterlace::Process(const uint8_t* source, uint8_t* destination, Kernel kernel) const {
  const size_t n = static_cast<size_t>(row_bytes_);
  auto blend = kernel == Kernel::kPlain ? BlendRowPlain : BlendRowVector;
  std::memcpy(destination, source, n);
  for (int y = 1; y < rows_ - 1; ++y) {
    const uint8_t* row = source + static_cast<size_t>(y) * n;
    blend(row - n, row, row + n, destination + static_cast<size_t>(y) * n, n);
  }
  if (rows_ > 1) {
    size_t last = static_cast<size_t>(rows_ - 1) * n;
    std::memcpy(destination + last, source + last, n);
  }
}
