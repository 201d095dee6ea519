// The blit engine: nearest-neighbour stretching between any two layouts, YUV to RGB in
// BT.601 video range, source colour keys, and colour fills.
#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#endif

#include "platform/ddraw/ddraw_internal.h"

namespace platform::ddraw {
namespace {

struct Tables {
  int y[256], rv[256], gu[256], gv[256], bu[256];
  Tables() {
    for (int i = 0; i < 256; ++i) {
      y[i] = 298 * (i - 16) + 128;
      rv[i] = 409 * (i - 128);
      gu[i] = -100 * (i - 128);
      gv[i] = -208 * (i - 128);
      bu[i] = 516 * (i - 128);
    }
  }
};
const Tables& T() {
  static const Tables tables;
  return tables;
}

inline uint32_t Clamp8(int v) { return v < 0 ? 0 : v > 255 ? 255 : static_cast<uint32_t>(v); }

// YUV to 0x00RRGGBB.
inline uint32_t YuvToXrgb(int y, int u, int v) {
  const Tables& t = T();
  int l = t.y[y];
  return (Clamp8((l + t.rv[v]) >> 8) << 16) | (Clamp8((l + t.gu[u] + t.gv[v]) >> 8) << 8) |
         Clamp8((l + t.bu[u]) >> 8);
}

struct Yuv {
  uint8_t y, u, v;
};

Yuv RgbToYuv(COLORREF c) {
  int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  return Yuv{static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16),
             static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128),
             static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128)};
}

// Reads and writes pixels of one surface by layout.
class View {
 public:
  explicit View(Surface* s)
      : layout_(s->layout()),
        base_(s->memory()),
        pitch_(s->desc().lPitch),
        height_(static_cast<int>(s->desc().dwHeight)),
        rgb_(s->RgbFormat()) {}

  bool rgb() const { return layout_ == Layout::kRgb; }
  bool planar() const { return layout_ == Layout::kYv12 || layout_ == Layout::kI420; }
  // The U and V rows that serve picture row y of a planar surface.
  const uint8_t* URow(int y) const {
    return Chroma(layout_ == Layout::kYv12) + (pitch_ / 2) * (y / 2);
  }
  const uint8_t* VRow(int y) const {
    return Chroma(layout_ != Layout::kYv12) + (pitch_ / 2) * (y / 2);
  }
  Layout layout() const { return layout_; }
  uint8_t* Row(int y) const { return base_ + pitch_ * y; }
  const platform::gdi::PixelFormat& format() const { return rgb_; }

  uint32_t Raw(int x, int y) const {
    const uint8_t* p = Row(y) + x * rgb_.bytes;
    uint32_t v = 0;
    std::memcpy(&v, p, rgb_.bytes);
    return v;
  }
  void PutRaw(int x, int y, uint32_t v) const {
    std::memcpy(Row(y) + x * rgb_.bytes, &v, rgb_.bytes);
  }

  Yuv GetYuv(int x, int y) const {
    const uint8_t* r = Row(y);
    switch (layout_) {
      case Layout::kYuy2:
        return Yuv{r[2 * x], r[(x / 2) * 4 + 1], r[(x / 2) * 4 + 3]};
      case Layout::kUyvy:
        return Yuv{r[2 * x + 1], r[(x / 2) * 4], r[(x / 2) * 4 + 2]};
      case Layout::kYv12:
      case Layout::kI420: {
        const uint8_t* first = base_ + pitch_ * height_;
        const uint8_t* second = first + (pitch_ / 2) * ((height_ + 1) / 2);
        long at = (pitch_ / 2) * (y / 2) + x / 2;
        const uint8_t* u = layout_ == Layout::kYv12 ? second : first;
        const uint8_t* v = layout_ == Layout::kYv12 ? first : second;
        return Yuv{r[x], u[at], v[at]};
      }
      case Layout::kY411: {  // U Y0 Y1 V Y2 Y3 per 4 pixels
        const uint8_t* g = r + (x / 4) * 6;
        static const int kY[4] = {1, 2, 4, 5};
        return Yuv{g[kY[x % 4]], g[0], g[3]};
      }
      case Layout::kY41p: {  // U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7 per 8 pixels
        const uint8_t* g = r + (x / 8) * 12;
        static const int kY[8] = {1, 3, 5, 7, 8, 9, 10, 11};
        int half = (x % 8) / 4;
        return Yuv{g[kY[x % 8]], g[half * 4], g[half * 4 + 2]};
      }
      default:
        return RgbToYuv(rgb_.Decode(Raw(x, y)));
    }
  }

  COLORREF GetRgb(int x, int y) const {
    if (rgb()) return rgb_.Decode(Raw(x, y));
    Yuv p = GetYuv(x, y);
    uint32_t xrgb = YuvToXrgb(p.y, p.u, p.v);
    return RGB((xrgb >> 16) & 0xFF, (xrgb >> 8) & 0xFF, xrgb & 0xFF);
  }

  // Chroma is written by the pixel that owns it (the first of its group).
  void PutYuv(int x, int y, Yuv p) const {
    uint8_t* r = Row(y);
    switch (layout_) {
      case Layout::kYuy2:
        r[2 * x] = p.y;
        if (x % 2 == 0) r[2 * x + 1] = p.u, r[2 * x + 3] = p.v;
        break;
      case Layout::kUyvy:
        r[2 * x + 1] = p.y;
        if (x % 2 == 0) r[2 * x] = p.u, r[2 * x + 2] = p.v;
        break;
      case Layout::kYv12:
      case Layout::kI420: {
        r[x] = p.y;
        if (x % 2 || y % 2) break;
        uint8_t* first = base_ + pitch_ * height_;
        uint8_t* second = first + (pitch_ / 2) * ((height_ + 1) / 2);
        long at = (pitch_ / 2) * (y / 2) + x / 2;
        (layout_ == Layout::kYv12 ? second : first)[at] = p.u;
        (layout_ == Layout::kYv12 ? first : second)[at] = p.v;
        break;
      }
      case Layout::kY411: {
        uint8_t* g = r + (x / 4) * 6;
        static const int kY[4] = {1, 2, 4, 5};
        g[kY[x % 4]] = p.y;
        if (x % 4 == 0) g[0] = p.u, g[3] = p.v;
        break;
      }
      case Layout::kY41p: {
        uint8_t* g = r + (x / 8) * 12;
        static const int kY[8] = {1, 3, 5, 7, 8, 9, 10, 11};
        g[kY[x % 8]] = p.y;
        if (x % 4 == 0) g[(x % 8) / 4 * 4] = p.u, g[(x % 8) / 4 * 4 + 2] = p.v;
        break;
      }
      default:
        PutRaw(x, y, rgb_.Encode(RGB(0, 0, 0)));
        break;
    }
  }

 private:
  const uint8_t* Chroma(bool second) const {
    const uint8_t* first = base_ + pitch_ * height_;
    return second ? first + (pitch_ / 2) * ((height_ + 1) / 2) : first;
  }

  Layout layout_;
  uint8_t* base_;
  long pitch_;
  int height_;
  platform::gdi::PixelFormat rgb_;
};

void MapAxis(int dst_start, int dst_len, int src_start, int src_len, std::vector<int>* out) {
  out->resize(dst_len);
  for (int d = 0; d < dst_len; ++d) {
    (*out)[d] = src_start + static_cast<int>((2LL * d + 1) * src_len / (2LL * dst_len));
  }
  (void)dst_start;
}

// The hot path: a packed 4:2:2 picture onto 32-bit XRGB.
void PackedToXrgb(const View& d, const View& s, const RECT& c, const RECT& dst,
                  const std::vector<int>& cols, const std::vector<int>& rows) {
  const bool uyvy = s.layout() == Layout::kUyvy;
  const int yo = uyvy ? 1 : 0, uo = uyvy ? 0 : 1, vo = uyvy ? 2 : 3;
  for (int y = c.top; y < c.bottom; ++y) {
    const uint8_t* sr = s.Row(rows[y - dst.top]);
    auto* out = reinterpret_cast<uint32_t*>(d.Row(y));
    for (int x = c.left; x < c.right; ++x) {
      int sx = cols[x - dst.left];
      const uint8_t* pair = sr + (sx >> 1) * 4;
      out[x] = YuvToXrgb(sr[2 * sx + yo], pair[uo], pair[vo]);
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
// Eight pixels of one planar row at their own size: y[0..7] with chroma u[0..3], v[0..3]
// each serving two pixels, by the same formulas as YuvToXrgb.
inline void Planar8ToXrgb(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint32_t* out) {
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi16(1);
  int u4, v4;
  std::memcpy(&u4, u, 4);
  std::memcpy(&v4, v, 4);
  __m128i uu = _mm_cvtsi32_si128(u4), vv = _mm_cvtsi32_si128(v4);
  uu = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_unpacklo_epi8(uu, uu), zero), _mm_set1_epi16(128));
  vv = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_unpacklo_epi8(vv, vv), zero), _mm_set1_epi16(128));
  const __m128i yy =
      _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), zero),
                    _mm_set1_epi16(16));
  const __m128i ky = _mm_setr_epi16(298, 128, 298, 128, 298, 128, 298, 128);
  const __m128i kr = _mm_setr_epi16(0, 409, 0, 409, 0, 409, 0, 409);
  const __m128i kg = _mm_setr_epi16(-100, -208, -100, -208, -100, -208, -100, -208);
  const __m128i kb = _mm_setr_epi16(516, 0, 516, 0, 516, 0, 516, 0);
  __m128i r[2], g[2], b[2];
  const __m128i yl[2] = {_mm_unpacklo_epi16(yy, one), _mm_unpackhi_epi16(yy, one)};
  const __m128i c[2] = {_mm_unpacklo_epi16(uu, vv), _mm_unpackhi_epi16(uu, vv)};
  for (int h = 0; h < 2; ++h) {
    const __m128i l = _mm_madd_epi16(yl[h], ky);
    r[h] = _mm_srai_epi32(_mm_add_epi32(l, _mm_madd_epi16(c[h], kr)), 8);
    g[h] = _mm_srai_epi32(_mm_add_epi32(l, _mm_madd_epi16(c[h], kg)), 8);
    b[h] = _mm_srai_epi32(_mm_add_epi32(l, _mm_madd_epi16(c[h], kb)), 8);
  }
  // Saturating packs clamp to 0..255 as Clamp8 does.
  const __m128i r8 = _mm_packus_epi16(_mm_packs_epi32(r[0], r[1]), zero);
  const __m128i g8 = _mm_packus_epi16(_mm_packs_epi32(g[0], g[1]), zero);
  const __m128i b8 = _mm_packus_epi16(_mm_packs_epi32(b[0], b[1]), zero);
  const __m128i bg = _mm_unpacklo_epi8(b8, g8), r0 = _mm_unpacklo_epi8(r8, zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(bg, r0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(bg, r0));
}
#endif

// n pixels of a planar row from column sx on, unscaled.
void PlanarRowToXrgb(const uint8_t* yr, const uint8_t* ur, const uint8_t* vr, int sx, int n,
                     uint32_t* out) {
  int i = 0;
  if (sx % 2 != 0 && n > 0) {  // chroma pairs start on even columns
    out[0] = YuvToXrgb(yr[sx], ur[sx / 2], vr[sx / 2]);
    i = 1;
  }
#if defined(__x86_64__) || defined(__i386__)
  for (; i + 8 <= n; i += 8) {
    const int x = sx + i;
    Planar8ToXrgb(yr + x, ur + x / 2, vr + x / 2, out + i);
  }
#endif
  for (; i < n; ++i) out[i] = YuvToXrgb(yr[sx + i], ur[(sx + i) / 2], vr[(sx + i) / 2]);
}

// A planar 4:2:0 picture onto 32-bit XRGB: whole rows when unscaled, else pixel by pixel.
void PlanarToXrgb(const View& d, const View& s, const RECT& c, const RECT& dst,
                  const std::vector<int>& cols, const std::vector<int>& rows) {
  const int n = c.right - c.left;
  if (n <= 0) return;
  const int* col = &cols[c.left - dst.left];
  const bool straight = col[n - 1] - col[0] == n - 1;
  for (int y = c.top; y < c.bottom; ++y) {
    const int sy = rows[y - dst.top];
    const uint8_t* yr = s.Row(sy);
    const uint8_t* ur = s.URow(sy);
    const uint8_t* vr = s.VRow(sy);
    auto* out = reinterpret_cast<uint32_t*>(d.Row(y)) + c.left;
    if (straight) {
      PlanarRowToXrgb(yr, ur, vr, col[0], n, out);
      continue;
    }
    for (int i = 0; i < n; ++i) out[i] = YuvToXrgb(yr[col[i]], ur[col[i] / 2], vr[col[i] / 2]);
  }
}

}  // namespace

void StretchSurface(Surface* dst, const RECT& dst_rect, Surface* src, const RECT& src_rect,
                    const std::vector<RECT>& clip, bool src_key) {
  View d(dst), s(src);
  int dw = dst_rect.right - dst_rect.left, dh = dst_rect.bottom - dst_rect.top;
  int sw = src_rect.right - src_rect.left, sh = src_rect.bottom - src_rect.top;
  std::vector<int> cols, rows;
  MapAxis(dst_rect.left, dw, src_rect.left, sw, &cols);
  MapAxis(dst_rect.top, dh, src_rect.top, sh, &rows);
  DDCOLORKEY key = src->src_key();
  bool keyed = src_key && s.rgb();
  bool same_rgb = d.rgb() && s.rgb() && d.format() == s.format();
  bool packed = s.layout() == Layout::kYuy2 || s.layout() == Layout::kUyvy;
  for (const RECT& c : clip) {
    if (!keyed && packed && d.rgb() && d.format().IsXrgb32()) {
      PackedToXrgb(d, s, c, dst_rect, cols, rows);
      continue;
    }
    if (s.planar() && d.rgb() && d.format().IsXrgb32()) {
      PlanarToXrgb(d, s, c, dst_rect, cols, rows);
      continue;
    }
    bool copy_rows = same_rgb && !keyed && dw == sw && dh == sh;
    for (int y = c.top; y < c.bottom; ++y) {
      int sy = rows[y - dst_rect.top];
      if (copy_rows) {
        int bytes = d.format().bytes;
        std::memcpy(d.Row(y) + c.left * bytes, s.Row(sy) + cols[c.left - dst_rect.left] * bytes,
                    static_cast<size_t>(c.right - c.left) * bytes);
        continue;
      }
      for (int x = c.left; x < c.right; ++x) {
        int sx = cols[x - dst_rect.left];
        if (keyed) {
          uint32_t raw = s.Raw(sx, sy);
          if (raw >= key.dwColorSpaceLowValue && raw <= key.dwColorSpaceHighValue) continue;
        }
        if (same_rgb) {
          d.PutRaw(x, y, s.Raw(sx, sy));
        } else if (d.rgb()) {
          d.PutRaw(x, y, d.format().Encode(s.GetRgb(sx, sy)));
        } else {
          d.PutYuv(x, y, s.GetYuv(sx, sy));
        }
      }
    }
  }
}

void FillSurface(Surface* dst, const std::vector<RECT>& clip, DWORD color) {
  View d(dst);
  for (const RECT& c : clip) {
    for (int y = c.top; y < c.bottom; ++y) {
      for (int x = c.left; x < c.right; ++x) {
        if (d.rgb()) {
          d.PutRaw(x, y, color);
        } else {
          // A YUV fill colour is the packed Y, U and V bytes (Y lowest).
          d.PutYuv(
              x, y,
              Yuv{static_cast<uint8_t>(color & 0xFF), static_cast<uint8_t>((color >> 8) & 0xFF),
                  static_cast<uint8_t>((color >> 16) & 0xFF)});
        }
      }
    }
  }
}

}  // namespace platform::ddraw
