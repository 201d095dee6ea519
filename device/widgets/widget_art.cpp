#include "device/widgets/widget_art.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>

#include "device/widgets/art_canvas.h"

namespace device::widgets {
namespace {

using art::Bar;
using art::Canvas;
using art::Disc;
using art::Mix;
using art::Point;
using art::Polygon;
using art::Rgb;
using art::Ring;
using art::RoundRect;

enum class State { kNormal, kHover, kPressed };

constexpr Rgb kBack{32, 48, 64};
constexpr Rgb kAccent{0, 170, 255};
constexpr double kPi = 3.14159265358979;

// The face of every button: a lit top fading to a darker bottom, reversed when pressed.
std::function<Rgb(double)> Face(State s) {
  Rgb top = s == State::kHover ? Rgb{104, 128, 156} : Rgb{84, 106, 132};
  Rgb bottom = s == State::kHover ? Rgb{52, 70, 92} : Rgb{40, 56, 74};
  if (s == State::kPressed) std::swap(top, bottom);
  return [=](double t) { return Mix(top, bottom, t); };
}

Rgb GlyphColor(State s) {
  return s == State::kNormal  ? Rgb{226, 234, 242}
         : s == State::kHover ? Rgb{255, 255, 255}
                              : kAccent;
}

Rgb RimColor(State s) { return s == State::kNormal ? Rgb{120, 140, 162} : kAccent; }

// --- PTZ buttons: 30 x 30 discs ---------------------------------------------------------------
constexpr int kPtzSize = 30;

enum class Glyph { kArrow, kStop, kZoomOut, kZoomIn, kFocusFar, kFocusNear, kIrisClose, kIrisOpen };

struct PtzArt {
  Glyph glyph;
  double angle;  // arrows: direction, degrees counter-clockwise from "right"
};

void ArrowGlyph(Canvas* c, double cx, double cy, double angle, Rgb color) {
  double a = angle * kPi / 180;
  auto at = [&](double along, double across) {
    return Point{cx + along * std::cos(a) - across * std::sin(a),
                 cy - along * std::sin(a) - across * std::cos(a)};
  };
  c->Fill(Polygon({at(7.5, 0), at(-3.5, 6), at(-1.5, 0), at(-3.5, -6)}), color);
}

void MagnifierGlyph(Canvas* c, double cx, double cy, bool plus, Rgb color) {
  c->Fill(Ring(cx - 1.5, cy - 1.5, 4.6, 6.2), color);
  c->Fill(Bar({cx + 3, cy + 3}, {cx + 7, cy + 7}, 1.4), color);
  c->Fill(Bar({cx - 4, cy - 1.5}, {cx + 1, cy - 1.5}, 0.9), color);
  if (plus) c->Fill(Bar({cx - 1.5, cy - 4}, {cx - 1.5, cy + 1}, 0.9), color);
}

void FocusGlyph(Canvas* c, double cx, double cy, bool far, Rgb color) {
  double dir = far ? -1 : 1;  // the triangle points up for "far"
  c->Fill(Polygon({{cx, cy + dir * 6.5}, {cx - 6, cy - dir * 1}, {cx + 6, cy - dir * 1}}), color);
  c->Fill(Bar({cx - 6, cy - dir * 4.5}, {cx + 6, cy - dir * 4.5}, 1.1), color);
}

void IrisGlyph(Canvas* c, double cx, double cy, bool open, Rgb color) {
  if (open) {
    c->Fill(Disc(cx, cy, 3.6), color);
    for (int i = 0; i < 8; ++i) {
      double a = i * kPi / 4;
      c->Fill(Bar({cx + 5.5 * std::cos(a), cy + 5.5 * std::sin(a)},
                  {cx + 8 * std::cos(a), cy + 8 * std::sin(a)}, 0.9),
              color);
    }
  } else {
    c->Fill(Ring(cx, cy, 4.4, 6), color);
    c->Fill(Bar({cx - 4.5, cy + 4.5}, {cx + 4.5, cy - 4.5}, 1), color);
  }
}

Canvas DrawPtz(const PtzArt& art, State s) {
  Canvas c(kPtzSize, kPtzSize, kBack);
  double m = kPtzSize / 2.0;
  c.Fill(Disc(m, m, m - 0.5), RimColor(s));
  c.Fill(Disc(m, m, m - 2), Face(s));
  double cx = m, cy = m + (s == State::kPressed ? 1 : 0);
  Rgb g = GlyphColor(s);
  switch (art.glyph) {
    case Glyph::kArrow:
      ArrowGlyph(&c, cx, cy, art.angle, g);
      break;
    case Glyph::kStop:
      c.Fill(RoundRect(cx - 4.5, cy - 4.5, cx + 4.5, cy + 4.5, 1.5), g);
      break;
    case Glyph::kZoomOut:
      MagnifierGlyph(&c, cx, cy, false, g);
      break;
    case Glyph::kZoomIn:
      MagnifierGlyph(&c, cx, cy, true, g);
      break;
    case Glyph::kFocusFar:
      FocusGlyph(&c, cx, cy, true, g);
      break;
    case Glyph::kFocusNear:
      FocusGlyph(&c, cx, cy, false, g);
      break;
    case Glyph::kIrisClose:
      IrisGlyph(&c, cx, cy, false, g);
      break;
    case Glyph::kIrisOpen:
      IrisGlyph(&c, cx, cy, true, g);
      break;
  }
  c.KeyOutside(Disc(m, m, m - 0.5), kTransparentKey);
  return c;
}

// --- Rectangular buttons ------------------------------------------------------------------------
Canvas DrawPlate(int w, int h, State s) {
  Canvas c(w, h, kBack);
  c.Fill(RoundRect(0, 0, w, h, 4), RimColor(s));
  c.Fill(RoundRect(1, 1, w - 1, h - 1, 3), Face(s));
  if (s != State::kPressed) c.Fill(RoundRect(2, 1.2, w - 2, 2.2, 1), Rgb{255, 255, 255}.Lighter(0));
  return c;
}

Canvas DrawRelay(bool second, bool on) {
  constexpr int w = 36, h = 24;
  Canvas c(w, h, kBack);
  c.Fill(RoundRect(0, 0, w, h, 4), on ? Rgb{60, 200, 110} : Rgb{110, 124, 140});
  c.Fill(RoundRect(1, 1, w - 1, h - 1, 3), Face(State::kNormal));
  Rgb lamp = on ? Rgb{70, 230, 110} : Rgb{70, 82, 96};
  if (on) c.Fill(Disc(10, 12, 6.5), Mix(kBack, lamp, 0.45));
  c.Fill(Disc(10, 12, 4.5), lamp);
  ArrowGlyph(&c, 25, 12, second ? -90 : 90, on ? Rgb{255, 255, 255} : Rgb{170, 182, 196});
  return c;
}

// --- Slider --------------------------------------------------------------------------------------
Canvas DrawChannel() {
  Canvas c(200, 8, kBack);
  c.Fill(RoundRect(0, 1, 200, 7, 3), Rgb{88, 108, 130});
  c.Fill(RoundRect(0.8, 1.6, 199.2, 6.2, 2.5), Rgb{16, 24, 34});
  return c;
}

Canvas DrawThumb() {
  Canvas c(12, 18, kBack);
  c.Fill(RoundRect(0, 0, 12, 18, 3), Rgb{20, 30, 42});
  c.Fill(RoundRect(1, 1, 11, 17, 2.5), [](double t) {
    return Mix({214, 226, 238}, {124, 146, 170}, t);
  });
  c.Fill(Bar({6, 5}, {6, 13}, 0.9), kAccent);
  return c;
}

struct Entry {
  enum class Kind { kPtz, kPlate, kRelay, kChannel, kThumb } kind;
  PtzArt ptz{Glyph::kArrow, 0};
  State state = State::kNormal;
  int w = 0, h = 0;
  bool second = false, on = false;
};

void AddPtz(std::map<UINT, Entry>* m, const PtzBitmaps& ids, PtzArt art) {
  const UINT by_state[3] = {ids.normal, ids.hover, ids.pressed};
  for (int i = 0; i < 3; ++i) {
    Entry e{Entry::Kind::kPtz};
    e.ptz = art;
    e.state = static_cast<State>(i);
    (*m)[by_state[i]] = e;
  }
}

void AddPlate(std::map<UINT, Entry>* m, UINT base, int w, int h) {
  for (int i = 0; i < 3; ++i) {
    Entry e{Entry::Kind::kPlate};
    e.state = static_cast<State>(i);
    e.w = w;
    e.h = h;
    (*m)[base + i] = e;
  }
}

// An object, not a pointer left to the end of the process: a module that is unloaded frees it.
const std::map<UINT, Entry>& Catalogue() {
  static const std::map<UINT, Entry> catalogue = [] {
    std::map<UINT, Entry> built;
    auto* m = &built;
    // Glyphs by what each button does: the lens pairs are focus, zoom and iris.
    constexpr PtzArt kArt[15] = {
        {Glyph::kArrow, 135}, {Glyph::kArrow, 90},   {Glyph::kArrow, 45},    {Glyph::kArrow, 180},
        {Glyph::kStop, 0},    {Glyph::kArrow, 0},    {Glyph::kArrow, 225},   {Glyph::kArrow, 270},
        {Glyph::kArrow, 315}, {Glyph::kFocusFar, 0}, {Glyph::kFocusNear, 0}, {Glyph::kZoomIn, 0},
        {Glyph::kZoomOut, 0}, {Glyph::kIrisOpen, 0}, {Glyph::kIrisClose, 0}};
    for (int i = 0; i < 15; ++i) AddPtz(m, kPtzButtonBitmaps[i], kArt[i]);
    AddPlate(m, 316, 96, 24);   // the panel's text buttons
    AddPlate(m, 1283, 44, 22);  // the preset buttons
    AddPlate(m, 1286, 80, 24);  // the dialogs' buttons
    for (UINT id = 319; id <= 322; ++id) {
      Entry e{Entry::Kind::kRelay};
      e.second = id >= 321;
      e.on = id % 2 == 0;
      (*m)[id] = e;
    }
    (*m)[1289] = Entry{Entry::Kind::kChannel};
    (*m)[1290] = Entry{Entry::Kind::kThumb};
    (*m)[173] = Entry{Entry::Kind::kChannel};  // the playback position slider
    (*m)[174] = Entry{Entry::Kind::kThumb};
    return built;
  }();
  return catalogue;
}

Canvas Draw(const Entry& e) {
  switch (e.kind) {
    case Entry::Kind::kPtz:
      return DrawPtz(e.ptz, e.state);
    case Entry::Kind::kPlate:
      return DrawPlate(e.w, e.h, e.state);
    case Entry::Kind::kRelay:
      return DrawRelay(e.second, e.on);
    case Entry::Kind::kChannel:
      return DrawChannel();
    case Entry::Kind::kThumb:
      return DrawThumb();
  }
  return Canvas(1, 1, kBack);
}

}  // namespace

// Each picture is drawn once per process; every call makes a fresh bitmap of it.
HBITMAP DrawWidgetBitmap(UINT id) {
  auto it = Catalogue().find(id);
  if (it == Catalogue().end()) return nullptr;
  static std::mutex mutex;
  // Kept with the module that draws them: freed when it is unloaded.
  static std::map<UINT, Canvas> drawn;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = drawn.find(id);
  if (found == drawn.end()) found = drawn.emplace(id, Draw(it->second)).first;
  return found->second.ToBitmap();
}

HBITMAP LoadWidgetBitmap(UINT id) {
  if (HBITMAP file = LoadBitmapA(nullptr, MAKEINTRESOURCEA(id))) return file;
  return DrawWidgetBitmap(id);
}

std::vector<UINT> WidgetBitmapIds() {
  std::vector<UINT> ids;
  for (const auto& [id, entry] : Catalogue()) ids.push_back(id);
  return ids;
}

bool SaveWidgetBitmap(UINT id, const std::string& path, std::string* error) {
  HBITMAP bitmap = DrawWidgetBitmap(id);
  if (bitmap == nullptr) {
    *error = "no artwork for bitmap " + std::to_string(id);
    return false;
  }
  BITMAP bm{};
  GetObjectA(bitmap, sizeof bm, &bm);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  int row = (bm.bmWidth * 3 + 3) & ~3;
  std::vector<uint8_t> pixels(static_cast<size_t>(row) * bm.bmHeight);
  for (int y = 0; y < bm.bmHeight; ++y) {
    uint8_t* out = &pixels[static_cast<size_t>(bm.bmHeight - 1 - y) * row];
    for (int x = 0; x < bm.bmWidth; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      out[x * 3] = GetBValue(c);
      out[x * 3 + 1] = GetGValue(c);
      out[x * 3 + 2] = GetRValue(c);
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  info.biSize = sizeof info;
  info.biWidth = bm.bmWidth;
  info.biHeight = bm.bmHeight;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(pixels.size());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    *error = "cannot write " + path;
    return false;
  }
  bool ok = std::fwrite(&file, sizeof file, 1, f) == 1 &&
            std::fwrite(&info, sizeof info, 1, f) == 1 &&
            std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) *error = "cannot write " + path;
  return ok;
}

}  // namespace device::widgets
