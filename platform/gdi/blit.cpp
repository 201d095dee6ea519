// Block transfers: BitBlt, StretchBlt, StretchDIBits and AlphaBlend, all through one
// nearest-neighbour engine that clips to the destination context.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/gdi/blit_internal.h"
#include "platform/gdi/gdi_internal.h"

namespace platform::gdi {
namespace {

// Source index for each destination index: centre sampling, so equal sizes map 1:1.
void MapAxis(int dst_len, int src_start, int src_len, bool mirror, std::vector<int>* out) {
  out->resize(dst_len);
  for (int d = 0; d < dst_len; ++d) {
    int s = static_cast<int>((2LL * d + 1) * src_len / (2LL * dst_len));
    (*out)[d] = src_start + (mirror ? src_len - 1 - s : s);
  }
}

// n BGR24 pixels to XRGB with a zero top byte.
void Bgr24ToXrgbPlain(const uint8_t* p, uint32_t* out, int n) {
  for (int i = 0; i < n; ++i, p += 3) out[i] = p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16);
}

#if defined(__x86_64__) || defined(__i386__)
// Four pixels per 16-byte load; a load reads 4 bytes past its 12, so the loops stop while
// those bytes still lie within the row.
__attribute__((target("ssse3"))) int Bgr24ToXrgbSsse3(const uint8_t* p, uint32_t* out, int n) {
  const __m128i mask = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  auto load = [](const uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
  auto store = [](uint32_t* q, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(q), v); };
  int i = 0;
  for (; i + 18 <= n; i += 16, p += 48, out += 16) {
    store(out, _mm_shuffle_epi8(load(p), mask));
    store(out + 4, _mm_shuffle_epi8(load(p + 12), mask));
    store(out + 8, _mm_shuffle_epi8(load(p + 24), mask));
    store(out + 12, _mm_shuffle_epi8(load(p + 36), mask));
  }
  for (; i + 6 <= n; i += 4, p += 12, out += 4) store(out, _mm_shuffle_epi8(load(p), mask));
  return i;
}

// Eight picked pixels at a time, line[cols[i] - lo] with `valid` pixels in line; the rest is
// left to the caller. The columns run one way, so eight of them that pick within 16 pixels
// (any enlargement, and shrinks down to half) are two loads and two permutes; wider
// spreads take a gather, which costs about a load a pixel.
__attribute__((target("avx2"))) int PickXrgbAvx2(const uint32_t* line, const int* cols, int lo,
                                                 int valid, uint32_t* out, int n) {
  const __m256i bias = _mm256_set1_epi32(lo);
  const __m256i seven = _mm256_set1_epi32(7);
  const auto* base = reinterpret_cast<const int*>(line);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i at =
        _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cols + i)), bias);
    const int from = std::min(cols[i], cols[i + 7]) - lo;
    const int to = std::max(cols[i], cols[i + 7]) - lo;
    __m256i picked;
    if (to - from < 16 && from + 16 <= valid) {
      const __m256i rel = _mm256_sub_epi32(at, _mm256_set1_epi32(from));
      const __m256i a = _mm256_permutevar8x32_epi32(
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + from)), rel);
      const __m256i b = _mm256_permutevar8x32_epi32(
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + from + 8)), rel);
      picked = _mm256_blendv_epi8(a, b, _mm256_cmpgt_epi32(rel, seven));
    } else {
      picked = _mm256_i32gather_epi32(base, at, 4);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), picked);
  }
  return i;
}

// Four XRGB pixels at a time blended with constant alpha a: (s a + d (255 - a) + 127) / 255
// per channel, the division exact as (x * 0x8081) >> 23 for every x below 65536. The top
// byte comes out zero.
int BlendXrgbSse2(const uint32_t* s, uint32_t* d, int n, uint32_t a) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ka = _mm_set1_epi16(static_cast<short>(a));
  const __m128i kb = _mm_set1_epi16(static_cast<short>(255 - a));
  const __m128i round = _mm_set1_epi16(127);
  const __m128i magic = _mm_set1_epi16(static_cast<short>(0x8081));
  const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
  auto mix = [&](__m128i sv, __m128i dv) {
    const __m128i x =
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(sv, ka), _mm_mullo_epi16(dv, kb)), round);
    return _mm_srli_epi16(_mm_mulhi_epu16(x, magic), 7);
  };
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m128i lo = mix(_mm_unpacklo_epi8(sv, zero), _mm_unpacklo_epi8(dv, zero));
    const __m128i hi = mix(_mm_unpackhi_epi8(sv, zero), _mm_unpackhi_epi8(dv, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                     _mm_and_si128(_mm_packus_epi16(lo, hi), rgb));
  }
  return i;
}

bool HasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}

bool HasSsse3() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return has;
}
#endif

void Bgr24ToXrgb(const uint8_t* p, uint32_t* out, int n) {
  int done = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (HasSsse3()) done = Bgr24ToXrgbSsse3(p, out, n);
#endif
  Bgr24ToXrgbPlain(p + 3 * done, out + done, n - done);
}

inline uint32_t BlendChannel(uint32_t s, uint32_t d, uint32_t a) {
  return (s * a + d * (255 - a) + 127) / 255;
}

inline uint32_t BlendXrgb(uint32_t s, uint32_t d, uint32_t a) {
  return BlendChannel(s & 0xFF, d & 0xFF, a) |
         (BlendChannel((s >> 8) & 0xFF, (d >> 8) & 0xFF, a) << 8) |
         (BlendChannel((s >> 16) & 0xFF, (d >> 16) & 0xFF, a) << 16);
}

// One source row converted to XRGB for a stretch that reads most of its pixels, kept while
// the next destination rows read the same source row.
struct ConvertedRow {
  std::vector<uint32_t> pixels;
  int sy = -1, lo = 0, span = 0;
};

void CopyRow(const PixelTarget& dst, int y, int x0, int x1, const PixelTarget& src, int sy,
             const int* cols, const BlitOptions& opt, ConvertedRow* converted) {
  const bool same32 = dst.format.IsXrgb32() && src.format.IsXrgb32();
  // Unscaled, unmirrored rows (the usual case of a picture shown at its size) need no
  // per-pixel column lookup.
  const int n = x1 - x0;
  const bool straight = n > 0 && cols[n - 1] - cols[0] == n - 1;
  if (same32 && opt.alpha < 0) {
    auto* d = reinterpret_cast<uint32_t*>(dst.Row(y));
    const auto* s = reinterpret_cast<const uint32_t*>(src.Row(sy));
    if (straight) {
      std::memcpy(d + x0, s + cols[0], static_cast<size_t>(n) * 4);
      return;
    }
    int done = 0;
#if defined(__x86_64__) || defined(__i386__)
    if (HasAvx2()) done = PickXrgbAvx2(s, cols, 0, src.width, d + x0, n);
#endif
    for (int x = x0 + done; x < x1; ++x) d[x] = s[cols[x - x0]];
    return;
  }
  if (same32) {
    // Blending XRGB over XRGB works on the raw words: the channels sit in the same bytes
    // of both, and the result's top byte is zero as the encoded colour's would be.
    auto* d = reinterpret_cast<uint32_t*>(dst.Row(y));
    const auto* s = reinterpret_cast<const uint32_t*>(src.Row(sy));
    const auto alpha = static_cast<uint32_t>(opt.alpha);
    int done = 0;
#if defined(__x86_64__) || defined(__i386__)
    if (straight && !opt.per_pixel_alpha) done = BlendXrgbSse2(s + cols[0], d + x0, n, alpha);
#endif
    for (int x = x0 + done; x < x1; ++x) {
      const uint32_t raw = s[cols[x - x0]];
      const uint32_t a = opt.per_pixel_alpha ? alpha * (raw >> 24) / 255 : alpha;
      d[x] = BlendXrgb(raw, d[x], a);
    }
    return;
  }
  if (dst.format.IsXrgb32() && src.format.IsBgr24() && opt.alpha < 0) {
    auto* d = reinterpret_cast<uint32_t*>(dst.Row(y));
    const uint8_t* s = src.Row(sy);
    if (straight) {
      Bgr24ToXrgb(s + cols[0] * 3, d + x0, n);
      return;
    }
    // Enlarged or mildly shrunk rows read most source pixels: converting the span once with
    // the vector kernel and picking whole pixels costs less than picking three bytes each.
    const int lo = std::min(cols[0], cols[n - 1]);
    const int span = std::max(cols[0], cols[n - 1]) - lo + 1;
    if (span <= 2 * n) {
      if (converted->sy != sy || converted->lo != lo || converted->span != span) {
        if (converted->pixels.size() < static_cast<size_t>(span)) converted->pixels.resize(span);
        Bgr24ToXrgb(s + lo * 3, converted->pixels.data(), span);
        converted->sy = sy;
        converted->lo = lo;
        converted->span = span;
      }
      const uint32_t* line = converted->pixels.data();
      int done = 0;
#if defined(__x86_64__) || defined(__i386__)
      if (HasAvx2()) done = PickXrgbAvx2(line, cols, lo, span, d + x0, n);
#endif
      for (int x = x0 + done; x < x1; ++x) d[x] = line[cols[x - x0] - lo];
      return;
    }
    for (int x = x0; x < x1; ++x) {
      const uint8_t* p = s + cols[x - x0] * 3;
      d[x] = p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16);
    }
    return;
  }
  for (int x = x0; x < x1; ++x) {
    uint32_t raw = src.Read(cols[x - x0], sy);
    COLORREF c = src.format.Decode(raw);
    if (opt.alpha >= 0) {
      uint32_t a = static_cast<uint32_t>(opt.alpha);
      if (opt.per_pixel_alpha && src.format.bytes == 4) a = a * (raw >> 24) / 255;
      COLORREF under = dst.format.Decode(dst.Read(x, y));
      // COLORREF and XRGB hold the channels in opposite orders; blending is per channel.
      c = BlendXrgb(c, under, a);
    }
    dst.Write(x, y, dst.format.Encode(c));
  }
}

}  // namespace

bool StretchCore(DeviceContext* dc, RECT dst, const PixelTarget& src, RECT src_rect,
                 const BlitOptions& opt) {
  bool mirror_x = (dst.right < dst.left) != (src_rect.right < src_rect.left);
  bool mirror_y = (dst.bottom < dst.top) != (src_rect.bottom < src_rect.top);
  // A negative extent counts back from the start pixel itself: (x, -w) covers x - w + 1 .. x.
  auto order = [](RECT* r) {
    if (r->right < r->left) *r = RECT{r->right + 1, r->top, r->left + 1, r->bottom};
    if (r->bottom < r->top) *r = RECT{r->left, r->bottom + 1, r->right, r->top + 1};
  };
  order(&dst);
  order(&src_rect);
  int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  int sw = src_rect.right - src_rect.left, sh = src_rect.bottom - src_rect.top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return true;
  std::vector<int> cols, rows;
  MapAxis(dw, src_rect.left, sw, mirror_x, &cols);
  MapAxis(dh, src_rect.top, sh, mirror_y, &rows);
  RECT t{dst.left + dc->origin.x, dst.top + dc->origin.y, dst.right + dc->origin.x,
         dst.bottom + dc->origin.y};
  std::vector<RECT> clips = ClipRects(*dc, t);
  if (clips.empty()) return true;
  TargetLock lock(dc->target, &src);
  ConvertedRow converted;
  for (const RECT& c : clips) {
    // Leave out destination pixels whose source lies outside the source pixels.
    int x0 = c.left, x1 = c.right;
    while (x0 < x1 && (cols[x0 - t.left] < 0 || cols[x0 - t.left] >= src.width)) ++x0;
    while (x1 > x0 && (cols[x1 - 1 - t.left] < 0 || cols[x1 - 1 - t.left] >= src.width)) --x1;
    if (x0 >= x1) continue;
    for (int y = c.top; y < c.bottom; ++y) {
      int sy = rows[y - t.top];
      if (sy < 0 || sy >= src.height) continue;
      CopyRow(dc->target, y, x0, x1, src, sy, &cols[x0 - t.left], opt, &converted);
    }
    MarkChanged(*dc, RECT{x0, c.top, x1, c.bottom});
  }
  return true;
}

PixelTarget DibTarget(const BITMAPINFO* info, const void* bits) {
  PixelTarget t;
  if (info == nullptr || bits == nullptr) return t;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0) return t;
  switch (h.biBitCount) {
    case 16:
      t.format = Rgb555();
      break;
    case 24:
      t.format = Bgr24();
      break;
    case 32:
      t.format = Xrgb32();
      break;
    default:
      return t;
  }
  long stride = ((static_cast<long>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  int rows = std::abs(h.biHeight);
  auto* base = static_cast<uint8_t*>(const_cast<void*>(bits));
  t.width = h.biWidth;
  t.height = rows;
  t.top = h.biHeight > 0 ? base + stride * (rows - 1) : base;
  t.pitch = h.biHeight > 0 ? -stride : stride;
  return t;
}

}  // namespace platform::gdi

using namespace platform::gdi;

namespace {

BOOL Blit(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop,
          const BlitOptions& opt) {
  DeviceContext* d = AsDc(dst);
  if (d == nullptr) return FALSE;
  if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY) {
    RECT r{std::min(x, x + w), std::min(y, y + h), std::max(x, x + w), std::max(y, y + h)};
    COLORREF color = rop == BLACKNESS ? 0 : 0xFFFFFF;
    if (rop == PATCOPY && !BrushColor(*d, d->brush, &color)) return TRUE;
    FillRaw(d, r, d->target.format.Encode(color));
    return TRUE;
  }
  DeviceContext* s = AsDc(src);
  if (s == nullptr || rop != SRCCOPY) return FALSE;
  // The source is read in its target's coordinates, limited to what the source may show.
  PixelTarget view = s->target;
  RECT sr{sx + s->origin.x, sy + s->origin.y, sx + sw + s->origin.x, sy + sh + s->origin.y};
  return StretchCore(d, RECT{x, y, x + w, y + h}, view, sr, opt) ? TRUE : FALSE;
}

}  // namespace

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int src_x, int src_y,
            DWORD rop) {
  return Blit(dst, x, y, width, height, src, src_x, src_y, width, height, rop, BlitOptions{});
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int src_x, int src_y,
                int src_width, int src_height, DWORD rop) {
  return Blit(dst, x, y, width, height, src, src_x, src_y, src_width, src_height, rop,
              BlitOptions{});
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int src_x, int src_y, int src_width,
                  int src_height, const void* bits, const BITMAPINFO* info, UINT, DWORD rop) {
  DeviceContext* d = AsDc(dc);
  PixelTarget src = DibTarget(info, bits);
  if (d == nullptr || src.top == nullptr || rop != SRCCOPY) return 0;
  // DIB source coordinates count rows from the bottom of a bottom-up DIB.
  int top = info->bmiHeader.biHeight > 0 ? src.height - src_y - src_height : src_y;
  StretchCore(d, RECT{x, y, x + width, y + height}, src,
              RECT{src_x, top, src_x + src_width, top + src_height}, BlitOptions{});
  return height;
}

BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int src_x, int src_y,
                int src_width, int src_height, BLENDFUNCTION blend) {
  if (blend.BlendOp != AC_SRC_OVER || width < 0 || height < 0 || src_width < 0 || src_height < 0) {
    return FALSE;
  }
  BlitOptions opt;
  opt.alpha = blend.SourceConstantAlpha;
  opt.per_pixel_alpha = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
  return Blit(dst, x, y, width, height, src, src_x, src_y, src_width, src_height, SRCCOPY, opt);
}
