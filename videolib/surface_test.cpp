#include "videolib/surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ddraw/pixel_format.h"
#include "platform/ddraw/test_support.h"

namespace {

using platform::ddraw::RgbFormat;

// A description over memory of our own, for the writers.
struct Memory {
  Memory(int w, int h, long pitch, DWORD fourcc, DWORD bits) : bytes(pitch * h * 2, 0xEE) {
    desc.dwSize = sizeof(desc);
    desc.dwWidth = w;
    desc.dwHeight = h;
    desc.lPitch = pitch;
    desc.lpSurface = bytes.data();
    desc.ddpfPixelFormat.dwFourCC = fourcc;
    desc.ddpfPixelFormat.dwRGBBitCount = bits;
  }
  BYTE At(long offset) const { return bytes[offset]; }
  DDSURFACEDESC2 desc{};
  std::vector<BYTE> bytes;
};

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live_ = platform::ddraw::LiveObjectCount();
    ASSERT_EQ(
        DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd_), IID_IDirectDraw7, nullptr),
        DD_OK);
    dd_->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  }
  void TearDown() override {
    for (IDirectDrawSurface7* s : made_) s->Release();
    dd_->Release();
    EXPECT_EQ(platform::ddraw::LiveObjectCount(), live_);
  }
  IDirectDrawSurface7* Make(int w, int h, const DDPIXELFORMAT& format) {
    IDirectDrawSurface7* s = platform::ddraw::test::CreateOffscreen(dd_, w, h, format);
    EXPECT_NE(s, nullptr);
    if (s) made_.push_back(s);
    return s;
  }
  IDirectDraw7* dd_ = nullptr;
  std::vector<IDirectDrawSurface7*> made_;
  int live_ = 0;
};

TEST(SurfaceTable, HoldsTheTwentyFourLayouts) {
  EXPECT_EQ(CSurface::GetPixelFormat(0)->dwFourCC, MAKEFOURCC('Y', 'V', '1', '2'));
  EXPECT_EQ(CSurface::GetPixelFormat(0), CSurface::GetPixelFormat(8));
  EXPECT_EQ(CSurface::GetPixelFormat(1)->dwFourCC, MAKEFOURCC('Y', 'U', 'Y', '2'));
  EXPECT_EQ(CSurface::GetPixelFormat(1)->dwYUVBitCount, 16u);
  EXPECT_EQ(CSurface::GetPixelFormat(2)->dwRBitMask, 0xFF0000u);
  EXPECT_EQ(CSurface::GetPixelFormat(3)->dwRBitMask, 0x0000FFu);
  EXPECT_EQ(CSurface::GetPixelFormat(9)->dwGBitMask, 0x07E0u);
  EXPECT_EQ(CSurface::GetPixelFormat(10)->dwRBitMask, 0x7C00u);
  EXPECT_EQ(CSurface::GetPixelFormat(20)->dwFourCC, MAKEFOURCC('U', 'Y', 'V', 'Y'));
  EXPECT_EQ(CSurface::GetPixelFormat(21)->dwFourCC, MAKEFOURCC('Y', '4', '1', '1'));
  EXPECT_EQ(CSurface::GetPixelFormat(22)->dwYUVBitCount, 12u);
  EXPECT_EQ(CSurface::GetPixelFormat(6), &CSurface::PrimaryPixelFormat());
  EXPECT_EQ(CSurface::GetPixelFormat(23), &CSurface::PrimaryPixelFormat());
  EXPECT_EQ(CSurface::PrimaryPixelFormat().dwRGBBitCount, 16u);
  EXPECT_EQ(sizeof(DDPIXELFORMAT), 32u);
  for (int code : {4, 5, 7, 11, 12, 15, 19, -1, 24}) {
    EXPECT_EQ(CSurface::GetPixelFormat(code), nullptr) << code;
  }
}

TEST(SurfaceMasks, ShiftAndLengthOfTheLowestRun) {
  DWORD shift = 9, bits = 9;
  EXPECT_EQ(CSurface::GetBitMaskInfo(0x07E0, &shift, &bits), 0);
  EXPECT_EQ(shift, 5u);
  EXPECT_EQ(bits, 6u);
  CSurface::GetBitMaskInfo(0xFF000000, &shift, &bits);
  EXPECT_EQ(shift, 24u);
  EXPECT_EQ(bits, 8u);
  CSurface::GetBitMaskInfo(0, &shift, &bits);
  EXPECT_EQ(shift, 0u);
  EXPECT_EQ(bits, 0u);
  EXPECT_EQ(CSurface::GetBitMaskInfo(1, nullptr, &bits), E_INVALIDARG);
}

TEST(SurfaceWriters, Yuy2MovesAnOddLeftEdgeAndCopiesTheSmallerRectangle) {
  Memory m(8, 4, 16, MAKEFOURCC('Y', 'U', 'Y', '2'), 16);
  std::vector<BYTE> picture(4 * 3 * 2);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<BYTE>(i);
  RECT dst{1, 1, 8, 3};  // odd left: starts at 2; two rows
  EXPECT_EQ(CSurface::DrawYuy2(&m.desc, picture.data(), SIZE{4, 3}, &dst, nullptr, FALSE, 0), 0);
  EXPECT_EQ(m.At(16 + 2), 0xEE);   // pixel 1 untouched
  EXPECT_EQ(m.At(16 + 4), 0);      // picture row 0 at pixel 2
  EXPECT_EQ(m.At(16 + 4 + 7), 7);  // whole row of 4 pixels (8 bytes)
  EXPECT_EQ(m.At(16 + 4 + 8), 0xEE);
  EXPECT_EQ(m.At(32 + 4), 8);     // row 1 of the picture
  EXPECT_EQ(m.At(48 + 4), 0xEE);  // only two rows fit the rectangle
  // Mirror: 16-bit units of the row in reverse order.
  Memory r(4, 1, 8, MAKEFOURCC('Y', 'U', 'Y', '2'), 16);
  CSurface::DrawYuy2(&r.desc, picture.data(), SIZE{4, 3}, nullptr, nullptr, TRUE, 0);
  EXPECT_EQ(r.At(0), 6);
  EXPECT_EQ(r.At(1), 7);
  EXPECT_EQ(r.At(6), 0);
  EXPECT_EQ(CSurface::DrawYuy2(static_cast<DDSURFACEDESC2*>(nullptr), picture.data(), SIZE{4, 3},
                               nullptr, nullptr, 0, 0),
            E_INVALIDARG);
  r.desc.lpSurface = nullptr;
  EXPECT_EQ(CSurface::DrawYuy2(&r.desc, picture.data(), SIZE{4, 3}, nullptr, nullptr, 0, 0),
            E_INVALIDARG);
}

TEST(SurfaceWriters, RectanglesPastTheSurfaceAreCutNotOverrun) {
  Memory m(4, 2, 8, MAKEFOURCC('Y', 'U', 'Y', '2'), 16);
  std::vector<BYTE> picture(16 * 16 * 2, 0x11);
  RECT dst{2, 1, 100, 100};
  EXPECT_EQ(CSurface::DrawYuy2(&m.desc, picture.data(), SIZE{16, 16}, &dst, nullptr, 0, 0), 0);
  EXPECT_EQ(m.At(8 + 4), 0x11);
  EXPECT_EQ(m.At(8 + 7), 0x11);
  EXPECT_EQ(m.At(16), 0xEE);  // the byte after the surface's last row is never written
  RECT src{-5, -5, 2, 2};
  Memory rgb(4, 2, 12, 0, 24);
  EXPECT_EQ(CSurface::DrawRgb(&rgb.desc, picture.data(), SIZE{16, 16}, nullptr, &src, 0, 0), 0);
  EXPECT_EQ(rgb.At(5), 0x11);
  EXPECT_EQ(rgb.At(6), 0xEE);  // two pixels wide
}

TEST(SurfaceWriters, Yv12CopiesChromaPlanesOnlyForTwoRowsOrMore) {
  const int w = 4, h = 4, pitch = 8;
  Memory m(w, h, pitch, MAKEFOURCC('Y', 'V', '1', '2'), 12);
  std::vector<BYTE> picture(w * h * 3 / 2);
  std::fill(picture.begin(), picture.begin() + w * h, 0x10);
  std::fill(picture.begin() + w * h, picture.begin() + w * h * 5 / 4, 0x20);  // U
  std::fill(picture.begin() + w * h * 5 / 4, picture.end(), 0x30);            // V
  RECT one{0, 0, 4, 1};
  CSurface::DrawYv12(&m.desc, picture.data(), SIZE{w, h}, &one, nullptr, FALSE, 0);
  EXPECT_EQ(m.At(0), 0x10);
  EXPECT_EQ(m.At(pitch), 0xEE);
  EXPECT_EQ(m.At(pitch * h), 0xEE);  // no chroma for a single row
  EXPECT_EQ(m.At(pitch * h * 5 / 4), 0xEE);
  CSurface::DrawYv12(&m.desc, picture.data(), SIZE{w, h}, nullptr, nullptr, FALSE, 0);
  EXPECT_EQ(m.At(pitch * 3 + 3), 0x10);
  EXPECT_EQ(m.At(pitch * h), 0x30);  // V plane first in the surface
  EXPECT_EQ(m.At(pitch * h + pitch / 2 + 1), 0x30);
  EXPECT_EQ(m.At(pitch * h + 2), 0xEE);  // two chroma bytes a row
  EXPECT_EQ(m.At(pitch * h * 5 / 4), 0x20);
  EXPECT_EQ(m.At(pitch * h * 5 / 4 + pitch / 2 + 1), 0x20);
}

TEST(SurfaceWriters, RgbCopiesRowsAtTheSurfacesDepth) {
  Memory m(4, 2, 16, 0, 32);
  std::vector<BYTE> picture(2 * 2 * 4);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<BYTE>(i + 1);
  RECT dst{1, 1, 4, 2};
  CSurface::DrawRgb(&m.desc, picture.data(), SIZE{2, 2}, &dst, nullptr, FALSE, 0);
  EXPECT_EQ(m.At(16 + 4), 1);
  EXPECT_EQ(m.At(16 + 11), 8);
  EXPECT_EQ(m.At(16 + 12), 0xEE);
}

TEST_F(SurfaceTest, CreationFollowsTheBuild) {
  CSurface s;
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  d.dwWidth = 8;
  d.dwHeight = 8;
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  EXPECT_EQ(s.Create(dd_, 16, 16, 4, nullptr), E_INVALIDARG);
  EXPECT_EQ(s.Create(dd_, 16, 16, 24, nullptr), E_INVALIDARG);
#if VIDEOLIB_GDI_TEXT
  EXPECT_EQ(s.Create(dd_, &d), E_FAIL);
  EXPECT_EQ(s.Create(dd_, 16, 16, -1, nullptr), E_FAIL);
  EXPECT_EQ(s.Create(dd_, 16, 16, 1, nullptr), E_FAIL);
  EXPECT_EQ(s.GetDDrawSurface(), nullptr);
  ASSERT_EQ(s.CreateOsd(dd_, 40, 30), 0);
  ASSERT_NE(s.GetDDrawOsdSurface(), nullptr);
  DDSURFACEDESC2 osd{};
  osd.dwSize = sizeof(osd);
  s.GetDDrawOsdSurface()->GetSurfaceDesc(&osd);
  EXPECT_EQ(osd.dwWidth, 40u);
  EXPECT_EQ(osd.ddpfPixelFormat.dwFourCC, 0u);  // the display's own format
  EXPECT_EQ(s.CreateOsd(dd_, 20, 10), 0);       // replaces the first without a leak
#else
  ASSERT_EQ(s.Create(dd_, 352, 288, 1, nullptr), DD_OK);
  EXPECT_EQ(s.Width(), 352);
  EXPECT_EQ(s.Height(), 288);
  EXPECT_EQ(s.Pitch(), 704);
  EXPECT_EQ(s.BitCount(), 16);
  const BYTE* mem = s.GetBuffer(nullptr);
  ASSERT_NE(mem, nullptr);
  EXPECT_EQ(mem[0], 0x80);
  EXPECT_EQ(mem[704 * 288 - 1], 0x80);
  ASSERT_EQ(s.Create(dd_, 16, 4, 20, nullptr), DD_OK);
  EXPECT_EQ(s.GetBuffer(nullptr)[5], 0x08);
  ASSERT_EQ(s.Create(dd_, 16, 4, 22, nullptr), DD_OK);
  EXPECT_EQ(s.GetBuffer(nullptr)[5], 0x00);
  ASSERT_EQ(s.Create(dd_, &d), DD_OK);
  EXPECT_EQ(s.BitCount(), 32);  // no format: the display's
  std::vector<BYTE> client(16 * 8 * 2);
  ASSERT_EQ(s.Create(dd_, 16, 8, 1, client.data()), DD_OK);
  LONG pitch = 0;
  EXPECT_EQ(s.GetBuffer(&pitch), client.data());
  EXPECT_EQ(pitch, 32);
  EXPECT_EQ(client[0], 0x80);
  EXPECT_EQ(s.Create(nullptr, 16, 8, 1, nullptr), E_FAIL);
#endif
}

TEST_F(SurfaceTest, AdoptingTakesAReferenceAndCopiesShareSafely) {
  IDirectDrawSurface7* raw = Make(16, 8, *CSurface::GetPixelFormat(1));
  {
    CSurface s;
    EXPECT_EQ(s.Create(static_cast<IDirectDrawSurface7*>(nullptr)), 0);
    ASSERT_EQ(s.Create(raw), 0);
    EXPECT_EQ(s.Width(), 16);
    EXPECT_EQ(s.Pitch(), 32);
    EXPECT_EQ(raw->AddRef(), 3u);  // ours, the CSurface's, this one
    raw->Release();
    CSurface copy(s);
    CSurface assigned;
    assigned = copy;
    EXPECT_EQ(assigned.GetDDrawSurface(), raw);
    EXPECT_EQ(s.Destroy(), 0);
    EXPECT_EQ(s.Width(), 0);
    EXPECT_EQ(s.GetDDrawSurface(), nullptr);
  }
  EXPECT_EQ(raw->AddRef(), 2u);  // every copy let go of its own reference
  raw->Release();
}

TEST_F(SurfaceTest, DrawChoosesTheWriterByFormatAndRestoresALostSurface) {
  CSurface s;
  EXPECT_EQ(s.Draw(static_cast<const BYTE*>(nullptr), FALSE, 0), E_FAIL);
  IDirectDrawSurface7* raw = Make(4, 2, *CSurface::GetPixelFormat(1));
  s.Create(raw);
  std::vector<BYTE> picture(4 * 2 * 2);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<BYTE>(i + 1);
  platform::ddraw::LoseSurface(raw);
  ASSERT_EQ(s.Draw(picture.data(), FALSE, 0), 0);
  EXPECT_EQ(raw->IsLost(), DD_OK);
  const BYTE* mem = s.GetBuffer(nullptr);
  EXPECT_EQ(mem[0], 1);
  EXPECT_EQ(mem[s.Pitch() + 7], 16);
  // Y41P surfaces take no picture through Draw.
  CSurface other;
  other.Create(Make(8, 2, *CSurface::GetPixelFormat(22)));
  EXPECT_EQ(other.Draw(picture.data(), FALSE, 0), 0);
}

TEST_F(SurfaceTest, GdiColoursBecomeRawPixelsAndThePixelIsPutBack) {
  CSurface s;
  EXPECT_EQ(s.ConvertGDIColor(RGB(1, 2, 3)), 0u);
  EXPECT_EQ(s.SetColorKey(0), E_POINTER);
  s.Create(Make(4, 4, *CSurface::GetPixelFormat(9)));
  BYTE* mem = s.GetBuffer(nullptr);
  mem[0] = 0x34;
  mem[1] = 0x12;
  mem[2] = 0x99;  // the next pixel must not leak into the value
  EXPECT_EQ(s.ConvertGDIColor(RGB(255, 0, 0)), 0xF800u);
  EXPECT_EQ(s.ConvertGDIColor(RGB(0, 0, 255)), 0x001Fu);
  EXPECT_EQ(mem[0] | (mem[1] << 8), 0x1234);  // put back afterwards
  EXPECT_EQ(s.ConvertGDIColor(CLR_INVALID), 0x1234u);
  EXPECT_EQ(mem[0] | (mem[1] << 8), 0x1234);
  CSurface wide;
  wide.Create(Make(2, 2, RgbFormat(32, 0xFF0000, 0xFF00, 0xFF)));
  EXPECT_EQ(wide.ConvertGDIColor(RGB(0x0A, 0x0A, 0xFF)), 0x0A0AFFu);
  EXPECT_FALSE(wide.IsColorKeyed());
  EXPECT_EQ(wide.SetColorKey(RGB(0x0A, 0x0A, 0xFF)), DD_OK);
  EXPECT_TRUE(wide.IsColorKeyed());
  DDCOLORKEY key{};
  wide.GetDDrawSurface()->GetColorKey(DDCKEY_SRCBLT, &key);
  EXPECT_EQ(key.dwColorSpaceLowValue, 0x0A0AFFu);
  EXPECT_EQ(key.dwColorSpaceHighValue, 0x0A0AFFu);
}

TEST_F(SurfaceTest, CopyDataTurnsRowsBottomUpAndSetSurfaceRetargets) {
  CSurface s;
  s.Create(Make(2, 3, *CSurface::GetPixelFormat(2)));
  LONG pitch = 0;
  BYTE* mem = s.GetBuffer(&pitch);
  for (int row = 0; row < 3; ++row) std::memset(mem + row * pitch, row + 1, 6);
  std::vector<BYTE> out(2 * 3 * 3, 0);
  EXPECT_EQ(s.CopyData(out.data()), 1);
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(out[6], 2);
  EXPECT_EQ(out[17], 1);
  CSurface empty;
  EXPECT_EQ(empty.CopyData(out.data()), 0);
  EXPECT_EQ(empty.GetBuffer(&pitch), nullptr);
  CSurface y;
  y.Create(Make(4, 4, *CSurface::GetPixelFormat(1)));
  std::vector<BYTE> client(8 * 2 * 2);
  ASSERT_EQ(y.SetSurface(client.data(), 8, 2), DD_OK);
  EXPECT_EQ(y.Width(), 8);
  EXPECT_EQ(y.Pitch(), 16);
  EXPECT_EQ(y.GetBuffer(nullptr), client.data());
}

TEST_F(SurfaceTest, BitmapsAndTextAreDrawnThroughTheSurfacesContext) {
  CSurface s;
  s.Create(Make(4, 4, RgbFormat(32, 0xFF0000, 0xFF00, 0xFF)));
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(mem, 2, 2);
  HGDIOBJ old = SelectObject(mem, bm);
  SetPixel(mem, 0, 0, RGB(255, 0, 0));
  SetPixel(mem, 1, 1, RGB(0, 0, 255));
  SelectObject(mem, old);
  DeleteDC(mem);
  ASSERT_EQ(s.DrawBitmap(bm, 0, 0, 0, 0), DD_OK);
  auto* px = reinterpret_cast<uint32_t*>(s.GetBuffer(nullptr));
  EXPECT_EQ(px[0], 0xFF0000u);
  EXPECT_EQ(px[5], 0xFF0000u);  // stretched 2x
  EXPECT_EQ(px[15], 0x0000FFu);
  EXPECT_EQ(s.DrawBitmap(static_cast<HBITMAP>(nullptr), 0, 0, 0, 0), E_INVALIDARG);
  CSurface yuv;
  yuv.Create(Make(4, 4, *CSurface::GetPixelFormat(1)));
  EXPECT_EQ(yuv.DrawBitmap(bm, 0, 0, 0, 0), E_NOTIMPL);
  DeleteObject(bm);
  EXPECT_EQ(s.DrawBitmap("no-such-bitmap.bmp", 0, 0), E_FAIL);

  CSurface text;
  text.Create(Make(64, 20, RgbFormat(32, 0xFF0000, 0xFF00, 0xFF)));
  EXPECT_EQ(text.DrawTextA(nullptr, nullptr, 0, 0, 0, 0), E_INVALIDARG);
  HFONT font = CreateFontA(15, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 32, "\xCB\xCE\xCC\xE5");
  ASSERT_EQ(text.DrawTextA(font, "\xD6\xD0 Ab", 2, 2, RGB(0, 0, 255), RGB(255, 255, 0)), 0);
  auto* tp = reinterpret_cast<uint32_t*>(text.GetBuffer(nullptr));
  int yellow = 0, blue = 0;
  for (int i = 0; i < 64 * 20; ++i) {
    yellow += tp[i] == 0xFFFF00;
    blue += tp[i] == 0x0000FF;
  }
  EXPECT_GT(yellow, 10);
  EXPECT_GT(blue, 50);  // the opaque cell behind the text
  DeleteObject(font);
}

}  // namespace
