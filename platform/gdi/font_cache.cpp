// Faces through fontconfig, glyphs through FreeType, GBK text through iconv.
#include "platform/gdi/font_cache.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <iconv.h>
#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

namespace platform::gdi {

struct SizedFont::Face {
  FT_Face face = nullptr;
};

namespace {

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return library;
}

// The faces the program asks for by name that are Song/Ming faces: GBK, UTF-8 and Latin
// spellings.
bool IsSongFace(const char* name) {
  static const char* const kNames[] = {"\xCB\xCE\xCC\xE5",
                                       "\xD0\xC2\xCB\xCE\xCC\xE5",
                                       "\xE5\xAE\x8B\xE4\xBD\x93",
                                       "SimSun",
                                       "NSimSun",
                                       "MingLiU"};
  for (const char* n : kNames) {
    if (strcasecmp(name, n) == 0) return true;
  }
  return false;
}

// Face file (path and index) that fontconfig gives for `pattern_text`; empty when none.
std::pair<std::string, int> Match(const char* pattern_text) {
  FcInit();
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(pattern_text));
  if (pattern == nullptr) return {};
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::pair<std::string, int> out;
  if (match != nullptr) {
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      out = {reinterpret_cast<const char*>(file), index};
    }
    FcPatternDestroy(match);
  }
  return out;
}

SizedFont::Face* Open(const std::pair<std::string, int>& file) {
  static std::map<std::pair<std::string, int>, std::unique_ptr<SizedFont::Face>> faces;
  if (file.first.empty() || Library() == nullptr) return nullptr;
  auto it = faces.find(file);
  if (it != faces.end()) return it->second.get();
  FT_Face face = nullptr;
  if (FT_New_Face(Library(), file.first.c_str(), file.second, &face) != 0) face = nullptr;
  auto entry = std::make_unique<SizedFont::Face>();
  entry->face = face;
  SizedFont::Face* raw = face ? entry.get() : nullptr;
  faces.emplace(file, std::move(entry));
  return raw;
}

SizedFont::Face* CjkFace() {
  static SizedFont::Face* face = [] {
    SizedFont::Face* f = Open(Match("AR PL UMing CN"));
    return f ? f : Open(Match(":lang=zh-cn"));
  }();
  return face;
}

SizedFont::Face* SansFace() {
  static SizedFont::Face* face = Open(Match("sans-serif"));
  return face;
}

// The em size that gives the wanted height: a positive height is the cell (ascender plus
// descender), a negative one the em itself, as with Windows fonts.
int EmFor(FT_Face face, LONG height) {
  if (height == 0) height = -12;
  if (height < 0) return static_cast<int>(-height);
  int cell_units = face->ascender - face->descender;
  if (cell_units <= 0 || face->units_per_EM == 0) return static_cast<int>(height);
  return std::max(1, static_cast<int>(std::lround(static_cast<double>(height) * face->units_per_EM /
                                                  cell_units)));
}

iconv_t Converter() {
  static iconv_t cd = iconv_open("UTF-32LE", "GBK");
  return cd;
}

}  // namespace

std::mutex& TextMutex() {
  static std::mutex m;
  return m;
}

std::u32string DecodeAnsi(const char* text, int count) {
  std::u32string out;
  if (text == nullptr || count <= 0) return out;
  out.reserve(count);
  iconv_t cd = Converter();
  int i = 0;
  while (i < count) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80 || cd == reinterpret_cast<iconv_t>(-1) || i + 1 >= count) {
      out.push_back(c < 0x80 ? c : U'?');
      ++i;
      continue;
    }
    char in[2] = {text[i], text[i + 1]};
    char32_t code = 0;
    char* inp = in;
    size_t inleft = 2, outleft = sizeof(code);
    char* outp = reinterpret_cast<char*>(&code);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inp, &inleft, &outp, &outleft) != static_cast<size_t>(-1) && outleft == 0) {
      out.push_back(code);
      i += 2;
    } else {
      out.push_back(U'?');
      ++i;
    }
  }
  return out;
}

SizedFont* MakeSizedFont(const LOGFONTA& log) {
  char name[LF_FACESIZE + 1] = {};
  std::memcpy(name, log.lfFaceName, LF_FACESIZE);
  bool song = IsSongFace(name);
  SizedFont::Face* main = song ? CjkFace() : SansFace();
  if (main == nullptr) main = song ? SansFace() : CjkFace();
  if (main == nullptr) return nullptr;
  auto* f = new SizedFont();
  f->main_ = main;
  f->cjk_ = CjkFace();
  f->em_main_ = EmFor(main->face, log.lfHeight);
  // Fallback glyphs keep the main face's cell: scale them to the same em.
  f->em_cjk_ = f->em_main_;
  FT_Face face = main->face;
  double scale = static_cast<double>(f->em_main_) / face->units_per_EM;
  int cell = log.lfHeight > 0
                 ? static_cast<int>(log.lfHeight)
                 : static_cast<int>(std::lround((face->ascender - face->descender) * scale));
  f->ascent_ = static_cast<int>(std::lround(face->ascender * scale));
  if (f->ascent_ > cell) f->ascent_ = cell;
  f->descent_ = cell - f->ascent_;
  f->weight_ = log.lfWeight == 0 ? FW_NORMAL : static_cast<int>(log.lfWeight);
  f->bold_ = f->weight_ >= 600;
  f->underline_ = log.lfUnderline != 0;
  f->strike_out_ = log.lfStrikeOut != 0;
  return f;
}

SizedFont* SizedFont::For(const LOGFONTA& font) {
  // Fonts are few and small; each distinct description is kept for the process's life.
  static std::map<std::string, std::unique_ptr<SizedFont>> fonts;
  std::string key(reinterpret_cast<const char*>(&font), sizeof(font));
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second.get();
  SizedFont* f = MakeSizedFont(font);
  fonts.emplace(key, std::unique_ptr<SizedFont>(f));
  return f;
}

const Glyph& SizedFont::GlyphOf(char32_t code) {
  auto it = glyphs_.find(code);
  if (it != glyphs_.end()) return it->second;
  if (glyphs_.size() > 8192) glyphs_.clear();
  return glyphs_.emplace(code, Render(code)).first->second;
}

int SizedFont::Measure(const std::u32string& text) {
  int width = 0;
  for (char32_t c : text) width += GlyphOf(c).advance;
  return width;
}

Glyph SizedFont::Render(char32_t code) {
  Glyph g;
  Face* face = main_;
  int em = em_main_;
  FT_UInt index = FT_Get_Char_Index(face->face, code);
  if (index == 0 && cjk_ != nullptr && cjk_ != main_) {
    FT_UInt other = FT_Get_Char_Index(cjk_->face, code);
    if (other != 0) {
      face = cjk_;
      em = em_cjk_;
      index = other;
    }
  }
  FT_Face ft = face->face;
  if (FT_Set_Pixel_Sizes(ft, 0, static_cast<FT_UInt>(em)) != 0) return g;
  if (FT_Load_Glyph(ft, index, FT_LOAD_DEFAULT) != 0) return g;
  if (bold_) FT_GlyphSlot_Embolden(ft->glyph);
  if (FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_NORMAL) != 0) return g;
  FT_GlyphSlot slot = ft->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(bm.width);
  g.height = static_cast<int>(bm.rows);
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  g.coverage.assign(static_cast<size_t>(g.width) * g.height, 0);
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* row = bm.buffer + static_cast<long>(bm.pitch) * y;
    for (int x = 0; x < g.width; ++x) {
      uint8_t v =
          bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x / 8] >> (7 - x % 8)) & 1) * 255 : row[x];
      g.coverage[static_cast<size_t>(y) * g.width + x] = v;
    }
  }
  return g;
}

}  // namespace platform::gdi
