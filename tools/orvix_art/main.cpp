// orvix_art: draws the bitmaps of the device dialogs and the panel (buttons, PTZ arrows,
// relay lamps, slider channels and thumbs) in one look on the dialogs' dark background, and
// writes them as 24-bit BMP files named by resource ID.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: orvix_art --out DIR\n"
    "Writes the device dialogs' bitmaps (ID.bmp, 24-bit) into DIR, which must exist.\n";

struct Rgb {
  int r, g, b;
};

constexpr Rgb kBackground{32, 48, 64};
constexpr Rgb kFaceNormal{58, 86, 114};
constexpr Rgb kFaceHover{78, 112, 146};
constexpr Rgb kFacePressed{40, 62, 84};
constexpr Rgb kEdge{110, 146, 180};
constexpr Rgb kGlyph{230, 238, 246};

enum class State { kNormal, kHover, kPressed };

class Image {
 public:
  Image(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w * h), kBackground) {}
  int w() const { return w_; }
  int h() const { return h_; }
  void Set(int x, int y, Rgb c) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<size_t>(y * w_ + x)] = c;
  }
  Rgb Get(int x, int y) const { return px_[static_cast<size_t>(y * w_ + x)]; }
  void Fill(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) Set(x, y, c);
    }
  }
  bool Write(const std::string& path) const {
    int stride = (w_ * 3 + 3) & ~3;
    uint32_t size = 54 + static_cast<uint32_t>(stride * h_);
    std::vector<uint8_t> out(size, 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&out[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&out[at], &v, 2); };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w_));
    put32(22, static_cast<uint32_t>(h_));
    put16(26, 1);
    put16(28, 24);
    put32(34, static_cast<uint32_t>(stride * h_));
    for (int y = 0; y < h_; ++y) {
      uint8_t* row = &out[54 + static_cast<size_t>((h_ - 1 - y) * stride)];  // bottom-up
      for (int x = 0; x < w_; ++x) {
        Rgb c = Get(x, y);
        row[x * 3] = static_cast<uint8_t>(c.b);
        row[x * 3 + 1] = static_cast<uint8_t>(c.g);
        row[x * 3 + 2] = static_cast<uint8_t>(c.r);
      }
    }
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(f);
  }

 private:
  int w_, h_;
  std::vector<Rgb> px_;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  return Rgb{static_cast<int>(a.r + (b.r - a.r) * t), static_cast<int>(a.g + (b.g - a.g) * t),
             static_cast<int>(a.b + (b.b - a.b) * t)};
}

Rgb FaceOf(State s) {
  return s == State::kHover ? kFaceHover : s == State::kPressed ? kFacePressed : kFaceNormal;
}

// A rounded face with a soft vertical light, an edge, and the corners left as background.
void Face(Image* img, State s, int radius) {
  Rgb face = FaceOf(s);
  Rgb top = Mix(face, Rgb{255, 255, 255}, s == State::kPressed ? 0.02 : 0.18);
  int w = img->w(), h = img->h();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int dx = x < radius ? radius - x : x >= w - radius ? x - (w - radius - 1) : 0;
      int dy = y < radius ? radius - y : y >= h - radius ? y - (h - radius - 1) : 0;
      double d = std::sqrt(dx * dx + dy * dy);
      if (d > radius + 0.5) continue;
      bool edge = d > radius - 0.8 || x == 0 || y == 0 || x == w - 1 || y == h - 1;
      Rgb c = edge ? (s == State::kPressed ? kFacePressed : kEdge)
                   : Mix(top, face, static_cast<double>(y) / h);
      img->Set(x, y, c);
    }
  }
}

// A filled triangle pointing along (dx, dy) (one of the eight directions), centred.
void Arrow(Image* img, int dx, int dy, int shift) {
  double cx = img->w() / 2.0 + shift, cy = img->h() / 2.0 + shift;
  double len = std::hypot(dx, dy);
  double ux = dx / len, uy = dy / len, vx = -uy, vy = ux;
  double size = std::min(img->w(), img->h()) * 0.28;
  for (int y = 0; y < img->h(); ++y) {
    for (int x = 0; x < img->w(); ++x) {
      double px = x + 0.5 - cx, py = y + 0.5 - cy;
      double along = px * ux + py * uy, across = px * vx + py * vy;
      // Tip at +size, base at -size * 0.6, half width at the base size.
      if (along > size || along < -size * 0.6) continue;
      double half = (size - along) / (1.6 * size) * size;
      if (std::abs(across) <= half) img->Set(x, y, kGlyph);
    }
  }
}

void Sign(Image* img, bool plus, int shift) {
  int cx = img->w() / 2 + shift, cy = img->h() / 2 + shift;
  int arm = std::min(img->w(), img->h()) / 4;
  img->Fill(cx - arm, cy - 1, cx + arm, cy + 2, kGlyph);
  if (plus) img->Fill(cx - 1, cy - arm, cx + 2, cy + arm, kGlyph);
}

void StopMark(Image* img, int shift) {
  int cx = img->w() / 2 + shift, cy = img->h() / 2 + shift, r = img->w() / 6;
  img->Fill(cx - r, cy - r, cx + r, cy + r, kGlyph);
}

void Lamp(Image* img, bool on, bool hover) {
  Rgb lit = on ? Rgb{70, 200, 90} : Rgb{90, 98, 108};
  if (hover) lit = Mix(lit, Rgb{255, 255, 255}, 0.25);
  double c = (img->w() - 1) / 2.0, r = img->w() / 2.0 - 2;
  for (int y = 0; y < img->h(); ++y) {
    for (int x = 0; x < img->w(); ++x) {
      double d = std::hypot(x - c, y - c);
      if (d <= r) img->Set(x, y, Mix(Rgb{255, 255, 255}, lit, std::min(1.0, d / r + 0.45)));
      if (d > r && d <= r + 1.2) img->Set(x, y, kEdge);
    }
  }
}

void Channel(Image* img) {
  int mid = img->h() / 2;
  img->Fill(0, mid - 2, img->w(), mid + 2, Rgb{18, 28, 38});
  img->Fill(0, mid - 2, img->w(), mid - 1, Rgb{12, 18, 26});
  img->Fill(0, mid + 1, img->w(), mid + 2, Rgb{70, 96, 120});
}

bool Save(const std::string& dir, int id, const Image& img) {
  std::string path = dir + "/" + std::to_string(id) + ".bmp";
  if (img.Write(path)) return true;
  std::cerr << "orvix_art: cannot write " << path << ": " << std::strerror(errno) << "\n";
  return false;
}

struct Triple {
  int normal, hover, pressed;
};

// Buttons of three states drawn by `glyph`, each `w` x `h`.
template <typename Glyph>
bool Buttons(const std::string& dir, Triple ids, int w, int h, Glyph glyph) {
  const State states[] = {State::kNormal, State::kHover, State::kPressed};
  const int id[] = {ids.normal, ids.hover, ids.pressed};
  for (int i = 0; i < 3; ++i) {
    Image img(w, h);
    Face(&img, states[i], 5);
    glyph(&img, states[i] == State::kPressed ? 1 : 0);
    if (!Save(dir, id[i], img)) return false;
  }
  return true;
}

bool DrawAll(const std::string& dir) {
  struct Ptz {
    Triple ids;
    int dx, dy;  // arrow direction; 0, 0: the stop mark
  } arrows[] = {{{125, 126, 124}, -1, -1}, {{131, 132, 130}, 0, -1}, {{134, 135, 133}, 1, -1},
                {{121, 122, 123}, -1, 0},  {{137, 138, 136}, 0, 0},  {{139, 140, 141}, 1, 0},
                {{128, 129, 127}, -1, 1},  {{142, 143, 144}, 0, 1},  {{146, 147, 145}, 1, 1}};
  for (const Ptz& p : arrows) {
    bool ok = Buttons(dir, p.ids, 32, 32, [&](Image* img, int shift) {
      if (p.dx == 0 && p.dy == 0) {
        StopMark(img, shift);
      } else {
        Arrow(img, p.dx, p.dy, shift);
      }
    });
    if (!ok) return false;
  }
  struct Pm {
    Triple ids;
    bool plus;
  } signs[] = {{{149, 150, 151}, true},  {{152, 153, 148}, false}, {{155, 156, 157}, true},
               {{158, 159, 154}, false}, {{165, 166, 161}, true},  {{162, 163, 164}, false}};
  for (const Pm& s : signs) {
    if (!Buttons(dir, s.ids, 32, 24, [&](Image* img, int shift) { Sign(img, s.plus, shift); })) {
      return false;
    }
  }
  auto blank = [](Image*, int) {};
  if (!Buttons(dir, {1286, 1287, 1288}, 72, 24, blank) ||
      !Buttons(dir, {316, 317, 318}, 72, 24, blank) ||
      !Buttons(dir, {1283, 1284, 1285}, 56, 22, blank)) {
    return false;
  }
  const struct {
    int id;
    bool on, hover;
  } lamps[] = {{319, false, false}, {321, false, true}, {320, true, false}, {322, true, true}};
  for (const auto& l : lamps) {
    Image img(24, 24);
    Lamp(&img, l.on, l.hover);
    if (!Save(dir, l.id, img)) return false;
  }
  const struct {
    int channel, thumb, length, thumb_w, thumb_h;
  } sliders[] = {{173, 174, 320, 12, 18}, {1289, 1290, 150, 10, 16}};
  for (const auto& s : sliders) {
    Image channel(s.length, s.thumb_h);
    Channel(&channel);
    Image thumb(s.thumb_w, s.thumb_h);
    Face(&thumb, State::kHover, 3);
    if (!Save(dir, s.channel, channel) || !Save(dir, s.thumb, thumb)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else {
      std::cerr << "orvix_art: unknown or incomplete option " << a << "\n" << kUsage;
      return 2;
    }
  }
  if (out.empty()) {
    std::cerr << "orvix_art: --out is needed\n" << kUsage;
    return 2;
  }
  return DrawAll(out) ? 0 : 1;
}
