#include "videolib/video_out.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/ddraw/test_support.h"
#include "platform/kernel/clock.h"
#include "videolib/pixel_convert.h"
#include "videolib/surface.h"
#include "videolib/video_wnd.h"
#include "videolib/videownd_test_support.h"

namespace {

using videownd_test::ClientOnScreen;
using videownd_test::Desktop;
using videownd_test::ParentWindow;

struct Yuv {
  BYTE y, u, v;
};
constexpr Yuv kRed{82, 90, 240};
constexpr Yuv kBlue{41, 240, 110};
constexpr Yuv kYellow{210, 16, 146};
constexpr Yuv kCyan{170, 166, 16};

std::vector<BYTE> Yuy2Picture(int w, int h, Yuv c) {
  std::vector<BYTE> p(static_cast<size_t>(w) * h * 2);
  for (size_t i = 0; i < p.size(); i += 4) {
    p[i] = c.y;
    p[i + 1] = c.u;
    p[i + 2] = c.y;
    p[i + 3] = c.v;
  }
  return p;
}

// The desktop colour the DrawDib path gives a flat YUY2 colour.
uint32_t DibColor(Yuv c) {
  std::vector<BYTE> p = Yuy2Picture(4, 1, c);
  BYTE bgr[12];
  pixel::reference::Yuy2ToBgr24(p.data(), bgr, 4, 1);
  return (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d < -4 || d > 4) return false;
  }
  return true;
}

IDirectDrawSurface7* MakeYuy2Surface(IDirectDraw7* dd, int w, int h, Yuv c) {
  DDPIXELFORMAT yuy2{};
  yuy2.dwSize = sizeof(DDPIXELFORMAT);
  yuy2.dwFlags = DDPF_FOURCC;
  yuy2.dwFourCC = MAKEFOURCC('Y', 'U', 'Y', '2');
  yuy2.dwYUVBitCount = 16;
  IDirectDrawSurface7* s = platform::ddraw::test::CreateOffscreen(dd, w, h, yuy2);
  if (s == nullptr) return nullptr;
  DDSURFACEDESC2 locked{};
  locked.dwSize = sizeof(locked);
  if (FAILED(s->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr))) return s;
  std::vector<BYTE> row = Yuy2Picture(w, 1, c);
  for (int y = 0; y < h; ++y) {
    std::memcpy(static_cast<BYTE*>(locked.lpSurface) + static_cast<size_t>(y) * locked.lPitch,
                row.data(), row.size());
  }
  s->Unlock(nullptr);
  return s;
}

#if VIDEOLIB_GDI_TEXT
IDirectDrawSurface7* MakeOsdSurface(IDirectDraw7* dd, int w, int h) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = w;
  desc.dwHeight = h;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface7* s = nullptr;
  return SUCCEEDED(dd->CreateSurface(&desc, &s, nullptr)) ? s : nullptr;
}
#endif

class VideoOutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(out_.InitDirectDraw(), DD_OK);
    ASSERT_EQ(out_.InitDrawDib(), 1);
    MakeWindow(&a_, RECT{10, 10, 362, 298}, 0);
    MakeWindow(&b_, RECT{400, 10, 752, 298}, 1);
  }
  void TearDown() override {
    for (IDirectDrawSurface7* s : surfaces_) s->Release();
  }
  void MakeWindow(CVideoWnd* w, const RECT& r, int id) {
    w->Init(nullptr, id);
    ASSERT_TRUE(w->CreateWnd(r, parent_.hwnd(), id));
    desktop_.Drain();
  }
  IDirectDrawSurface7* Keep(IDirectDrawSurface7* s) {
    if (s != nullptr) surfaces_.push_back(s);
    return s;
  }
  // Every pixel of `r` (screen) has the colour, and the pixels just outside it do not.
  void ExpectFilled(const RECT& r, uint32_t color, bool exact = true) {
    auto same = [&](int x, int y) {
      return exact ? desktop_.Pixel(x, y) == color : Near(desktop_.Pixel(x, y), color);
    };
    int misses = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) misses += same(x, y) ? 0 : 1;
    }
    EXPECT_EQ(misses, 0) << "inside " << r.left << "," << r.top << "," << r.right << ","
                         << r.bottom;
    EXPECT_FALSE(same(r.left - 1, r.top));
    EXPECT_FALSE(same(r.left, r.top - 1));
    EXPECT_FALSE(same(r.right, r.bottom - 1));
    EXPECT_FALSE(same(r.right - 1, r.bottom));
  }
  RECT OnScreen(HWND hwnd, RECT client_rect) {
    RECT c = ClientOnScreen(hwnd);
    OffsetRect(&client_rect, c.left, c.top);
    return client_rect;
  }
#if VIDEOLIB_GDI_TEXT
  HRESULT Blt(IDirectDrawSurface7* s, HWND hwnd, RECT* dst, IDirectDrawSurface7* osd,
              const void* panel = nullptr) {
    return out_.BltSurface(s, hwnd, panel, 0, dst, osd);
  }
#else
  HRESULT Blt(IDirectDrawSurface7* s, HWND hwnd, RECT* dst, IDirectDrawSurface7* = nullptr,
              const void* panel = nullptr) {
    return out_.BltSurface(s, hwnd, panel, 0, dst);
  }
#endif

  Desktop desktop_;
  ParentWindow parent_{0, 0, 800, 600};
  CVideoOut out_;
  CVideoWnd a_;
  CVideoWnd b_;
  std::vector<IDirectDrawSurface7*> surfaces_;
};

TEST_F(VideoOutTest, SetUpIsIdempotentAndReleaseEmptiesTheRenderer) {
  IDirectDraw7* dd = out_.GetDirectDraw();
  ASSERT_NE(dd, nullptr);
  EXPECT_NE(out_.GetPrimarySurface(), nullptr);
  EXPECT_NE(out_.GetClipper(), nullptr);
  EXPECT_EQ(out_.InitDirectDraw(), DD_OK);
  EXPECT_EQ(out_.GetDirectDraw(), dd);
  DDPIXELFORMAT primary{};
  primary.dwSize = sizeof(primary);
  out_.GetPrimarySurface()->GetPixelFormat(&primary);
  EXPECT_EQ(std::memcmp(&CSurface::PrimaryPixelFormat(), &primary, sizeof(primary)), 0);
  EXPECT_EQ(CSurface::GetPixelFormat(23), &CSurface::PrimaryPixelFormat());
  out_.UninitRender();
  EXPECT_EQ(out_.GetDirectDraw(), nullptr);
  EXPECT_EQ(out_.GetPrimarySurface(), nullptr);
  EXPECT_EQ(out_.GetDrawDib(), nullptr);
  EXPECT_EQ(platform::ddraw::LiveObjectCount(), 0);
  EXPECT_EQ(out_.InitDirectDraw(), DD_OK);
  EXPECT_EQ(out_.InitDrawDib(), 1);
}

TEST_F(VideoOutTest, DrawDibFillsTheClientAreaLessTitleAndFocusFrame) {
  std::vector<BYTE> pic = Yuy2Picture(352, 288, kRed);
  RECT client;
  GetClientRect(a_.m_hWnd, &client);
  ASSERT_EQ(out_.DrawDibYuy2(pic.data(), a_.m_hWnd, nullptr, 0, 0, 0, 352, 288), 0);
  ExpectFilled(OnScreen(a_.m_hWnd, client), DibColor(kRed));

  std::vector<BYTE> blue = Yuy2Picture(176, 144, kBlue);
  InvalidateRect(a_.m_hWnd, nullptr, TRUE);
  desktop_.Drain();
  ASSERT_EQ(out_.DrawDibYuy2(blue.data(), a_.m_hWnd, nullptr, 0, 1, 1, 176, 144), 0);
  RECT inset{2, 20, client.right - 2, client.bottom - 2};
  ExpectFilled(OnScreen(a_.m_hWnd, inset), DibColor(kBlue));
  RECT target = CVideoOut::DrawDibTarget(a_.m_hWnd, 1, 0);
  EXPECT_EQ(target.top, 20);
  EXPECT_EQ(target.left, 0);
}

TEST_F(VideoOutTest, DrawDibKeepsRowsStraightForWidthsWithPaddedRows) {
  // 354 x 3 bytes is not a multiple of 4: DIB rows then carry padding.
  const int w = 354, h = 100;
  std::vector<BYTE> pic = Yuy2Picture(w, h, kBlue);
  for (int y = 0; y < h; ++y) {  // a red band over the first 8 columns of every row
    for (int x = 0; x < 8; x += 2) {
      BYTE* p = &pic[(static_cast<size_t>(y) * w + x) * 2];
      p[0] = p[2] = kRed.y;
      p[1] = kRed.u;
      p[3] = kRed.v;
    }
  }
  MoveWindow(a_.m_hWnd, 10, 10, w + 2, h + 2, TRUE);  // one pixel per picture pixel
  desktop_.Drain();
  RECT client;
  GetClientRect(a_.m_hWnd, &client);
  ASSERT_EQ(client.right, w - (VIDEOLIB_GDI_TEXT ? 2 : 0));
  ASSERT_EQ(out_.DrawDibYuy2(pic.data(), a_.m_hWnd, nullptr, 0, 0, 0, w, h), 0);
  RECT c = ClientOnScreen(a_.m_hWnd);
  for (int y = 0; y < client.bottom; y += 7) {
    EXPECT_EQ(desktop_.Pixel(c.left + 1, c.top + y), DibColor(kRed)) << "row " << y;
    EXPECT_EQ(desktop_.Pixel(c.left + 20, c.top + y), DibColor(kBlue)) << "row " << y;
  }
}

// Bytes that differ from pixel to pixel and from row to row, so that every pixel's own
// luma and chroma and its neighbour's chroma show in the result.
std::vector<BYTE> NoisePicture(size_t bytes, uint32_t seed) {
  std::vector<BYTE> p(bytes);
  for (BYTE& b : p) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<BYTE>(seed >> 24);
  }
  return p;
}

// What the window showed when the DrawDib path converted the whole picture and stretched
// it: YUY2 to BGR24, rows bottom-up, StretchDIBits over the target rectangle.
void DrawWholePicture(HWND hwnd, const BYTE* yuy2, int w, int h, int title, int focus) {
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  std::vector<BYTE> bgr(static_cast<size_t>(w) * h * 3), dib(stride * h);
  pixel::reference::Yuy2ToBgr24(yuy2, bgr.data(), w, h);
  for (int y = 0; y < h; ++y) {
    std::memcpy(&dib[stride * (h - 1 - y)], &bgr[static_cast<size_t>(w) * 3 * y],
                static_cast<size_t>(w) * 3);
  }
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  RECT t = CVideoOut::DrawDibTarget(hwnd, title, focus);
  HDC dc = GetDC(hwnd);
  StretchDIBits(dc, t.left, t.top, t.right - t.left, t.bottom - t.top, 0, 0, w, h, dib.data(),
                &info, DIB_RGB_COLORS, SRCCOPY);
  ReleaseDC(hwnd, dc);
}

TEST_F(VideoOutTest, DrawDibShowsExactlyWhatStretchingTheWholePictureShowed) {
  struct Size {
    int w, h;
  };
  const Size pictures[] = {{704, 576}, {720, 576}, {352, 288}, {354, 100}, {176, 144},
                           {640, 480}, {702, 575}, {2, 2},     {8, 3}};
  const Size windows[] = {{352, 288}, {176, 144}, {351, 287}, {700, 120}, {90, 500},
                          {720, 576}, {1, 1},     {3, 5},     {706, 590}, {342, 260}};
  uint32_t seed = 1;
  int compared = 0;
  // Wholly visible windows get the picture in their own pixels; windows that reach past
  // the desktop's right edge get it through a bitmap.
  for (bool covered : {false, true}) {
    for (const Size& p : pictures) {
      const std::vector<BYTE> yuy2 = NoisePicture(static_cast<size_t>(p.w) * p.h * 2, ++seed);
      const std::vector<BYTE> planar = NoisePicture(static_cast<size_t>(p.w) * p.h * 3 / 2, ++seed);
      std::vector<BYTE> planar_yuy2(static_cast<size_t>(p.w) * p.h * 2);
      pixel::Yuv420pToYuy2(planar.data(), planar_yuy2.data(), p.w, p.h);
      const BYTE* u = planar.data() + static_cast<size_t>(p.w) * p.h;
      const BYTE* v = u + static_cast<size_t>(p.w) * p.h / 4;
      // The same planes as a decoder hands them out: rows padded, with noise past their ends.
      const size_t ys = static_cast<size_t>(p.w) + 40, uvs = static_cast<size_t>(p.w) / 2 + 24;
      std::vector<BYTE> padded = NoisePicture(ys * p.h + 2 * uvs * ((p.h + 1) / 2), ++seed);
      BYTE* py = padded.data();
      BYTE* pu = py + ys * p.h;
      BYTE* pv = pu + uvs * ((p.h + 1) / 2);
      for (int r = 0; r < p.h; ++r) {
        std::memcpy(py + ys * r, planar.data() + static_cast<size_t>(p.w) * r, p.w);
      }
      for (int r = 0; r < p.h / 2; ++r) {
        std::memcpy(pu + uvs * r, u + static_cast<size_t>(p.w / 2) * r, p.w / 2);
        std::memcpy(pv + uvs * r, v + static_cast<size_t>(p.w / 2) * r, p.w / 2);
      }
      for (const Size& wnd : windows) {
        const int title = (compared / 2) % 2, focus = (compared / 3) % 2;
        MoveWindow(a_.m_hWnd, covered ? 800 - (wnd.w + 3) / 2 : 0, 0, wnd.w + 2, wnd.h + 2, TRUE);
        desktop_.Drain();
        RECT t = OnScreen(a_.m_hWnd, CVideoOut::DrawDibTarget(a_.m_hWnd, title, focus));
        t.right = std::min<LONG>(t.right, 800);
        t.bottom = std::min<LONG>(t.bottom, 600);
        auto grab = [&] {
          std::vector<uint32_t> shown;
          for (int y = t.top; y < t.bottom; ++y) {
            for (int x = t.left; x < t.right; ++x) shown.push_back(desktop_.Pixel(x, y));
          }
          return shown;
        };
        for (int planar_form = 0; planar_form < 3; ++planar_form) {
          const BYTE* as_yuy2 = planar_form ? planar_yuy2.data() : yuy2.data();
          DrawWholePicture(a_.m_hWnd, as_yuy2, p.w, p.h, title, focus);
          const std::vector<uint32_t> before = grab();
          HDC dc = GetDC(a_.m_hWnd);  // a picture that draws nothing must not pass
          BitBlt(dc, 0, 0, wnd.w, wnd.h, nullptr, 0, 0, WHITENESS);
          ReleaseDC(a_.m_hWnd, dc);
          int r = planar_form == 2 ? out_.DrawDibPlanes(py, pu, pv, ys, uvs, a_.m_hWnd, nullptr, 0,
                                                        title, focus, p.w, p.h)
                  : planar_form
                      ? out_.DrawDibPlanar(planar.data(), u, v, a_.m_hWnd, nullptr, 0, title, focus,
                                           p.w, p.h)
                      : out_.DrawDibYuy2(as_yuy2, a_.m_hWnd, nullptr, 0, title, focus, p.w, p.h);
          ASSERT_EQ(r, 0);
          static const char* const kForms[] = {" YUY2", " planar", " planar, padded rows"};
          EXPECT_TRUE(before == grab())
              << p.w << "x" << p.h << " into " << wnd.w << "x" << wnd.h << kForms[planar_form]
              << (covered ? ", covered in part" : "");
          ++compared;
        }
      }
    }
  }
}

TEST_F(VideoOutTest, DrawDibRefusesWhatItCannotDraw) {
  std::vector<BYTE> big = Yuy2Picture(736, 576, kRed);
  EXPECT_EQ(out_.DrawDibYuy2(big.data(), a_.m_hWnd, nullptr, 0, 0, 0, 736, 576), -1);
  EXPECT_EQ(out_.DrawDibYuy2(big.data(), a_.m_hWnd, nullptr, 0, 0, 0, 720, 600), -1);
  EXPECT_EQ(out_.DrawDibYuy2(big.data(), nullptr, nullptr, 0, 0, 0, 352, 288), -1);
  // Strides shorter than the rows they hold.
  const BYTE* p = big.data();
  EXPECT_EQ(out_.DrawDibPlanes(p, p, p, 351, 176, a_.m_hWnd, nullptr, 0, 0, 0, 352, 288), -1);
  EXPECT_EQ(out_.DrawDibPlanes(p, p, p, 352, 175, a_.m_hWnd, nullptr, 0, 0, 0, 352, 288), -1);
  RECT c = ClientOnScreen(a_.m_hWnd);
  EXPECT_NE(desktop_.Pixel(c.left + 5, c.top + 5), DibColor(kRed));
  IDirectDrawSurface7* s = Keep(MakeYuy2Surface(out_.GetDirectDraw(), 64, 64, kRed));
  EXPECT_EQ(Blt(nullptr, a_.m_hWnd, nullptr, nullptr), E_FAIL);
  out_.UninitRender();
  EXPECT_EQ(out_.DrawDibYuy2(big.data(), a_.m_hWnd, nullptr, 0, 0, 0, 352, 288), -1);
  RECT dst = c;
  EXPECT_EQ(Blt(s, a_.m_hWnd, &dst, nullptr), E_FAIL);  // no primary surface to blit onto
}

TEST_F(VideoOutTest, BlitLandsOnTheDestinationRectangle) {
  IDirectDraw7* dd = out_.GetDirectDraw();
  IDirectDrawSurface7* s = Keep(MakeYuy2Surface(dd, 352, 288, kYellow));
  ASSERT_NE(s, nullptr);
  RECT dst = ClientOnScreen(a_.m_hWnd);
  dst.top += 20;
  IDirectDrawSurface7* osd = nullptr;
#if VIDEOLIB_GDI_TEXT
  osd = Keep(MakeOsdSurface(dd, 352, 288));
  ASSERT_NE(osd, nullptr);
#endif
  ASSERT_EQ(Blt(s, a_.m_hWnd, &dst, osd), DD_OK);
  ExpectFilled(dst, DibColor(kYellow), false);
}

TEST_F(VideoOutTest, BlitIsClippedToWhatTheWindowShows) {
  IDirectDrawSurface7* s = Keep(MakeYuy2Surface(out_.GetDirectDraw(), 64, 64, kCyan));
  RECT a = ClientOnScreen(a_.m_hWnd);
  RECT wide{a.left, a.top, a.right + 100, a.bottom};  // reaches into window b
  ASSERT_EQ(Blt(s, a_.m_hWnd, &wide, nullptr), DD_OK);
  EXPECT_TRUE(Near(desktop_.Pixel(a.right - 1, a.top + 5), DibColor(kCyan)));
  EXPECT_FALSE(Near(desktop_.Pixel(a.right + 50, a.top + 5), DibColor(kCyan)));
}

TEST_F(VideoOutTest, ALostPrimarySurfaceIsRestoredAndTheBlitRepeated) {
  IDirectDraw7* dd = out_.GetDirectDraw();
  IDirectDrawSurface7* s = Keep(MakeYuy2Surface(dd, 64, 64, kYellow));
  platform::ddraw::LoseSurface(out_.GetPrimarySurface());
  RECT dst = ClientOnScreen(a_.m_hWnd);
  EXPECT_EQ(Blt(s, a_.m_hWnd, &dst, nullptr), DD_OK);
  EXPECT_EQ(out_.GetPrimarySurface()->IsLost(), DD_OK);
  ExpectFilled(dst, DibColor(kYellow), false);
}

TEST_F(VideoOutTest, AStillDrawingPrimaryIsWaitedFor) {
  IDirectDrawSurface7* s = Keep(MakeYuy2Surface(out_.GetDirectDraw(), 64, 64, kCyan));
  platform::ddraw::InjectStillDrawing(out_.GetPrimarySurface(), 5);
  RECT dst = ClientOnScreen(b_.m_hWnd);
  EXPECT_EQ(Blt(s, b_.m_hWnd, &dst, nullptr), DD_OK);
  ExpectFilled(dst, DibColor(kCyan), false);
}

#if VIDEOLIB_GDI_TEXT
struct PanelLog {
  std::atomic<int> calls{0};
  RECT rect{};
  IDirectDrawSurface7* lose = nullptr;  // lost again at every panel drawing
  Desktop* desktop = nullptr;  // when set, a refresh of it is tried while the panel is drawn:
  POINT spot{};                // it either waits (`refresh_waited`) or sees `seen` at `spot`
  bool refresh_waited = false;
  uint32_t seen = 0;
};
PanelLog g_panel;

void MarkPanel(CVideoOut*, HDC dc, const RECT& rect, const void*, int) {
  g_panel.calls++;
  g_panel.rect = rect;
  if (g_panel.desktop != nullptr) {
    std::thread([] {
      platform::display::Framebuffer& fb = g_panel.desktop->display().framebuffer();
      g_panel.refresh_waited = !fb.mutex().try_lock();
      if (g_panel.refresh_waited) return;
      g_panel.seen = fb.Pixel(g_panel.spot.x, g_panel.spot.y);
      fb.mutex().unlock();
    }).join();
  }
  RECT mark{rect.left, rect.top, rect.left + 16, rect.top + 16};
  FillRect(dc, &mark, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (g_panel.lose != nullptr) platform::ddraw::LoseSurface(g_panel.lose);
}

class VideoOutPanelTest : public VideoOutTest {
 protected:
  void SetUp() override {
    VideoOutTest::SetUp();
    g_panel.calls = 0;
    g_panel.lose = nullptr;
    g_panel.desktop = nullptr;
    out_.SetPanelPainter(&MarkPanel);
  }
  void TearDown() override {
    out_.SetPanelPainter(nullptr);
    VideoOutTest::TearDown();
  }
  const int record_ = 0;
};

// A window never shows a picture without its panel, or the panel would flicker. A wholly
// visible window gets the picture in its own pixels, which no refresh of the display sees
// until the panel is on it too; a partly covered one gets picture and panel composed off the
// screen and shown together.
TEST_F(VideoOutPanelTest, DrawDibDrawsThePanelOverThePictureBeforeItIsShown) {
  const RECT target = CVideoOut::DrawDibTarget(a_.m_hWnd, 1, 1);
  std::vector<BYTE> red = Yuy2Picture(352, 288, kRed);
  std::vector<BYTE> blue = Yuy2Picture(352, 288, kBlue);
  for (bool covered : {false, true}) {
    SCOPED_TRACE(covered ? "partly hidden" : "wholly visible");
    // Partly hidden: reaching past the desktop's right edge.
    MoveWindow(a_.m_hWnd, covered ? 600 : 10, 10, 352, 288, TRUE);
    desktop_.Drain();
    const RECT c = ClientOnScreen(a_.m_hWnd);
    g_panel.desktop = nullptr;
    g_panel.calls = 0;
    ASSERT_EQ(out_.DrawDibYuy2(red.data(), a_.m_hWnd, &record_, 0, 1, 1, 352, 288), 0);
    g_panel.desktop = &desktop_;
    g_panel.spot = POINT{c.left + 30, c.top + 60};
    g_panel.refresh_waited = false;
    g_panel.seen = 0;
    ASSERT_EQ(out_.DrawDibYuy2(blue.data(), a_.m_hWnd, &record_, 0, 1, 1, 352, 288), 0);
    EXPECT_EQ(g_panel.calls, 2);
    // The panel's rectangle is the picture's, in the context it is drawn in.
    EXPECT_EQ(g_panel.rect.right - g_panel.rect.left, target.right - target.left);
    EXPECT_EQ(g_panel.rect.bottom - g_panel.rect.top, target.bottom - target.top);
    if (covered) {
      EXPECT_FALSE(g_panel.refresh_waited);
      EXPECT_TRUE(Near(g_panel.seen, DibColor(kRed)));
    } else {
      EXPECT_TRUE(g_panel.refresh_waited);
    }
    EXPECT_EQ(desktop_.Pixel(c.left + 5, c.top + 25), 0xFFFFFFu);
    EXPECT_EQ(desktop_.Pixel(c.left + 30, c.top + 60), DibColor(kBlue));
  }
}

TEST_F(VideoOutPanelTest, BlitGoesThroughTheOverlayWithItsPanel) {
  IDirectDraw7* dd = out_.GetDirectDraw();
  IDirectDrawSurface7* s = Keep(MakeYuy2Surface(dd, 176, 144, kRed));
  IDirectDrawSurface7* osd = Keep(MakeOsdSurface(dd, 176, 144));
  RECT dst = ClientOnScreen(a_.m_hWnd);
  ASSERT_EQ(Blt(s, a_.m_hWnd, &dst, osd, &record_), DD_OK);
  EXPECT_EQ(g_panel.calls, 1);
  EXPECT_EQ(g_panel.rect.right, 176);
  // The 16 x 16 mark of the overlay is stretched with the picture (x 2).
  EXPECT_EQ(desktop_.Pixel(dst.left + 30, dst.top + 30), 0xFFFFFFu);
  EXPECT_TRUE(Near(desktop_.Pixel(dst.left + 34, dst.top + 34), DibColor(kRed)));
}

TEST_F(VideoOutPanelTest, ASecondLossInOnePresentationIsReturned) {
  IDirectDraw7* dd = out_.GetDirectDraw();
  IDirectDrawSurface7* s = Keep(MakeYuy2Surface(dd, 64, 64, kRed));
  IDirectDrawSurface7* osd = Keep(MakeOsdSurface(dd, 64, 64));
  g_panel.lose = out_.GetPrimarySurface();
  RECT dst = ClientOnScreen(a_.m_hWnd);
  EXPECT_EQ(Blt(s, a_.m_hWnd, &dst, osd, &record_), DDERR_SURFACELOST);
  EXPECT_EQ(g_panel.calls, 2);
}
#endif

// Two channels presenting together: each checks after every presentation that its window
// shows its own latest picture. Shared scratch buffers or a shared clipper used by both at
// once would put one channel's picture (or none) into the other's window.
class ConcurrentPresentation : public VideoOutTest {
 protected:
  template <typename Present>
  int Run(Present present) {
    std::atomic<int> wrong{0};
    auto channel = [&](CVideoWnd* w, Yuv c0, Yuv c1) {
      RECT area = ClientOnScreen(w->m_hWnd);
      for (int i = 0; i < 60; ++i) {
        Yuv c = i % 2 ? c1 : c0;
        if (!present(w, c, i)) {
          wrong++;
          continue;
        }
        for (int k = 0; k < 8; ++k) {
          int x = area.left + 3 + (k * 37) % (area.right - area.left - 6);
          int y = area.top + 22 + (k * 53) % (area.bottom - area.top - 26);
          if (!Near(desktop_.Pixel(x, y), DibColor(c))) wrong++;
        }
      }
    };
    std::thread ta(channel, &a_, kRed, kYellow);
    std::thread tb(channel, &b_, kBlue, kCyan);
    ta.join();
    tb.join();
    return wrong;
  }
};

// While another holder has the renderer lock, neither presentation gets to the screen.
TEST_F(ConcurrentPresentation, EveryPresentationWaitsForTheRendererLock) {
  IDirectDrawSurface7* s = Keep(MakeYuy2Surface(out_.GetDirectDraw(), 64, 64, kYellow));
  std::vector<BYTE> pic = Yuy2Picture(352, 288, kBlue);
  RECT a = ClientOnScreen(a_.m_hWnd);
  RECT b = ClientOnScreen(b_.m_hWnd);
  std::atomic<int> done{0};
  out_.GetLock()->Lock();
  std::thread blit([&] {
    RECT dst = a;
    EXPECT_EQ(Blt(s, a_.m_hWnd, &dst, nullptr), DD_OK);
    done++;
  });
  std::thread dib([&] {
    EXPECT_EQ(out_.DrawDibYuy2(pic.data(), b_.m_hWnd, nullptr, 0, 0, 0, 352, 288), 0);
    done++;
  });
  Sleep(150);
  EXPECT_EQ(done, 0);
  EXPECT_FALSE(Near(desktop_.Pixel(a.left + 5, a.top + 5), DibColor(kYellow)));
  EXPECT_NE(desktop_.Pixel(b.left + 5, b.top + 5), DibColor(kBlue));
  out_.GetLock()->Unlock();
  blit.join();
  dib.join();
  EXPECT_EQ(done, 2);
  EXPECT_TRUE(Near(desktop_.Pixel(a.left + 5, a.top + 5), DibColor(kYellow)));
  EXPECT_EQ(desktop_.Pixel(b.left + 5, b.top + 5), DibColor(kBlue));
}

TEST_F(ConcurrentPresentation, DrawDibPresentationsNeverInterleave) {
  std::vector<BYTE> pictures[4];
  const Yuv colours[4] = {kRed, kYellow, kBlue, kCyan};
  for (int i = 0; i < 4; ++i) pictures[i] = Yuy2Picture(720, 576, colours[i]);
  auto index = [&](Yuv c) {
    for (int i = 0; i < 4; ++i) {
      if (colours[i].y == c.y) return i;
    }
    return 0;
  };
  int wrong = Run([&](CVideoWnd* w, Yuv c, int) {
    return out_.DrawDibYuy2(pictures[index(c)].data(), w->m_hWnd, nullptr, 0, 1, 1, 720, 576) == 0;
  });
  EXPECT_EQ(wrong, 0);
}

TEST_F(ConcurrentPresentation, BlitPresentationsNeverInterleave) {
  IDirectDraw7* dd = out_.GetDirectDraw();
  const Yuv colours[4] = {kRed, kYellow, kBlue, kCyan};
  IDirectDrawSurface7* sources[4];
  for (int i = 0; i < 4; ++i) sources[i] = Keep(MakeYuy2Surface(dd, 720, 576, colours[i]));
#if VIDEOLIB_GDI_TEXT
  IDirectDrawSurface7* osd[2] = {Keep(MakeOsdSurface(dd, 720, 576)),
                                 Keep(MakeOsdSurface(dd, 720, 576))};
#else
  IDirectDrawSurface7* osd[2] = {nullptr, nullptr};
#endif
  int wrong = Run([&](CVideoWnd* w, Yuv c, int) {
    int ch = w == &a_ ? 0 : 1;
    int i = 2 * ch + (c.y == colours[2 * ch].y ? 0 : 1);
    // Both aim at the whole strip across the two windows; the clipper keeps each to its own.
    RECT a = ClientOnScreen(a_.m_hWnd);
    RECT b = ClientOnScreen(b_.m_hWnd);
    RECT dst{a.left, a.top, b.right, b.bottom};
    return Blt(sources[i], w->m_hWnd, &dst, osd[ch]) == DD_OK;
  });
  EXPECT_EQ(wrong, 0);
}

}  // namespace
