#include "platform/ddraw/ddraw.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/ddraw/pixel_format.h"
#include "platform/ddraw/test_support.h"
#include "platform/display/display.h"
#include "platform/ui/test_support.h"

namespace {

using platform::ddraw::FourCcFormat;
using platform::ddraw::RgbFormat;
using platform::display::Display;

// The BT.601 video-range conversion the blit promises, in floating point.
uint32_t Expected(int y, int u, int v) {
  auto c = [](double x) { return static_cast<uint32_t>(std::clamp(x + 0.5, 0.0, 255.0)); };
  double l = 1.164 * (y - 16);
  return (c(l + 1.596 * (v - 128)) << 16) | (c(l - 0.391 * (u - 128) - 0.813 * (v - 128)) << 8) |
         c(l + 2.018 * (u - 128));
}

bool Near(uint32_t a, uint32_t b) {
  for (int s = 0; s < 24; s += 8) {
    if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > 2) {
      return false;
    }
  }
  return true;
}

class DdrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live_ = platform::ddraw::LiveObjectCount();
    std::string error;
    display_ = Display::CreateHeadless(320, 240, &error);
    ASSERT_NE(display_, nullptr) << error;
    ASSERT_EQ(
        DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd_), IID_IDirectDraw7, nullptr),
        DD_OK);
    ASSERT_EQ(dd_->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    ASSERT_EQ(dd_->CreateSurface(&desc, &primary_, nullptr), DD_OK);
  }
  void TearDown() override {
    for (IDirectDrawSurface7* s : surfaces_) s->Release();
    if (primary_) primary_->Release();
    if (dd_) dd_->Release();
    for (HWND w : windows_) DestroyWindow(w);
    platform::ui::test::Drain();
    EXPECT_EQ(platform::ddraw::LiveObjectCount(), live_);
  }
  IDirectDrawSurface7* Offscreen(int w, int h, const DDPIXELFORMAT& format) {
    IDirectDrawSurface7* s = platform::ddraw::test::CreateOffscreen(dd_, w, h, format);
    EXPECT_NE(s, nullptr);
    if (s) surfaces_.push_back(s);
    return s;
  }
  // A YUY2 surface filled with one colour.
  IDirectDrawSurface7* Yuy2(int w, int h, uint8_t y, uint8_t u, uint8_t v) {
    IDirectDrawSurface7* s = Offscreen(w, h, FourCcFormat(MAKEFOURCC('Y', 'U', 'Y', '2'), 16));
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    for (int row = 0; row < h; ++row) {
      auto* p = static_cast<uint8_t*>(d.lpSurface) + row * d.lPitch;
      for (int x = 0; x < w; x += 2) {
        p[2 * x] = y, p[2 * x + 1] = u, p[2 * x + 2] = y, p[2 * x + 3] = v;
      }
    }
    s->Unlock(nullptr);
    return s;
  }
  uint32_t At(int x, int y) {
    std::lock_guard<std::mutex> lock(display_->framebuffer().mutex());
    return display_->framebuffer().Pixel(x, y);
  }
  std::unique_ptr<Display> display_;
  IDirectDraw7* dd_ = nullptr;
  IDirectDrawSurface7* primary_ = nullptr;
  std::vector<IDirectDrawSurface7*> surfaces_;
  std::vector<HWND> windows_;
  int live_ = 0;
};

TEST_F(DdrawTest, SurfacesDescribeTheirMemoryAndRefuseWhatTheyCannotHold) {
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  ASSERT_EQ(primary_->GetSurfaceDesc(&d), DD_OK);
  EXPECT_EQ(d.dwWidth, 320u);
  EXPECT_EQ(d.lPitch, 320 * 4);
  EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 32u);
  EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, 0xFF0000u);
  IDirectDrawSurface7* yuy2 = Offscreen(352, 288, FourCcFormat(MAKEFOURCC('Y', 'U', 'Y', '2'), 16));
  ASSERT_EQ(yuy2->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(d.lPitch, 704);
  EXPECT_NE(d.lpSurface, nullptr);
  EXPECT_EQ(d.ddpfPixelFormat.dwFourCC, MAKEFOURCC('Y', 'U', 'Y', '2'));
  RECT part{2, 1, 4, 2};
  DDSURFACEDESC2 p{};
  p.dwSize = sizeof(p);
  ASSERT_EQ(yuy2->Lock(&part, &p, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(static_cast<uint8_t*>(p.lpSurface) - static_cast<uint8_t*>(d.lpSurface), 704 + 4);
  yuy2->Unlock(nullptr);
  yuy2->Unlock(nullptr);
  EXPECT_EQ(yuy2->Unlock(nullptr), DDERR_NOTLOCKED);
  for (auto [code, bits] : {std::pair{MAKEFOURCC('Y', 'V', '1', '2'), 12},
                            {MAKEFOURCC('U', 'Y', 'V', 'Y'), 16},
                            {MAKEFOURCC('Y', '4', '1', '1'), 12},
                            {MAKEFOURCC('Y', '4', '1', 'P'), 12}}) {
    EXPECT_NE(Offscreen(16, 8, FourCcFormat(code, bits)), nullptr);
  }
  DDSURFACEDESC2 bad{};
  bad.dwSize = sizeof(bad);
  bad.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  bad.dwWidth = 8;
  bad.dwHeight = 8;
  bad.ddpfPixelFormat = FourCcFormat(MAKEFOURCC('A', 'B', 'C', 'D'), 16);
  IDirectDrawSurface7* none = nullptr;
  EXPECT_EQ(dd_->CreateSurface(&bad, &none, nullptr), DDERR_INVALIDPIXELFORMAT);
  bad.dwWidth = 0;
  EXPECT_EQ(dd_->CreateSurface(&bad, &none, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(none, nullptr);
  HDC dc;
  EXPECT_EQ(yuy2->GetDC(&dc), DDERR_CANTCREATEDC);
}

TEST_F(DdrawTest, YuvBlitsConvertAndStretchOntoTheDesktop) {
  struct Case {
    uint8_t y, u, v;
  } cases[] = {{81, 90, 240}, {235, 128, 128}, {16, 128, 128}, {145, 54, 34}, {41, 240, 110}};
  for (const Case& c : cases) {
    IDirectDrawSurface7* s = Yuy2(4, 4, c.y, c.u, c.v);
    RECT dst{10, 10, 14, 14};
    ASSERT_EQ(primary_->Blt(&dst, s, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_TRUE(Near(At(11, 11), Expected(c.y, c.u, c.v)))
        << std::hex << At(11, 11) << " vs " << Expected(c.y, c.u, c.v);
  }
  // Stretch: a 4 x 2 picture, left half dark, right half bright, onto 40 x 20.
  IDirectDrawSurface7* s = Yuy2(4, 2, 16, 128, 128);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
  for (int row = 0; row < 2; ++row) {
    auto* p = static_cast<uint8_t*>(d.lpSurface) + row * d.lPitch;
    p[4] = p[6] = 235;
  }
  s->Unlock(nullptr);
  RECT dst{100, 100, 140, 120};
  ASSERT_EQ(primary_->Blt(&dst, s, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(At(100, 100), 0x000000u);
  EXPECT_EQ(At(119, 119), 0x000000u);
  EXPECT_EQ(At(120, 100), 0xFFFFFFu);
  EXPECT_EQ(At(139, 119), 0xFFFFFFu);
  EXPECT_EQ(At(140, 110), 0x000000u);  // untouched beyond
  RECT outside{0, 0, 5, 9};            // larger than the source
  EXPECT_EQ(primary_->Blt(&dst, s, &outside, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
}

TEST_F(DdrawTest, EveryYuvLayoutGivesTheSameColours) {
  // An 8 x 2 picture: the left four pixels (Y 81, U 90, V 240), the right four
  // (Y 170, U 166, V 16), written in each layout's own arrangement.
  const uint8_t y[2] = {81, 170}, u[2] = {90, 166}, v[2] = {240, 16};
  struct Layout {
    DWORD fourcc;
    DWORD bits;
  } layouts[] = {{MAKEFOURCC('Y', 'U', 'Y', '2'), 16},
                 {MAKEFOURCC('U', 'Y', 'V', 'Y'), 16},
                 {MAKEFOURCC('Y', 'V', '1', '2'), 12},
                 {MAKEFOURCC('Y', '4', '1', '1'), 12},
                 {MAKEFOURCC('Y', '4', '1', 'P'), 12}};
  int row = 0;
  for (const Layout& l : layouts) {
    IDirectDrawSurface7* s = Offscreen(8, 2, FourCcFormat(l.fourcc, l.bits));
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    auto* m = static_cast<uint8_t*>(d.lpSurface);
    for (int r = 0; r < 2; ++r) {
      uint8_t* p = m + r * d.lPitch;
      for (int half = 0; half < 2; ++half) {
        if (l.fourcc == MAKEFOURCC('Y', 'U', 'Y', '2')) {
          for (int k = 0; k < 2; ++k) {
            uint8_t* q = p + half * 8 + k * 4;
            q[0] = y[half], q[1] = u[half], q[2] = y[half], q[3] = v[half];
          }
        } else if (l.fourcc == MAKEFOURCC('U', 'Y', 'V', 'Y')) {
          for (int k = 0; k < 2; ++k) {
            uint8_t* q = p + half * 8 + k * 4;
            q[0] = u[half], q[1] = y[half], q[2] = v[half], q[3] = y[half];
          }
        } else if (l.fourcc == MAKEFOURCC('Y', 'V', '1', '2')) {
          std::memset(p + half * 4, y[half], 4);
        } else if (l.fourcc == MAKEFOURCC('Y', '4', '1', '1')) {
          uint8_t* q = p + half * 6;  // U Y0 Y1 V Y2 Y3
          q[0] = u[half], q[3] = v[half];
          q[1] = q[2] = q[4] = q[5] = y[half];
        } else {  // Y41P: U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7
          p[0] = u[0], p[2] = v[0], p[4] = u[1], p[6] = v[1];
          p[1] = p[3] = p[5] = p[7] = y[0];
          p[8] = p[9] = p[10] = p[11] = y[1];
        }
      }
    }
    if (l.fourcc == MAKEFOURCC('Y', 'V', '1', '2')) {
      uint8_t* vp = m + d.lPitch * 2;  // V plane first, then U
      uint8_t* up = vp + d.lPitch / 2;
      vp[0] = vp[1] = v[0], vp[2] = vp[3] = v[1];
      up[0] = up[1] = u[0], up[2] = up[3] = u[1];
    }
    s->Unlock(nullptr);
    RECT dst{0, row, 8, row + 2};
    ASSERT_EQ(primary_->Blt(&dst, s, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    for (int x = 0; x < 8; ++x) {
      int half = x / 4;
      EXPECT_TRUE(Near(At(x, row + 1), Expected(y[half], u[half], v[half])))
          << std::hex << l.fourcc << " x " << x << ": " << At(x, row + 1);
    }
    row += 2;
  }
}

// A planar picture and a packed one holding the same samples reach the desktop as the same
// pixels: at their own size from even and odd columns, and stretched.
TEST_F(DdrawTest, PlanarAndPackedPicturesOfTheSameSamplesBlitAlike) {
  constexpr int kW = 38, kH = 6;
  IDirectDrawSurface7* planar = Offscreen(kW, kH, FourCcFormat(MAKEFOURCC('Y', 'V', '1', '2'), 12));
  IDirectDrawSurface7* packed = Offscreen(kW, kH, FourCcFormat(MAKEFOURCC('Y', 'U', 'Y', '2'), 16));
  ASSERT_TRUE(planar != nullptr && packed != nullptr);
  DDSURFACEDESC2 pd{}, kd{};
  pd.dwSize = kd.dwSize = sizeof(pd);
  ASSERT_EQ(planar->Lock(nullptr, &pd, DDLOCK_WAIT, nullptr), DD_OK);
  ASSERT_EQ(packed->Lock(nullptr, &kd, DDLOCK_WAIT, nullptr), DD_OK);
  auto* pm = static_cast<uint8_t*>(pd.lpSurface);
  uint8_t* vp = pm + pd.lPitch * kH;  // V plane first, then U
  uint8_t* up = vp + (pd.lPitch / 2) * (kH / 2);
  for (int y = 0; y < kH; ++y) {
    uint8_t* k = static_cast<uint8_t*>(kd.lpSurface) + kd.lPitch * y;
    for (int x = 0; x < kW; ++x) {
      const auto luma = static_cast<uint8_t>(x * 73 + y * 151);
      const auto u = static_cast<uint8_t>((x / 2) * 29 + (y / 2) * 113 + 7);
      const auto v = static_cast<uint8_t>((x / 2) * 97 + (y / 2) * 59 + 201);
      pm[pd.lPitch * y + x] = luma;
      const long at = (pd.lPitch / 2) * (y / 2) + x / 2;
      up[at] = u;
      vp[at] = v;
      k[2 * x] = luma;
      if (x % 2 == 0) k[2 * x + 1] = u, k[2 * x + 3] = v;
    }
  }
  planar->Unlock(nullptr);
  packed->Unlock(nullptr);
  struct Case {
    RECT src, dst;
  };
  const Case cases[] = {{{0, 0, kW, kH}, {1, 0, kW + 1, kH}},
                        {{3, 1, kW, kH}, {0, 10, kW - 3, 10 + kH - 1}},
                        {{0, 0, kW, kH}, {0, 20, 57, 32}}};
  for (const Case& c : cases) {
    RECT src = c.src, dst = c.dst;
    ASSERT_EQ(primary_->Blt(&dst, planar, &src, DDBLT_WAIT, nullptr), DD_OK);
    std::vector<uint32_t> got;
    for (int y = dst.top; y < dst.bottom; ++y) {
      for (int x = dst.left; x < dst.right; ++x) got.push_back(At(x, y));
    }
    ASSERT_EQ(primary_->Blt(&dst, packed, &src, DDBLT_WAIT, nullptr), DD_OK);
    size_t i = 0;
    for (int y = dst.top; y < dst.bottom; ++y) {
      for (int x = dst.left; x < dst.right; ++x, ++i) {
        ASSERT_EQ(got[i], At(x, y)) << "at " << x << "," << y;
      }
    }
  }
}

TEST_F(DdrawTest, ClipperLimitsBlitsToTheWindowsVisibleRegion) {
  HWND top =
      platform::ui::test::MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr);
  HWND above =
      platform::ui::test::MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 20, 20, 100, 80, top);
  HWND below =
      platform::ui::test::MakeWindow("Recorder", WS_CHILD | WS_VISIBLE, 70, 50, 100, 80, top);
  windows_ = {below, above, top};
  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd_->CreateClipper(0, &clipper, nullptr), DD_OK);
  ASSERT_EQ(primary_->SetClipper(clipper), DD_OK);
  ASSERT_EQ(clipper->SetHWnd(0, below), DD_OK);
  IDirectDrawSurface7* white = Yuy2(8, 8, 235, 128, 128);
  RECT dst{0, 0, 320, 240};  // the whole desktop: only the window's visible part changes
  ASSERT_EQ(primary_->Blt(&dst, white, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  platform::ui::Region visible =
      platform::ui::VisibleRegion(below, platform::ui::DcArea::kClient, true);
  ASSERT_FALSE(visible.IsEmpty());
  for (int y = 0; y < 240; y += 3) {
    for (int x = 0; x < 320; x += 3) {
      ASSERT_EQ(At(x, y) == 0xFFFFFF, visible.Contains(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(At(80, 60), 0u);  // under the sibling above
  EXPECT_EQ(At(150, 100), 0xFFFFFFu);
  clipper->Release();  // the surface keeps its own reference
  IDirectDrawClipper* got = nullptr;
  ASSERT_EQ(primary_->GetClipper(&got), DD_OK);
  EXPECT_EQ(got, clipper);
  got->Release();
}

TEST_F(DdrawTest, LostSurfacesFailUntilRestoredAndStillDrawingIsReported) {
  IDirectDrawSurface7* s = Yuy2(4, 4, 235, 128, 128);
  platform::ddraw::LoseSurfaces(dd_);
  EXPECT_EQ(primary_->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(primary_->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(s->Restore(), DD_OK);
  EXPECT_EQ(primary_->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(dd_->RestoreAllSurfaces(), DD_OK);
  EXPECT_EQ(primary_->IsLost(), DD_OK);
  platform::ddraw::InjectStillDrawing(primary_, 2);
  EXPECT_EQ(primary_->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DDERR_WASSTILLDRAWING);
  EXPECT_EQ(primary_->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DDERR_WASSTILLDRAWING);
  EXPECT_EQ(primary_->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(At(319, 239), 0xFFFFFFu);
}

TEST_F(DdrawTest, GdiDrawsIntoRgbSurfacesInTheirOwnFormat) {
  IDirectDrawSurface7* s = Offscreen(8, 4, RgbFormat(16, 0xF800, 0x07E0, 0x001F));
  HDC dc = nullptr;
  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  RECT r{0, 0, 4, 4};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dc, &r, red);
  SetPixel(dc, 7, 3, RGB(0, 0, 255));
  EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(s->ReleaseDC(dc), DDERR_NODC);
  DeleteObject(red);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  auto* px = static_cast<uint16_t*>(d.lpSurface);
  EXPECT_EQ(px[0], 0xF800);
  EXPECT_EQ(px[4], 0);
  EXPECT_EQ(px[3 * d.lPitch / 2 + 7], 0x001F);
  s->Unlock(nullptr);
  // RGB to RGB between masks, stretched onto the desktop.
  RECT dst{0, 0, 16, 8};
  ASSERT_EQ(primary_->Blt(&dst, s, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(At(7, 7), 0xFF0000u);
  EXPECT_EQ(At(15, 7), 0x0000FFu);
}

TEST_F(DdrawTest, SourceColourKeySkipsKeyedPixels) {
  IDirectDrawSurface7* src = Offscreen(4, 1, RgbFormat(32, 0xFF0000, 0xFF00, 0xFF));
  IDirectDrawSurface7* dst = Offscreen(4, 1, RgbFormat(32, 0xFF0000, 0xFF00, 0xFF));
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  src->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
  uint32_t in[4] = {0x0A0A0A, 0x112233, 0x0A0A0A, 0x445566};
  std::memcpy(d.lpSurface, in, sizeof(in));
  src->Unlock(nullptr);
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0x777777;
  ASSERT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  DDCOLORKEY key{0x0A0A0A, 0x0A0A0A};
  ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
  dst->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
  auto* out = static_cast<uint32_t*>(d.lpSurface);
  EXPECT_EQ(out[0], 0x777777u);
  EXPECT_EQ(out[1], 0x112233u);
  EXPECT_EQ(out[2], 0x777777u);
  EXPECT_EQ(out[3], 0x445566u);
  dst->Unlock(nullptr);
  DDCOLORKEY back{};
  EXPECT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &back), DD_OK);
  EXPECT_EQ(back.dwColorSpaceHighValue, 0x0A0A0Au);
}

TEST_F(DdrawTest, ClientMemorySurfacesUseTheCallersPixels) {
  std::vector<uint8_t> mine(8 * 2 * 2, 0);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags =
      DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_LPSURFACE | DDSD_PITCH;
  desc.dwWidth = 8;
  desc.dwHeight = 2;
  desc.lPitch = 16;
  desc.lpSurface = mine.data();
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  desc.ddpfPixelFormat = FourCcFormat(MAKEFOURCC('Y', 'U', 'Y', '2'), 16);
  IDirectDrawSurface7* s = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&desc, &s, nullptr), DD_OK);
  surfaces_.push_back(s);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
  EXPECT_EQ(d.lpSurface, mine.data());
  s->Unlock(nullptr);
  std::vector<uint8_t> other(4 * 4 * 2, 0);
  DDSURFACEDESC2 next{};
  next.dwSize = sizeof(next);
  next.dwFlags = DDSD_LPSURFACE | DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT;
  next.lpSurface = other.data();
  next.lPitch = 8;
  next.dwWidth = 4;
  next.dwHeight = 4;
  ASSERT_EQ(s->SetSurfaceDesc(&next, 0), DD_OK);
  ASSERT_EQ(s->GetSurfaceDesc(&d), DD_OK);
  EXPECT_EQ(d.lpSurface, other.data());
  EXPECT_EQ(d.dwWidth, 4u);
  EXPECT_EQ(d.lPitch, 8);
  EXPECT_EQ(primary_->SetSurfaceDesc(&next, 0), DDERR_INVALIDPARAMS);
}

TEST_F(DdrawTest, LockingThePrimaryHoldsTheDesktopAndMarksItDirty) {
  {
    std::lock_guard<std::mutex> lock(display_->framebuffer().mutex());
    display_->framebuffer().TakeDirty();
  }
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  ASSERT_EQ(primary_->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
  bool free_elsewhere = true;
  std::thread([&] {
    free_elsewhere = display_->framebuffer().mutex().try_lock();
    if (free_elsewhere) display_->framebuffer().mutex().unlock();
  }).join();
  EXPECT_FALSE(free_elsewhere);
  static_cast<uint32_t*>(d.lpSurface)[5] = 0x123456;
  IDirectDrawSurface7* s = Yuy2(2, 2, 16, 128, 128);
  EXPECT_EQ(primary_->Blt(nullptr, s, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
  ASSERT_EQ(primary_->Unlock(nullptr), DD_OK);
  EXPECT_EQ(At(5, 0), 0x123456u);
  std::lock_guard<std::mutex> lock(display_->framebuffer().mutex());
  RECT dirty = display_->framebuffer().TakeDirty();
  EXPECT_EQ(dirty.right, 320);
}

TEST(DdrawCreate, RefusesDriversInterfacesAndSurfacesBeforeTheCooperativeLevel) {
  void* out = nullptr;
  GUID driver{1, 2, 3, {4}};
  EXPECT_EQ(DirectDrawCreateEx(&driver, &out, IID_IDirectDraw7, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(DirectDrawCreateEx(nullptr, &out, IID_IDirectDrawSurface7, nullptr),
            DDERR_INVALIDPARAMS);
  ASSERT_EQ(DirectDrawCreateEx(nullptr, &out, IID_IDirectDraw7, nullptr), DD_OK);
  auto* dd = static_cast<IDirectDraw7*>(out);
  DDSURFACEDESC2 desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface7* s = nullptr;
  EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_NOCOOPERATIVELEVELSET);
  dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_NODIRECTDRAWHW);  // no display
  EXPECT_EQ(dd->AddRef(), 2u);
  EXPECT_EQ(dd->Release(), 1u);
  EXPECT_EQ(dd->Release(), 0u);
}

}  // namespace
