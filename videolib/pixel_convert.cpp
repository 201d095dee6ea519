#include "videolib/pixel_convert.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "videolib/pixel_convert_x86.h"

namespace pixel {
namespace {

std::atomic<int> g_level{-1};

int DetectLevel() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return 3;
  return __builtin_cpu_supports("ssse3") ? 2 : 1;
#else
  return 0;
#endif
}

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// One pixel as BGR24 (kBytes 3) or as an XRGB word with a zero top byte (kBytes 4).
template <int kBytes = 3>
void BgrPixel(int y, int cu, int cv, uint8_t* out) {
  const int yy = 19077 * (y - 16) + 8192;
  out[0] = Clamp((yy + 16525 * cu) >> 14);
  out[1] = Clamp((yy - 3209 * cu - 6660 * cv) >> 14);
  out[2] = Clamp((yy + 13075 * cv) >> 14);
  if constexpr (kBytes == 4) out[3] = 0;
}

// Chroma row used by picture row i: rows 0, 1, 2 use row 0, then every two rows move on.
int ChromaRow(int i) { return i == 0 ? 0 : (i - 1) / 2; }

}  // namespace

int SimdLevel() {
  int level = g_level.load(std::memory_order_relaxed);
  if (level < 0) {
    level = DetectLevel();
    g_level.store(level, std::memory_order_relaxed);
  }
  return level;
}

void SetSimdLevel(int level) { g_level.store(std::min(level, DetectLevel())); }

namespace reference {

void Y41PToYuy2Row(const uint8_t* s, uint8_t* d, int groups) {
  for (int g = 0; g < groups; ++g, s += 12, d += 16) {
    const uint8_t out[16] = {s[1], s[0], s[3], s[2], s[5],  s[0], s[7],  s[2],
                             s[8], s[4], s[9], s[6], s[10], s[4], s[11], s[6]};
    std::memcpy(d, out, 16);
  }
}

void Y41PToYuy2(const uint8_t* src, uint8_t* dst, int w, int h) {
  const int groups = w * 3 / 2 / 12;
  for (int i = 0; i < h; ++i) Y41PToYuy2Row(src + i * (w * 3 / 2), dst + i * w * 2, groups);
}

void Y41PRowToPlanar(const uint8_t* s, uint8_t* y, uint8_t* u, uint8_t* v, int groups) {
  for (int g = 0; g < groups; ++g, s += 12) {
    const uint8_t ys[8] = {s[1], s[3], s[5], s[7], s[8], s[9], s[10], s[11]};
    std::memcpy(y + g * 8, ys, 8);
    if (u == nullptr) continue;
    u[g * 4] = u[g * 4 + 1] = s[0];
    u[g * 4 + 2] = u[g * 4 + 3] = s[4];
    v[g * 4] = v[g * 4 + 1] = s[2];
    v[g * 4 + 2] = v[g * 4 + 3] = s[6];
  }
}

void Y41PToYuv420p(const uint8_t* src, uint8_t* dst, int w, int h) {
  const int groups = w * 3 / 2 / 12;
  const int src_row = w * 3 / 2;
  uint8_t* u = dst + w * h;
  uint8_t* v = u + w * h / 4;
  for (int p = 0; p < h / 2; ++p) {
    const uint8_t* s = src + 2 * p * src_row;
    Y41PRowToPlanar(s, dst + 2 * p * w, u + p * (w / 2), v + p * (w / 2), groups);
    Y41PRowToPlanar(s + src_row, dst + (2 * p + 1) * w, nullptr, nullptr, groups);
  }
}

void Yuv420pToYuy2Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* d, int pairs) {
  for (int j = 0; j < pairs; ++j, d += 4) {
    d[0] = y[2 * j];
    d[1] = u[j];
    d[2] = y[2 * j + 1];
    d[3] = v[j];
  }
}

void Yuv420pToYuy2_ex(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int w,
                      int h) {
  const int cw = w / 2;
  for (int i = 0; i < h; ++i) {
    const int c = ChromaRow(i) * cw;
    Yuv420pToYuy2Row(y + i * w, u + c, v + c, dst + i * w * 2, cw);
  }
}

template <int kBytes>
void Yuy2ToPixelPairs(const uint8_t* s, uint8_t* d, int first, int last, int pairs) {
  for (int k = first; k < last; ++k) {
    const uint8_t* p = s + 4 * k;
    const uint8_t* n = k + 1 < pairs ? p + 4 : p;
    const int u = p[1] - 128, v = p[3] - 128;
    BgrPixel<kBytes>(p[0], 2 * u, 2 * v, d + 2 * kBytes * k);
    BgrPixel<kBytes>(p[2], u + (n[1] - 128), v + (n[3] - 128), d + 2 * kBytes * k + kBytes);
  }
}

void Yuy2ToBgr24(const uint8_t* src, uint8_t* dst, int w, int h) {
  const int pairs = w / 2;
  for (int i = 0; i < h; ++i) {
    Yuy2ToPixelPairs<3>(src + i * w * 2, dst + i * w * 3, 0, pairs, pairs);
  }
}

void Yuy2ToXrgb(const uint8_t* src, uint8_t* dst, int w, int h) {
  const int pairs = w / 2;
  for (int i = 0; i < h; ++i) {
    Yuy2ToPixelPairs<4>(src + i * w * 2, dst + i * w * 4, 0, pairs, pairs);
  }
}

}  // namespace reference

void Y41PToYuy2(const uint8_t* src, uint8_t* dst, int w, int h) {
  if (SimdLevel() < 2) return reference::Y41PToYuy2(src, dst, w, h);
  const int groups = w * 3 / 2 / 12;
  for (int i = 0; i < h; ++i) {
    const uint8_t* s = src + i * (w * 3 / 2);
    uint8_t* d = dst + i * w * 2;
    const int done = x86::Y41PToYuy2Row(s, d, groups);
    reference::Y41PToYuy2Row(s + done * 12, d + done * 16, groups - done);
  }
}

void Y41PToYuv420p(const uint8_t* src, uint8_t* dst, int w, int h) {
  if (SimdLevel() < 2) return reference::Y41PToYuv420p(src, dst, w, h);
  const int groups = w * 3 / 2 / 12;
  const int src_row = w * 3 / 2;
  uint8_t* u = dst + w * h;
  uint8_t* v = u + w * h / 4;
  for (int p = 0; p < h / 2; ++p) {
    const uint8_t* s = src + 2 * p * src_row;
    uint8_t* y0 = dst + 2 * p * w;
    uint8_t* up = u + p * (w / 2);
    uint8_t* vp = v + p * (w / 2);
    int done = x86::Y41PRowToPlanar(s, y0, up, vp, groups);
    reference::Y41PRowToPlanar(s + done * 12, y0 + done * 8, up + done * 4, vp + done * 4,
                               groups - done);
    done = x86::Y41PRowToPlanar(s + src_row, y0 + w, nullptr, nullptr, groups);
    reference::Y41PRowToPlanar(s + src_row + done * 12, y0 + w + done * 8, nullptr, nullptr,
                               groups - done);
  }
}

void Yuv420pToYuy2_ex(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int w,
                      int h) {
  if (SimdLevel() < 1) return reference::Yuv420pToYuy2_ex(y, u, v, dst, w, h);
  const int cw = w / 2;
  for (int i = 0; i < h; ++i) {
    const int c = ChromaRow(i) * cw;
    const uint8_t* yr = y + i * w;
    uint8_t* d = dst + i * w * 2;
    const int done = x86::Yuv420pToYuy2Row(yr, u + c, v + c, d, cw);
    reference::Yuv420pToYuy2Row(yr + 2 * done, u + c + done, v + c + done, d + 4 * done, cw - done);
  }
}

void Yuv420pToYuy2(const uint8_t* src, uint8_t* dst, int w, int h) {
  Yuv420pToYuy2_ex(src, src + w * h, src + w * h * 5 / 4, dst, w, h);
}

void Yuy2ToBgr24(const uint8_t* src, uint8_t* dst, int w, int h) {
  if (SimdLevel() < 2) return reference::Yuy2ToBgr24(src, dst, w, h);
  const int pairs = w / 2;
  for (int i = 0; i < h; ++i) {
    const uint8_t* s = src + i * w * 2;
    uint8_t* d = dst + i * w * 3;
    const int done =
        SimdLevel() >= 3 ? x86::Yuy2ToBgr24RowAvx2(s, d, pairs) : x86::Yuy2ToBgr24Row(s, d, pairs);
    reference::Yuy2ToPixelPairs<3>(s, d, done, pairs, pairs);
  }
}

void Yuy2ToXrgb(const uint8_t* src, uint8_t* dst, int w, int h) {
  if (SimdLevel() < 2) return reference::Yuy2ToXrgb(src, dst, w, h);
  const int pairs = w / 2;
  for (int i = 0; i < h; ++i) {
    const uint8_t* s = src + i * w * 2;
    uint8_t* d = dst + i * w * 4;
    const int done =
        SimdLevel() >= 3 ? x86::Yuy2ToXrgbRowAvx2(s, d, pairs) : x86::Yuy2ToXrgbRow(s, d, pairs);
    reference::Yuy2ToPixelPairs<4>(s, d, done, pairs, pairs);
  }
}

void Yuv420pRowToXrgb(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int w) {
  const int pairs = w / 2;
  int done = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (SimdLevel() >= 3) done = x86::Yuv420pToXrgbRowAvx2(y, u, v, dst, pairs);
#endif
  for (int k = done; k < pairs; ++k) {
    const int n = k + 1 < pairs ? k + 1 : k;
    const int cu = u[k] - 128, cv = v[k] - 128;
    BgrPixel<4>(y[2 * k], 2 * cu, 2 * cv, dst + 8 * k);
    BgrPixel<4>(y[2 * k + 1], cu + (u[n] - 128), cv + (v[n] - 128), dst + 8 * k + 4);
  }
}

void SampleAxis(int src_len, int dst_len, int* out) {
  for (int d = 0; d < dst_len; ++d) {
    out[d] = static_cast<int>((2LL * d + 1) * src_len / (2LL * dst_len));
  }
}

int Yuv420pChromaRow(int i) { return ChromaRow(i); }

namespace {

// The pixels of a sampled row are gathered into luma and chroma terms a block at a time, then
// weighed into BGR as Yuy2ToBgr24Pairs does: the first pixel of a pair takes twice its own
// chroma, the second its own plus the next pair's (the last pair's own again).
constexpr int kBlock = 64;

struct Terms {
  int16_t y[kBlock], cu[kBlock], cv[kBlock];
};

template <int kBytes>
void WeighTerms(const Terms& t, int n, uint8_t* out) {
  int done = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (SimdLevel() >= 2) {
    done = kBytes == 3 ? x86::WeighedToBgr24(t.y, t.cu, t.cv, out, n)
                       : x86::WeighedToXrgb(t.y, t.cu, t.cv, out, n);
  }
#endif
  for (int i = done; i < n; ++i) BgrPixel<kBytes>(t.y[i], t.cu[i], t.cv[i], out + kBytes * i);
}

// The pairs whose chroma pixel x takes: its own and, for the second of a pair, the next.
// Branch-free: the picked columns of a shrink alternate between odd and even irregularly.
inline void ChromaPairs(int x, int pairs, int* a, int* b) {
  *a = x >> 1;
  *b = *a + ((x & 1) & static_cast<int>(*a + 1 < pairs));
}

template <int kBytes>
void Yuy2RowSampled(const uint8_t* row, int w, const int* cols, int n, uint8_t* out) {
  const int pairs = w / 2;
  int start = 0;
  // Halving picks pixels 1, 3, 5, ...: whole blocks of them need no gathering.
  if (SimdLevel() >= 2 && 2 * n == w && n > 0 && cols[0] == 1 && cols[n - 1] == w - 1) {
    start = kBytes == 3 ? x86::HalvedYuy2ToBgr24(row, out, pairs)
                        : x86::HalvedYuy2ToXrgb(row, out, pairs);
  }
  Terms t;
  for (; start < n; start += kBlock) {
    const int m = std::min(kBlock, n - start);
    for (int i = 0; i < m; ++i) {
      const int x = cols[start + i];
      int a, b;
      ChromaPairs(x, pairs, &a, &b);
      t.y[i] = row[2 * x];
      t.cu[i] = static_cast<int16_t>(row[4 * a + 1] + row[4 * b + 1] - 256);
      t.cv[i] = static_cast<int16_t>(row[4 * a + 3] + row[4 * b + 3] - 256);
    }
    WeighTerms<kBytes>(t, m, out + kBytes * start);
  }
}

template <int kBytes>
void Yuv420pRowSampled(const uint8_t* y, const uint8_t* u, const uint8_t* v, int w, const int* cols,
                       int n, uint8_t* out) {
  const int pairs = w / 2;
  int start = 0;
  if (SimdLevel() >= 2 && 2 * n == w && n > 0 && cols[0] == 1 && cols[n - 1] == w - 1) {
    start = kBytes == 3 ? x86::HalvedPlanarToBgr24(y, u, v, out, pairs)
                        : x86::HalvedPlanarToXrgb(y, u, v, out, pairs);
  }
  Terms t;
  for (; start < n; start += kBlock) {
    const int m = std::min(kBlock, n - start);
    int i = 0;
#if defined(__x86_64__) || defined(__i386__)
    if (SimdLevel() >= 3) {
      i = x86::SampledPlanarTermsAvx2(y, u, v, pairs, cols + start, m, t.y, t.cu, t.cv);
    }
#endif
    for (; i < m; ++i) {
      const int x = cols[start + i];
      int a, b;
      ChromaPairs(x, pairs, &a, &b);
      t.y[i] = y[x];
      t.cu[i] = static_cast<int16_t>(u[a] + u[b] - 256);
      t.cv[i] = static_cast<int16_t>(v[a] + v[b] - 256);
    }
    WeighTerms<kBytes>(t, m, out + kBytes * start);
  }
}

}  // namespace

void Yuy2RowToBgr24Sampled(const uint8_t* row, int w, const int* cols, int n, uint8_t* out) {
  Yuy2RowSampled<3>(row, w, cols, n, out);
}

void Yuy2RowToXrgbSampled(const uint8_t* row, int w, const int* cols, int n, uint8_t* out) {
  Yuy2RowSampled<4>(row, w, cols, n, out);
}

void Yuv420pRowToBgr24Sampled(const uint8_t* y, const uint8_t* u, const uint8_t* v, int w,
                              const int* cols, int n, uint8_t* out) {
  Yuv420pRowSampled<3>(y, u, v, w, cols, n, out);
}

void Yuv420pRowToXrgbSampled(const uint8_t* y, const uint8_t* u, const uint8_t* v, int w,
                             const int* cols, int n, uint8_t* out) {
  Yuv420pRowSampled<4>(y, u, v, w, cols, n, out);
}

void PickWords(const uint32_t* line, const int* cols, int valid, uint32_t* out, int n) {
  int done = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (SimdLevel() >= 3) done = x86::PickWordsAvx2(line, cols, valid, out, n);
#endif
  for (int i = done; i < n; ++i) out[i] = line[cols[i]];
}

void FlipRows(const uint8_t* src, uint8_t* dst, int row_bytes, int h) {
  for (int i = 0; i < h; ++i) {
    std::memcpy(dst + static_cast<size_t>(i) * row_bytes,
                src + static_cast<size_t>(h - 1 - i) * row_bytes, row_bytes);
  }
}

}  // namespace pixel
