#pragma once
// Faces, sizes and glyphs for the text calls: fontconfig finds the face files, FreeType
// renders the glyphs, iconv turns the program's GBK text into code points. Everything here
// runs under TextMutex(), as FreeType objects are not safe to share between threads.

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/gdi.h"

namespace platform::gdi {

std::mutex& TextMutex();

// GBK (code page 936) bytes to code points; undecodable bytes become '?'.
std::u32string DecodeAnsi(const char* text, int count);

struct Glyph {
  int left = 0;  // from the pen position to the first column
  int top = 0;   // from the baseline up to the first row
  int width = 0;
  int height = 0;
  int advance = 0;
  std::vector<uint8_t> coverage;  // width x height, 0..255
};

// A font at one size. REQUIRES: TextMutex() held for every call.
class SizedFont {
 public:
  // Null when no face can be found at all.
  static SizedFont* For(const LOGFONTA& font);

  int ascent() const { return ascent_; }
  int descent() const { return descent_; }
  int height() const { return ascent_ + descent_; }
  bool underline() const { return underline_; }
  bool strike_out() const { return strike_out_; }
  int weight() const { return weight_; }
  const Glyph& GlyphOf(char32_t code);
  int Measure(const std::u32string& text);

  struct Face;

 private:
  Face* main_ = nullptr;
  Face* cjk_ = nullptr;  // for characters the main face lacks
  int em_main_ = 0;
  int em_cjk_ = 0;
  int ascent_ = 0;
  int descent_ = 0;
  bool bold_ = false;
  bool underline_ = false;
  bool strike_out_ = false;
  int weight_ = FW_NORMAL;
  std::unordered_map<char32_t, Glyph> glyphs_;
  Glyph Render(char32_t code);
  friend SizedFont* MakeSizedFont(const LOGFONTA& font);
};

}  // namespace platform::gdi
