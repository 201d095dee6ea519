// Fonts and text: TextOutA, GetTextExtentPoint32A, GetTextMetricsA and DrawTextA.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/font_cache.h"
#include "platform/gdi/gdi_internal.h"

using namespace platform::gdi;

namespace {

SizedFont* FontOf(const DeviceContext& dc) {
  static const LOGFONTA kDefault = [] {
    LOGFONTA f{};
    f.lfHeight = 16;
    f.lfWeight = FW_NORMAL;
    return f;
  }();
  return SizedFont::For(dc.font ? dc.font->log : kDefault);
}

void BlendGlyph(const PixelTarget& t, const RECT& clip, int gx, int gy, const Glyph& g,
                COLORREF color) {
  int x0 = std::max<int>(gx, clip.left), x1 = std::min<int>(gx + g.width, clip.right);
  int y0 = std::max<int>(gy, clip.top), y1 = std::min<int>(gy + g.height, clip.bottom);
  uint32_t cr = GetRValue(color), cg = GetGValue(color), cb = GetBValue(color);
  auto mix = [](uint32_t a, uint32_t s, uint32_t d) { return (s * a + d * (255 - a) + 127) / 255; };
  if (t.format.IsXrgb32()) {
    // Text over every video picture: straight on the words, without a colour's encoding
    // and decoding per pixel.
    const uint32_t solid = (cr << 16) | (cg << 8) | cb;
    for (int y = y0; y < y1; ++y) {
      const uint8_t* cov = &g.coverage[static_cast<size_t>(y - gy) * g.width];
      auto* row = reinterpret_cast<uint32_t*>(t.Row(y));
      for (int x = x0; x < x1; ++x) {
        const uint32_t a = cov[x - gx];
        if (a == 0) continue;
        if (a == 255) {
          row[x] = solid;
          continue;
        }
        const uint32_t under = row[x];
        row[x] = (mix(a, cr, (under >> 16) & 0xFF) << 16) | (mix(a, cg, (under >> 8) & 0xFF) << 8) |
                 mix(a, cb, under & 0xFF);
      }
    }
    return;
  }
  for (int y = y0; y < y1; ++y) {
    const uint8_t* cov = &g.coverage[static_cast<size_t>(y - gy) * g.width];
    for (int x = x0; x < x1; ++x) {
      uint32_t a = cov[x - gx];
      if (a == 0) continue;
      uint32_t raw = t.format.Encode(color);
      if (a < 255) {
        COLORREF under = t.format.Decode(t.Read(x, y));
        raw = t.format.Encode(RGB(mix(a, cr, GetRValue(under)), mix(a, cg, GetGValue(under)),
                                  mix(a, cb, GetBValue(under))));
      }
      t.Write(x, y, raw);
    }
  }
}

// What one line needs from the font, copied out so that drawing runs without the text lock
// (a thread holding a target's lock may be measuring text meanwhile).
struct LaidOut {
  std::vector<Glyph> glyphs;
  int width = 0;
  int height = 0;
  int ascent = 0;
  bool underline = false;
  bool strike_out = false;
};

bool Layout(const DeviceContext& dc, const std::u32string& text, LaidOut* out) {
  std::lock_guard<std::mutex> text_lock(TextMutex());
  SizedFont* font = FontOf(dc);
  if (font == nullptr) return false;
  out->glyphs.reserve(text.size());
  for (char32_t code : text) out->glyphs.push_back(font->GlyphOf(code));
  out->width = font->Measure(text);
  out->height = font->height();
  out->ascent = font->ascent();
  out->underline = font->underline();
  out->strike_out = font->strike_out();
  return true;
}

// Draws one line with its cell's top-left at (x, y) in context coordinates, limited to
// `limit` (context coordinates) when given. Returns the width drawn.
int DrawLine(DeviceContext* dc, int x, int y, const std::u32string& text, const RECT* limit) {
  LaidOut line;
  if (!Layout(*dc, text, &line)) return 0;
  RECT cell{x, y, x + line.width, y + line.height};
  RECT area = cell;
  if (limit != nullptr && !platform::ui::IntersectRects(cell, *limit, &area)) return line.width;
  RECT t{area.left + dc->origin.x, area.top + dc->origin.y, area.right + dc->origin.x,
         area.bottom + dc->origin.y};
  std::vector<RECT> clips = ClipRects(*dc, t);
  if (clips.empty()) return line.width;
  if (dc->bk_mode == OPAQUE) FillRaw(dc, area, dc->target.format.Encode(dc->bk_color));
  TargetLock lock(dc->target);
  int baseline = y + dc->origin.y + line.ascent;
  uint32_t raw = dc->target.format.Encode(dc->text_color);
  for (const RECT& c : clips) {
    int pen = x + dc->origin.x;
    for (const Glyph& g : line.glyphs) {
      if (!g.coverage.empty()) {
        BlendGlyph(dc->target, c, pen + g.left, baseline - g.top, g, dc->text_color);
      }
      pen += g.advance;
    }
    auto rule = [&](int ly) {
      if (ly < c.top || ly >= c.bottom) return;
      for (int lx = std::max<int>(c.left, x + dc->origin.x); lx < std::min<int>(c.right, pen);
           ++lx) {
        dc->target.Write(lx, ly, raw);
      }
    };
    if (line.underline) rule(baseline + 1);
    if (line.strike_out) rule(baseline - line.ascent / 3);
    MarkChanged(*dc, c);
  }
  return line.width;
}

std::vector<std::u32string> SplitLines(const std::u32string& text, UINT format, int width,
                                       SizedFont* font) {
  std::vector<std::u32string> lines;
  if (format & DT_SINGLELINE) {
    std::u32string one;
    for (char32_t c : text) {
      if (c != U'\r' && c != U'\n') one.push_back(c);
    }
    lines.push_back(one);
    return lines;
  }
  std::u32string current;
  for (size_t i = 0; i <= text.size(); ++i) {
    char32_t c = i < text.size() ? text[i] : U'\n';
    if (c == U'\r') continue;
    if (c == U'\n') {
      lines.push_back(current);
      current.clear();
      continue;
    }
    current.push_back(c);
    if ((format & DT_WORDBREAK) && font->Measure(current) > width && current.size() > 1) {
      size_t space = current.find_last_of(U' ');
      size_t cut = (space != std::u32string::npos && space > 0) ? space : current.size() - 1;
      lines.push_back(current.substr(0, cut));
      current = current.substr(cut == space ? cut + 1 : cut);
    }
  }
  return lines;
}

std::u32string StripPrefix(const std::u32string& text) {
  std::u32string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == U'&') {
      if (i + 1 < text.size() && text[i + 1] == U'&') out.push_back(U'&');
      if (i + 1 < text.size()) ++i;
      if (text[i] == U'&') continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

void Ellipsize(std::u32string* line, int width, SizedFont* font) {
  if (font->Measure(*line) <= width) return;
  while (!line->empty() && font->Measure(*line + U"...") > width) line->pop_back();
  *line += U"...";
}

}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA* log) {
  if (log == nullptr) return nullptr;
  auto* f = new Font();
  f->log = *log;
  f->log.lfFaceName[LF_FACESIZE - 1] = '\0';
  RegisterObject(f);
  return reinterpret_cast<HFONT>(static_cast<GdiObject*>(f));
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strike_out, DWORD char_set, DWORD out_precision,
                  DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCSTR face) {
  LOGFONTA log{};
  log.lfHeight = height;
  log.lfWidth = width;
  log.lfEscapement = escapement;
  log.lfOrientation = orientation;
  log.lfWeight = weight;
  log.lfItalic = static_cast<BYTE>(italic);
  log.lfUnderline = static_cast<BYTE>(underline);
  log.lfStrikeOut = static_cast<BYTE>(strike_out);
  log.lfCharSet = static_cast<BYTE>(char_set);
  log.lfOutPrecision = static_cast<BYTE>(out_precision);
  log.lfClipPrecision = static_cast<BYTE>(clip_precision);
  log.lfQuality = static_cast<BYTE>(quality);
  log.lfPitchAndFamily = static_cast<BYTE>(pitch_and_family);
  if (face != nullptr) std::strncpy(log.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectA(&log);
}

BOOL TextOutA(HDC handle, int x, int y, LPCSTR text, int count) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr || (text == nullptr && count > 0) || count < 0) return FALSE;
  DrawLine(dc, x, y, DecodeAnsi(text, count), nullptr);
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC handle, LPCSTR text, int count, SIZE* size) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr || size == nullptr || count < 0 || (text == nullptr && count > 0)) {
    return FALSE;
  }
  std::u32string codes = DecodeAnsi(text, count);
  std::lock_guard<std::mutex> lock(TextMutex());
  SizedFont* font = FontOf(*dc);
  if (font == nullptr) return FALSE;
  *size = SIZE{font->Measure(codes), font->height()};
  return TRUE;
}

BOOL GetTextMetricsA(HDC handle, TEXTMETRICA* tm) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr || tm == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(TextMutex());
  SizedFont* font = FontOf(*dc);
  if (font == nullptr) return FALSE;
  std::memset(tm, 0, sizeof(*tm));
  tm->tmHeight = font->height();
  tm->tmAscent = font->ascent();
  tm->tmDescent = font->descent();
  tm->tmAveCharWidth = font->GlyphOf(U'x').advance;
  tm->tmMaxCharWidth = std::max(font->GlyphOf(U'W').advance, font->GlyphOf(U'\x6C49').advance);
  tm->tmWeight = font->weight();
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = '?';
  tm->tmBreakChar = ' ';
  tm->tmUnderlined = font->underline();
  tm->tmStruckOut = font->strike_out();
  return TRUE;
}

int DrawTextA(HDC handle, LPCSTR text, int count, RECT* rect, UINT format) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr || text == nullptr || rect == nullptr) return 0;
  if (count < 0) count = static_cast<int>(std::strlen(text));
  std::u32string codes = DecodeAnsi(text, count);
  if (!(format & DT_NOPREFIX)) codes = StripPrefix(codes);
  std::vector<std::u32string> lines;
  std::vector<int> widths;
  int line_height;
  {
    std::lock_guard<std::mutex> lock(TextMutex());
    SizedFont* font = FontOf(*dc);
    if (font == nullptr) return 0;
    line_height = font->height();
    lines = SplitLines(codes, format, rect->right - rect->left, font);
    for (std::u32string& line : lines) {
      if (format & DT_END_ELLIPSIS) Ellipsize(&line, rect->right - rect->left, font);
      widths.push_back(font->Measure(line));
    }
  }
  int total = line_height * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    int widest = widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
    rect->right = rect->left + widest;
    rect->bottom = rect->top + total;
    return total;
  }
  int y = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = rect->top + (rect->bottom - rect->top - line_height) / 2;
    if (format & DT_BOTTOM) y = rect->bottom - line_height;
  }
  const RECT* limit = (format & DT_NOCLIP) ? nullptr : rect;
  for (size_t i = 0; i < lines.size(); ++i, y += line_height) {
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (rect->right - rect->left - widths[i]) / 2;
    if (format & DT_RIGHT) x = rect->right - widths[i];
    DrawLine(dc, x, y, lines[i], limit);
  }
  return total;
}
