#include "videolib/pixel_convert_x86.h"

#include <immintrin.h>

#include <cstring>

#define PIXEL_SSSE3 __attribute__((target("ssse3")))
#define PIXEL_AVX2 __attribute__((target("avx2")))

namespace pixel::x86 {
namespace {

inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Four 12-byte Y41P groups from 48 bytes, each in the low 12 bytes of a register.
struct Groups {
  __m128i g[4];
};

PIXEL_SSSE3 inline Groups Split(const uint8_t* s) {
  const __m128i a = Load(s), b = Load(s + 16), c = Load(s + 32);
  return {{a, _mm_alignr_epi8(b, a, 12), _mm_alignr_epi8(c, b, 8), _mm_srli_si128(c, 4)}};
}

}  // namespace

PIXEL_SSSE3 int Y41PToYuy2Row(const uint8_t* src, uint8_t* dst, int groups) {
  const __m128i mask = _mm_setr_epi8(1, 0, 3, 2, 5, 0, 7, 2, 8, 4, 9, 6, 10, 4, 11, 6);
  int g = 0;
  for (; g + 4 <= groups; g += 4, src += 48, dst += 64) {
    const Groups in = Split(src);
    for (int k = 0; k < 4; ++k) Store(dst + 16 * k, _mm_shuffle_epi8(in.g[k], mask));
  }
  return g;
}

PIXEL_SSSE3 int Y41PRowToPlanar(const uint8_t* src, uint8_t* y, uint8_t* u, uint8_t* v,
                                int groups) {
  // Y0..Y7 in bytes 0-7, U0 U0 U4 U4 in 8-11, V0 V0 V4 V4 in 12-15.
  const __m128i mask = _mm_setr_epi8(1, 3, 5, 7, 8, 9, 10, 11, 0, 0, 4, 4, 2, 2, 6, 6);
  int g = 0;
  for (; g + 4 <= groups; g += 4, src += 48, y += 32) {
    const Groups in = Split(src);
    __m128i s[4];
    for (int k = 0; k < 4; ++k) s[k] = _mm_shuffle_epi8(in.g[k], mask);
    Store(y, _mm_unpacklo_epi64(s[0], s[1]));
    Store(y + 16, _mm_unpacklo_epi64(s[2], s[3]));
    if (u == nullptr) continue;
    const __m128i t01 = _mm_unpackhi_epi32(s[0], s[1]);
    const __m128i t23 = _mm_unpackhi_epi32(s[2], s[3]);
    Store(u + g * 4, _mm_unpacklo_epi64(t01, t23));
    Store(v + g * 4, _mm_unpackhi_epi64(t01, t23));
  }
  return g;
}

int Yuv420pToYuy2Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                     int pairs) {
  int j = 0;
  for (; j + 16 <= pairs; j += 16) {
    const __m128i uu = Load(u + j), vv = Load(v + j);
    const __m128i y0 = Load(y + 2 * j), y1 = Load(y + 2 * j + 16);
    const __m128i uv0 = _mm_unpacklo_epi8(uu, vv), uv1 = _mm_unpackhi_epi8(uu, vv);
    uint8_t* d = dst + 4 * j;
    Store(d, _mm_unpacklo_epi8(y0, uv0));
    Store(d + 16, _mm_unpackhi_epi8(y0, uv0));
    Store(d + 32, _mm_unpacklo_epi8(y1, uv1));
    Store(d + 48, _mm_unpackhi_epi8(y1, uv1));
  }
  for (; j + 8 <= pairs; j += 8) {
    const __m128i uv = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + j)),
                                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + j)));
    const __m128i yy = Load(y + 2 * j);
    Store(dst + 4 * j, _mm_unpacklo_epi8(yy, uv));
    Store(dst + 4 * j + 16, _mm_unpackhi_epi8(yy, uv));
  }
  return j;
}

namespace {

// Eight pixels of 16-bit luma and per-pixel chroma offsets to 32-bit B, G, R sums >> 14.
struct Bgr32 {
  __m128i b[2], g[2], r[2];
};

inline Bgr32 Weigh(__m128i y, __m128i cu, __m128i cv) {
  const __m128i ky = _mm_setr_epi16(19077, 8192, 19077, 8192, 19077, 8192, 19077, 8192);
  const __m128i kb = _mm_setr_epi16(16525, 0, 16525, 0, 16525, 0, 16525, 0);
  const __m128i kg = _mm_setr_epi16(-3209, -6660, -3209, -6660, -3209, -6660, -3209, -6660);
  const __m128i kr = _mm_setr_epi16(0, 13075, 0, 13075, 0, 13075, 0, 13075);
  const __m128i one = _mm_set1_epi16(1);
  Bgr32 o;
  const __m128i y16 = _mm_sub_epi16(y, _mm_set1_epi16(16));
  const __m128i yl[2] = {_mm_unpacklo_epi16(y16, one), _mm_unpackhi_epi16(y16, one)};
  const __m128i c[2] = {_mm_unpacklo_epi16(cu, cv), _mm_unpackhi_epi16(cu, cv)};
  for (int h = 0; h < 2; ++h) {
    const __m128i yy = _mm_madd_epi16(yl[h], ky);
    o.b[h] = _mm_srai_epi32(_mm_add_epi32(yy, _mm_madd_epi16(c[h], kb)), 14);
    o.g[h] = _mm_srai_epi32(_mm_add_epi32(yy, _mm_madd_epi16(c[h], kg)), 14);
    o.r[h] = _mm_srai_epi32(_mm_add_epi32(yy, _mm_madd_epi16(c[h], kr)), 14);
  }
  return o;
}

// Eight YUY2 pixels (4 pairs in cur, each pair's successor in next) to 16-bit B, G, R lanes.
inline void Pixels8(__m128i cur, __m128i next, __m128i* b, __m128i* g, __m128i* r) {
  const __m128i lo = _mm_set1_epi16(0xFF), k128 = _mm_set1_epi16(128);
  const __m128i even = _mm_set1_epi32(0xFFFF);
  const __m128i y = _mm_and_si128(cur, lo);
  const __m128i c = _mm_sub_epi16(_mm_srli_epi16(cur, 8), k128);  // U' V' per pair
  const __m128i cn = _mm_sub_epi16(_mm_srli_epi16(next, 8), k128);
  const __m128i ca = _mm_add_epi16(c, c), cb = _mm_add_epi16(c, cn);
  const __m128i cu =
      _mm_or_si128(_mm_and_si128(ca, even), _mm_andnot_si128(even, _mm_slli_si128(cb, 2)));
  const __m128i cv =
      _mm_or_si128(_mm_and_si128(_mm_srli_si128(ca, 2), even), _mm_andnot_si128(even, cb));
  const Bgr32 o = Weigh(y, cu, cv);
  *b = _mm_packs_epi32(o.b[0], o.b[1]);
  *g = _mm_packs_epi32(o.g[0], o.g[1]);
  *r = _mm_packs_epi32(o.r[0], o.r[1]);
}

PIXEL_SSSE3 inline void StoreBgr(uint8_t* d, __m128i b, __m128i g, __m128i r) {
  const __m128i m0b = _mm_setr_epi8(0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5);
  const __m128i m0g = _mm_setr_epi8(-1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1);
  const __m128i m0r = _mm_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1);
  const __m128i m1b = _mm_setr_epi8(-1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1);
  const __m128i m1g = _mm_setr_epi8(5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10);
  const __m128i m1r = _mm_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1);
  const __m128i m2b = _mm_setr_epi8(-1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1);
  const __m128i m2g = _mm_setr_epi8(-1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1);
  const __m128i m2r = _mm_setr_epi8(10, -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15);
  Store(d, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m0b), _mm_shuffle_epi8(g, m0g)),
                        _mm_shuffle_epi8(r, m0r)));
  Store(d + 16, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m1b), _mm_shuffle_epi8(g, m1g)),
                             _mm_shuffle_epi8(r, m1r)));
  Store(d + 32, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m2b), _mm_shuffle_epi8(g, m2g)),
                             _mm_shuffle_epi8(r, m2r)));
}

// The same 16 pixels as XRGB words with a zero top byte.
inline void StoreXrgb(uint8_t* d, __m128i b, __m128i g, __m128i r) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bg_lo = _mm_unpacklo_epi8(b, g), bg_hi = _mm_unpackhi_epi8(b, g);
  const __m128i r_lo = _mm_unpacklo_epi8(r, zero), r_hi = _mm_unpackhi_epi8(r, zero);
  Store(d, _mm_unpacklo_epi16(bg_lo, r_lo));
  Store(d + 16, _mm_unpackhi_epi16(bg_lo, r_lo));
  Store(d + 32, _mm_unpacklo_epi16(bg_hi, r_hi));
  Store(d + 48, _mm_unpackhi_epi16(bg_hi, r_hi));
}

// 16 pixels of B, G, R bytes in the output form of kBytes a pixel (3: BGR24, 4: XRGB).
template <int kBytes>
PIXEL_SSSE3 inline void StorePixels(uint8_t* d, __m128i b, __m128i g, __m128i r) {
  if constexpr (kBytes == 3) {
    StoreBgr(d, b, g, r);
  } else {
    StoreXrgb(d, b, g, r);
  }
}

template <int kBytes>
PIXEL_SSSE3 inline void Bgr8Pairs(const uint8_t* src, uint8_t* dst, __m128i next_hi) {
  __m128i b0, g0, r0, b1, g1, r1;
  Pixels8(Load(src), Load(src + 4), &b0, &g0, &r0);
  Pixels8(Load(src + 16), next_hi, &b1, &g1, &r1);
  StorePixels<kBytes>(dst, _mm_packus_epi16(b0, b1), _mm_packus_epi16(g0, g1),
                      _mm_packus_epi16(r0, r1));
}

// From pair k on, 8 pairs at a time while each pair's successor lies in the row; then the
// row's last 8 pairs, whose last pair is its own successor (those blocks may overlap pairs
// already written; they are written again with the same values).
template <int kBytes>
PIXEL_SSSE3 int Yuy2ToPixelsTail(const uint8_t* src, uint8_t* dst, int k, int pairs) {
  constexpr int kPair = 2 * kBytes;
  // A block of 8 pairs reads 4 bytes past itself: the next pair's chroma.
  for (; k + 9 <= pairs; k += 8) {
    Bgr8Pairs<kBytes>(src + 4 * k, dst + kPair * k, Load(src + 4 * k + 20));
  }
  if (k >= pairs || pairs < 8) return k;
  k = pairs - 8;
  const __m128i hi = Load(src + 4 * k + 16);
  Bgr8Pairs<kBytes>(src + 4 * k, dst + kPair * k, _mm_shuffle_epi32(hi, _MM_SHUFFLE(3, 3, 2, 1)));
  return pairs;
}

}  // namespace

PIXEL_SSSE3 int Yuy2ToBgr24Row(const uint8_t* src, uint8_t* dst, int pairs) {
  return Yuy2ToPixelsTail<3>(src, dst, 0, pairs);
}

PIXEL_SSSE3 int Yuy2ToXrgbRow(const uint8_t* src, uint8_t* dst, int pairs) {
  return Yuy2ToPixelsTail<4>(src, dst, 0, pairs);
}

namespace {

// Sixteen weighed pixels (two blocks of eight) to 48 bytes of BGR24 or 64 of XRGB.
template <int kBytes>
PIXEL_SSSE3 inline void StoreWeighed(uint8_t* dst, const Bgr32& a, const Bgr32& b) {
  auto pack = [](const __m128i(&lanes)[2], const __m128i(&more)[2]) {
    return _mm_packus_epi16(_mm_packs_epi32(lanes[0], lanes[1]), _mm_packs_epi32(more[0], more[1]));
  };
  StorePixels<kBytes>(dst, pack(a.b, b.b), pack(a.g, b.g), pack(a.r, b.r));
}

// Pixels 2i + 1 of eight planar pairs from i on: odd luma, chroma of pair i plus pair i + 1.
inline Bgr32 HalvedPlanar8(const uint8_t* y, const uint8_t* u, const uint8_t* v) {
  const __m128i zero = _mm_setzero_si128(), k256 = _mm_set1_epi16(256);
  auto widen = [&](const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
  };
  const __m128i luma = _mm_srli_epi16(Load(y), 8);
  const __m128i cu = _mm_sub_epi16(_mm_add_epi16(widen(u), widen(u + 1)), k256);
  const __m128i cv = _mm_sub_epi16(_mm_add_epi16(widen(v), widen(v + 1)), k256);
  return Weigh(luma, cu, cv);
}

// The same of eight YUY2 pairs at s: each pair's second luma, its chroma plus the next pair's.
inline Bgr32 HalvedPacked8(const uint8_t* s) {
  const __m128i lo = _mm_set1_epi16(0xFF), k256 = _mm_set1_epi16(256);
  const __m128i a = Load(s), b = Load(s + 16);
  const __m128i luma = _mm_packs_epi32(_mm_srli_epi32(_mm_and_si128(a, lo), 16),
                                       _mm_srli_epi32(_mm_and_si128(b, lo), 16));
  // U in the low and V in the high half of each 32-bit lane, both summed with the next pair's.
  const __m128i sa =
      _mm_sub_epi16(_mm_add_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(Load(s + 4), 8)), k256);
  const __m128i sb =
      _mm_sub_epi16(_mm_add_epi16(_mm_srli_epi16(b, 8), _mm_srli_epi16(Load(s + 20), 8)), k256);
  const __m128i cu = _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(sa, 16), 16),
                                     _mm_srai_epi32(_mm_slli_epi32(sb, 16), 16));
  const __m128i cv = _mm_packs_epi32(_mm_srai_epi32(sa, 16), _mm_srai_epi32(sb, 16));
  return Weigh(luma, cu, cv);
}

template <int kBytes>
PIXEL_SSSE3 int HalvedPlanar(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                             int pairs) {
  int i = 0;
  // A block of 16 reads the chroma of the pair after it, and 32 luma bytes.
  for (; i + 17 <= pairs; i += 16) {
    StoreWeighed<kBytes>(dst + kBytes * i, HalvedPlanar8(y + 2 * i, u + i, v + i),
                         HalvedPlanar8(y + 2 * i + 16, u + i + 8, v + i + 8));
  }
  return i;
}

template <int kBytes>
PIXEL_SSSE3 int HalvedYuy2(const uint8_t* src, uint8_t* dst, int pairs) {
  int i = 0;
  // A block of 16 pairs reads 4 bytes past itself: the next pair's chroma.
  for (; i + 17 <= pairs; i += 16) {
    StoreWeighed<kBytes>(dst + kBytes * i, HalvedPacked8(src + 4 * i),
                         HalvedPacked8(src + 4 * i + 32));
  }
  return i;
}

template <int kBytes>
PIXEL_SSSE3 int Weighed(const int16_t* y, const int16_t* cu, const int16_t* cv, uint8_t* dst,
                        int n) {
  auto load = [](const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    StoreWeighed<kBytes>(dst + kBytes * i, Weigh(load(y + i), load(cu + i), load(cv + i)),
                         Weigh(load(y + i + 8), load(cu + i + 8), load(cv + i + 8)));
  }
  return i;
}

}  // namespace

PIXEL_SSSE3 int HalvedPlanarToBgr24(const uint8_t* y, const uint8_t* u, const uint8_t* v,
                                    uint8_t* dst, int pairs) {
  return HalvedPlanar<3>(y, u, v, dst, pairs);
}

PIXEL_SSSE3 int HalvedPlanarToXrgb(const uint8_t* y, const uint8_t* u, const uint8_t* v,
                                   uint8_t* dst, int pairs) {
  return HalvedPlanar<4>(y, u, v, dst, pairs);
}

PIXEL_SSSE3 int HalvedYuy2ToBgr24(const uint8_t* src, uint8_t* dst, int pairs) {
  return HalvedYuy2<3>(src, dst, pairs);
}

PIXEL_SSSE3 int HalvedYuy2ToXrgb(const uint8_t* src, uint8_t* dst, int pairs) {
  return HalvedYuy2<4>(src, dst, pairs);
}

PIXEL_SSSE3 int WeighedToBgr24(const int16_t* y, const int16_t* cu, const int16_t* cv, uint8_t* dst,
                               int n) {
  return Weighed<3>(y, cu, cv, dst, n);
}

PIXEL_SSSE3 int WeighedToXrgb(const int16_t* y, const int16_t* cu, const int16_t* cv, uint8_t* dst,
                              int n) {
  return Weighed<4>(y, cu, cv, dst, n);
}

namespace {

PIXEL_AVX2 inline __m256i Load32(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Sixteen YUY2 pixels (8 pairs in `cur`, and in `next` the 8 pairs one on, of which only the
// chroma counts) to 16-bit B, G, R lanes in order.
PIXEL_AVX2 inline void PixelsOf(__m256i cur, __m256i next, __m256i* b, __m256i* g, __m256i* r) {
  const __m256i lo = _mm256_set1_epi16(0xFF), k128 = _mm256_set1_epi16(128);
  const __m256i even = _mm256_set1_epi32(0xFFFF), one = _mm256_set1_epi16(1);
  const __m256i y = _mm256_sub_epi16(_mm256_and_si256(cur, lo), _mm256_set1_epi16(16));
  const __m256i c = _mm256_sub_epi16(_mm256_srli_epi16(cur, 8), k128);  // U' V' per pair
  const __m256i cn = _mm256_sub_epi16(_mm256_srli_epi16(next, 8), k128);
  const __m256i ca = _mm256_add_epi16(c, c), cb = _mm256_add_epi16(c, cn);
  const __m256i cu = _mm256_or_si256(_mm256_and_si256(ca, even),
                                     _mm256_andnot_si256(even, _mm256_slli_si256(cb, 2)));
  const __m256i cv = _mm256_or_si256(_mm256_and_si256(_mm256_srli_si256(ca, 2), even),
                                     _mm256_andnot_si256(even, cb));
  const __m256i ky = _mm256_set1_epi32(19077 | (8192 << 16));
  const __m256i kb = _mm256_set1_epi32(16525);
  const __m256i kg = _mm256_set1_epi32(static_cast<int>((-3209 & 0xFFFF) | (-6660 * 65536)));
  const __m256i kr = _mm256_set1_epi32(13075 << 16);
  __m256i o[3][2];
  const __m256i yl[2] = {_mm256_unpacklo_epi16(y, one), _mm256_unpackhi_epi16(y, one)};
  const __m256i cc[2] = {_mm256_unpacklo_epi16(cu, cv), _mm256_unpackhi_epi16(cu, cv)};
  for (int h = 0; h < 2; ++h) {
    const __m256i yy = _mm256_madd_epi16(yl[h], ky);
    o[0][h] = _mm256_srai_epi32(_mm256_add_epi32(yy, _mm256_madd_epi16(cc[h], kb)), 14);
    o[1][h] = _mm256_srai_epi32(_mm256_add_epi32(yy, _mm256_madd_epi16(cc[h], kg)), 14);
    o[2][h] = _mm256_srai_epi32(_mm256_add_epi32(yy, _mm256_madd_epi16(cc[h], kr)), 14);
  }
  *b = _mm256_packs_epi32(o[0][0], o[0][1]);
  *g = _mm256_packs_epi32(o[1][0], o[1][1]);
  *r = _mm256_packs_epi32(o[2][0], o[2][1]);
}

// Sixteen YUY2 pixels at s (8 pairs; their successors at s + 4).
PIXEL_AVX2 inline void Pixels16(const uint8_t* s, __m256i* b, __m256i* g, __m256i* r) {
  PixelsOf(Load32(s), Load32(s + 4), b, g, r);
}

// 16-bit lanes of pixels 0-15 and 16-31 to bytes of pixels 0-31 in order.
PIXEL_AVX2 inline __m256i Bytes32(__m256i a, __m256i b) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), _MM_SHUFFLE(3, 1, 2, 0));
}

PIXEL_AVX2 inline __m256i Lanes(__m128i m) { return _mm256_broadcastsi128_si256(m); }

PIXEL_AVX2 inline void Store32(uint8_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

PIXEL_AVX2 inline __m256i Mix(__m256i b, __m256i g, __m256i r, __m256i mb, __m256i mg, __m256i mr) {
  return _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(b, mb), _mm256_shuffle_epi8(g, mg)),
                         _mm256_shuffle_epi8(r, mr));
}

// 32 pixels of B, G, R bytes to 96 bytes of BGR24.
PIXEL_AVX2 inline void StoreBgr32(uint8_t* d, __m256i b, __m256i g, __m256i r) {
  const __m256i m0b =
      Lanes(_mm_setr_epi8(0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5));
  const __m256i m0g =
      Lanes(_mm_setr_epi8(-1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1));
  const __m256i m0r =
      Lanes(_mm_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1));
  const __m256i m1b =
      Lanes(_mm_setr_epi8(-1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1));
  const __m256i m1g =
      Lanes(_mm_setr_epi8(5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10));
  const __m256i m1r =
      Lanes(_mm_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1));
  const __m256i m2b =
      Lanes(_mm_setr_epi8(-1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1));
  const __m256i m2g =
      Lanes(_mm_setr_epi8(-1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1));
  const __m256i m2r =
      Lanes(_mm_setr_epi8(10, -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15));
  // Each lane holds the three 16-byte thirds of its 16 pixels.
  const __m256i t0 = Mix(b, g, r, m0b, m0g, m0r), t1 = Mix(b, g, r, m1b, m1g, m1r),
                t2 = Mix(b, g, r, m2b, m2g, m2r);
  Store32(d, _mm256_permute2x128_si256(t0, t1, 0x20));
  Store32(d + 32, _mm256_permute2x128_si256(t2, t0, 0x30));
  Store32(d + 64, _mm256_permute2x128_si256(t1, t2, 0x31));
}

// 32 pixels of B, G, R bytes to 128 bytes of XRGB words with a zero top byte.
PIXEL_AVX2 inline void StoreXrgb32(uint8_t* d, __m256i b, __m256i g, __m256i r) {
  const __m256i zero = _mm256_setzero_si256();
  // Unpacking works within each 128-bit lane: q0 holds pixels 0-3 and 16-19, q1 4-7 and
  // 20-23, q2 8-11 and 24-27, q3 12-15 and 28-31.
  const __m256i bg_lo = _mm256_unpacklo_epi8(b, g), bg_hi = _mm256_unpackhi_epi8(b, g);
  const __m256i r_lo = _mm256_unpacklo_epi8(r, zero), r_hi = _mm256_unpackhi_epi8(r, zero);
  const __m256i q0 = _mm256_unpacklo_epi16(bg_lo, r_lo), q1 = _mm256_unpackhi_epi16(bg_lo, r_lo);
  const __m256i q2 = _mm256_unpacklo_epi16(bg_hi, r_hi), q3 = _mm256_unpackhi_epi16(bg_hi, r_hi);
  Store32(d, _mm256_permute2x128_si256(q0, q1, 0x20));
  Store32(d + 32, _mm256_permute2x128_si256(q2, q3, 0x20));
  Store32(d + 64, _mm256_permute2x128_si256(q0, q1, 0x31));
  Store32(d + 96, _mm256_permute2x128_si256(q2, q3, 0x31));
}

template <int kBytes>
PIXEL_AVX2 int Yuy2ToPixelsAvx2(const uint8_t* src, uint8_t* dst, int pairs) {
  int k = 0;
  // A block of 16 pairs reads 4 bytes past itself: the next pair's chroma.
  for (; k + 17 <= pairs; k += 16) {
    __m256i b0, g0, r0, b1, g1, r1;
    Pixels16(src + 4 * k, &b0, &g0, &r0);
    Pixels16(src + 4 * k + 32, &b1, &g1, &r1);
    uint8_t* d = dst + 2 * kBytes * k;
    if constexpr (kBytes == 3) {
      StoreBgr32(d, Bytes32(b0, b1), Bytes32(g0, g1), Bytes32(r0, r1));
    } else {
      StoreXrgb32(d, Bytes32(b0, b1), Bytes32(g0, g1), Bytes32(r0, r1));
    }
  }
  return Yuy2ToPixelsTail<kBytes>(src, dst, k, pairs);
}

}  // namespace

PIXEL_AVX2 int Yuy2ToBgr24RowAvx2(const uint8_t* src, uint8_t* dst, int pairs) {
  return Yuy2ToPixelsAvx2<3>(src, dst, pairs);
}

PIXEL_AVX2 int Yuy2ToXrgbRowAvx2(const uint8_t* src, uint8_t* dst, int pairs) {
  return Yuy2ToPixelsAvx2<4>(src, dst, pairs);
}

namespace {

// The chroma of 16 pairs as 16-bit (U - 128, V - 128) in 32-bit lanes: pairs 0-3 and 8-11 in
// `lo`, 4-7 and 12-15 in `hi`, the order the luma halves below take.
PIXEL_AVX2 inline void ChromaPairs(const uint8_t* u, const uint8_t* v, __m256i* lo, __m256i* hi) {
  const __m128i k128 = _mm_set1_epi8(static_cast<char>(0x80));
  const __m256i cu = _mm256_cvtepi8_epi16(_mm_xor_si128(Load(u), k128));
  const __m256i cv = _mm256_cvtepi8_epi16(_mm_xor_si128(Load(v), k128));
  *lo = _mm256_unpacklo_epi16(cu, cv);
  *hi = _mm256_unpackhi_epi16(cu, cv);
}

// One colour of the pixels of 16 pairs from their luma terms (even and odd pixels of the pairs
// in the lanes ChromaPairs gives) and chroma sums (twice a pair's own for the even pixel, its
// own plus the next pair's for the odd one): 32 bytes, pixels in order.
PIXEL_AVX2 inline __m256i Colour(const __m256i yy[2][2], const __m256i even[2],
                                 const __m256i odd[2], __m256i k) {
  __m256i e[2], o[2];
  for (int h = 0; h < 2; ++h) {
    e[h] = _mm256_srai_epi32(_mm256_add_epi32(yy[0][h], _mm256_madd_epi16(even[h], k)), 14);
    o[h] = _mm256_srai_epi32(_mm256_add_epi32(yy[1][h], _mm256_madd_epi16(odd[h], k)), 14);
  }
  // Per lane: the eight even pixels, then the eight odd ones, as bytes; then interleaved.
  const __m256i bytes =
      _mm256_packus_epi16(_mm256_packs_epi32(e[0], e[1]), _mm256_packs_epi32(o[0], o[1]));
  const __m256i order = Lanes(_mm_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15));
  return _mm256_shuffle_epi8(bytes, order);
}

// Thirty-two pixels of a planar row (16 pairs at y, u and v, and pair 16's chroma) to B, G and
// R bytes in order. The weights are those of PixelsOf; as the chroma terms are linear, the
// sums of chroma are weighed once instead of each pixel's chroma apart.
PIXEL_AVX2 inline void PlanarPixels32(const uint8_t* y, const uint8_t* u, const uint8_t* v,
                                      __m256i* b, __m256i* g, __m256i* r) {
  // Each 16-bit lane holds a pair: the even pixel in its low byte, the odd in its high one;
  // pairs 0-7 in the low 128-bit lane, 8-15 in the high one, as the chroma's.
  const __m256i luma = Load32(y);
  // 19077 * (Y - 16) + 8192 is 19077 * Y + 16 * -18565.
  const __m256i k16 = _mm256_set1_epi16(16), ky = _mm256_set1_epi32(19077 | (-18565 * 65536));
  const __m256i ye = _mm256_and_si256(luma, _mm256_set1_epi16(0xFF));
  const __m256i yo = _mm256_srli_epi16(luma, 8);
  __m256i yy[2][2];
  yy[0][0] = _mm256_madd_epi16(_mm256_unpacklo_epi16(ye, k16), ky);
  yy[0][1] = _mm256_madd_epi16(_mm256_unpackhi_epi16(ye, k16), ky);
  yy[1][0] = _mm256_madd_epi16(_mm256_unpacklo_epi16(yo, k16), ky);
  yy[1][1] = _mm256_madd_epi16(_mm256_unpackhi_epi16(yo, k16), ky);
  __m256i c[2], n[2];
  ChromaPairs(u, v, &c[0], &c[1]);
  ChromaPairs(u + 1, v + 1, &n[0], &n[1]);
  const __m256i even[2] = {_mm256_add_epi16(c[0], c[0]), _mm256_add_epi16(c[1], c[1])};
  const __m256i odd[2] = {_mm256_add_epi16(c[0], n[0]), _mm256_add_epi16(c[1], n[1])};
  *b = Colour(yy, even, odd, _mm256_set1_epi32(16525));
  *g = Colour(yy, even, odd,
              _mm256_set1_epi32(static_cast<int>((-3209 & 0xFFFF) | (-6660 * 65536))));
  *r = Colour(yy, even, odd, _mm256_set1_epi32(13075 << 16));
}

}  // namespace

PIXEL_AVX2 int Yuv420pToXrgbRowAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v,
                                    uint8_t* dst, int pairs) {
  int k = 0;
  // As the YUY2 kernel: a block of 16 pairs also reads the chroma of the pair after it.
  for (; k + 17 <= pairs; k += 16) {
    __m256i b, g, r;
    PlanarPixels32(y + 2 * k, u + k, v + k, &b, &g, &r);
    StoreXrgb32(dst + 8 * k, b, g, r);
  }
  if (k == pairs || pairs < 16) return k;
  // The row's last 16 pairs as one more block, over pixels already made (to the same values):
  // its chroma copied out with the last pair's own chroma as its successor.
  k = pairs - 16;
  alignas(16) uint8_t cu[24], cv[24];
  std::memcpy(cu, u + k, 16);
  std::memcpy(cv, v + k, 16);
  cu[16] = cu[15];
  cv[16] = cv[15];
  __m256i b, g, r;
  PlanarPixels32(y + 2 * k, cu, cv, &b, &g, &r);
  StoreXrgb32(dst + 8 * k, b, g, r);
  return pairs;
}

namespace {

// Per 128-bit lane, the lane's first of its four 32-bit values in all four.
PIXEL_AVX2 inline __m256i LaneStart(__m256i v) {
  return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 0, 0, 0, 4, 4, 4, 4));
}
// The shuffle that takes bytes at four offsets (below 16) of its lane as 16-bit values.
PIXEL_AVX2 inline __m256i WidenMask(__m256i offsets) {
  return _mm256_or_si256(_mm256_packs_epi32(offsets, offsets), _mm256_set1_epi16(-256));
}

// Sixteen bytes at `lo` in the low lane, at `hi` in the high one.
PIXEL_AVX2 inline __m256i Load2x16(const uint8_t* lo, const uint8_t* hi) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(Load(lo)), Load(hi), 1);
}

// Eight 16-bit values, four in the low half of each lane, to d.
PIXEL_AVX2 inline void Store8x16(int16_t* d, __m256i v) {
  const __m256i joined = _mm256_permute4x64_epi64(v, _MM_SHUFFLE(2, 0, 2, 0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(joined));
}

}  // namespace

PIXEL_AVX2 int SampledPlanarTermsAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v,
                                      int pairs, const int* cols, int n, int16_t* ty, int16_t* tu,
                                      int16_t* tv) {
  const __m256i one = _mm256_set1_epi32(1), k256 = _mm256_set1_epi16(256);
  const __m256i last_pair = _mm256_set1_epi32(pairs - 1);
  int i = 0;
  // Eight pixels, as two fours that each lie within 16 bytes of luma and whose loads stay in
  // the rows: each four is one load of each plane and byte shuffles.
  for (; i + 8 <= n; i += 8) {
    const int lo = cols[i], hi = cols[i + 4];
    if (cols[i + 3] - lo > 15 || cols[i + 7] - hi > 15 || hi + 16 > 2 * pairs ||
        (hi >> 1) + 16 > pairs) {
      break;
    }
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + i));
    // Chroma of a pair, and for a pair's second pixel the next pair's too (the last its own).
    const __m256i a = _mm256_srli_epi32(x, 1);
    const __m256i b = _mm256_add_epi32(
        a, _mm256_and_si256(_mm256_and_si256(x, one), _mm256_cmpgt_epi32(last_pair, a)));
    const __m256i chroma_start = LaneStart(a);
    const __m256i take_a = WidenMask(_mm256_sub_epi32(a, chroma_start));
    const __m256i take_b = WidenMask(_mm256_sub_epi32(b, chroma_start));
    const __m256i luma =
        _mm256_shuffle_epi8(Load2x16(y + lo, y + hi), WidenMask(_mm256_sub_epi32(x, LaneStart(x))));
    const __m256i us = Load2x16(u + (lo >> 1), u + (hi >> 1));
    const __m256i vs = Load2x16(v + (lo >> 1), v + (hi >> 1));
    const __m256i cu = _mm256_sub_epi16(
        _mm256_add_epi16(_mm256_shuffle_epi8(us, take_a), _mm256_shuffle_epi8(us, take_b)), k256);
    const __m256i cv = _mm256_sub_epi16(
        _mm256_add_epi16(_mm256_shuffle_epi8(vs, take_a), _mm256_shuffle_epi8(vs, take_b)), k256);
    Store8x16(ty + i, luma);
    Store8x16(tu + i, cu);
    Store8x16(tv + i, cv);
  }
  return i;
}

namespace {

// The words at `rel` (each below 8 x kLoads) from kLoads loads of eight words at p.
template <int kLoads>
PIXEL_AVX2 inline __m256i PermutedWords(const uint32_t* p, __m256i rel) {
  __m256i picked = _mm256_permutevar8x32_epi32(Load32(reinterpret_cast<const uint8_t*>(p)), rel);
  for (int k = 1; k < kLoads; ++k) {
    const __m256i more =
        _mm256_permutevar8x32_epi32(Load32(reinterpret_cast<const uint8_t*>(p + 8 * k)), rel);
    picked =
        _mm256_blendv_epi8(picked, more, _mm256_cmpgt_epi32(rel, _mm256_set1_epi32(8 * k - 1)));
  }
  return picked;
}

}  // namespace

PIXEL_AVX2 int PickWordsAvx2(const uint32_t* line, const int* cols, int valid, uint32_t* out,
                             int n) {
  // Eight columns that lie within 8, 16 or 24 words (enlargements and slight shrinks, shrinks
  // to about a half, to about a third) are picked from one, two or three loads by permutes;
  // wider spreads take a gather.
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + i));
    const int from = cols[i], spread = cols[i + 7] - from;
    const __m256i rel = _mm256_sub_epi32(at, _mm256_set1_epi32(from));
    __m256i picked;
    if (spread < 8 && from + 8 <= valid) {
      picked = PermutedWords<1>(line + from, rel);
    } else if (spread < 16 && from + 16 <= valid) {
      picked = PermutedWords<2>(line + from, rel);
    } else if (spread < 24 && from + 24 <= valid) {
      picked = PermutedWords<3>(line + from, rel);
    } else {
      picked = _mm256_i32gather_epi32(reinterpret_cast<const int*>(line), at, 4);
    }
    Store32(reinterpret_cast<uint8_t*>(out + i), picked);
  }
  return i;
}

}  // namespace pixel::x86
