#include "videolib/pixel_convert_x86.h"

#include <emmintrin.h>
#include <tmmintrin.h>

#define PIXEL_SSSE3 __attribute__((target("ssse3")))

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

// Eight YUY2 pixels (4 pairs at s, successors at s + 4) to 16-bit B, G, R lanes.
inline void Pixels8(const uint8_t* s, __m128i* b, __m128i* g, __m128i* r) {
  const __m128i lo = _mm_set1_epi16(0xFF), k128 = _mm_set1_epi16(128);
  const __m128i even = _mm_set1_epi32(0xFFFF);
  const __m128i cur = Load(s), next = Load(s + 4);
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

}  // namespace

PIXEL_SSSE3 int Yuy2ToBgr24Row(const uint8_t* src, uint8_t* dst, int pairs) {
  int k = 0;
  // A block of 8 pairs reads 4 bytes past itself: the next pair's chroma.
  for (; k + 9 <= pairs; k += 8) {
    __m128i b0, g0, r0, b1, g1, r1;
    Pixels8(src + 4 * k, &b0, &g0, &r0);
    Pixels8(src + 4 * k + 16, &b1, &g1, &r1);
    StoreBgr(dst + 6 * k, _mm_packus_epi16(b0, b1), _mm_packus_epi16(g0, g1),
             _mm_packus_epi16(r0, r1));
  }
  return k;
}

}  // namespace pixel::x86
