#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/display/display.h"
#include "platform/gdi/pixel_target.h"
#include "platform/ui/test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::display::Display;
using platform::ui::test::MakeWindow;

class GdiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = Display::CreateHeadless(320, 240, &error);
    ASSERT_NE(display_, nullptr) << error;
    std::lock_guard<std::mutex> lock(fb().mutex());
    fb().Fill(RECT{0, 0, 320, 240}, 0x000000);
    fb().TakeDirty();
  }
  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
    platform::ui::test::Drain();
  }
  platform::display::Framebuffer& fb() { return display_->framebuffer(); }
  uint32_t At(int x, int y) {
    std::lock_guard<std::mutex> lock(fb().mutex());
    return fb().Pixel(x, y);
  }
  HWND Window(DWORD style, int x, int y, int w, int h, HWND parent) {
    HWND hwnd = MakeWindow("Recorder", style | WS_VISIBLE, x, y, w, h, parent);
    windows_.push_back(hwnd);
    return hwnd;
  }
  std::unique_ptr<Display> display_;
  std::vector<HWND> windows_;
};

TEST_F(GdiTest, WindowFillsLandInTheVisibleRegionOnlyAndMarkDirty) {
  HWND top = Window(WS_POPUP, 20, 20, 200, 150, nullptr);
  HWND above = Window(WS_CHILD, 10, 10, 100, 80, top);
  HWND below = Window(WS_CHILD, 60, 40, 100, 80, top);
  (void)above;
  HDC dc = GetDC(below);
  ASSERT_NE(dc, nullptr);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all{-50, -50, 500, 500};  // far beyond the window: clipped
  EXPECT_EQ(FillRect(dc, &all, red), 1);
  ReleaseDC(below, dc);
  DeleteObject(red);
  platform::ui::Region visible =
      platform::ui::VisibleRegion(below, platform::ui::DcArea::kClient, false);
  long long red_pixels = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      bool is_red = At(x, y) == 0xFF0000;
      red_pixels += is_red;
      ASSERT_EQ(is_red, visible.Contains(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(red_pixels, visible.Area());
  EXPECT_LT(red_pixels, 100 * 80);  // the sibling above took its corner
  std::lock_guard<std::mutex> lock(fb().mutex());
  RECT dirty = fb().TakeDirty();
  EXPECT_LE(dirty.left, 80);
  EXPECT_GE(dirty.bottom, 140);
}

TEST_F(GdiTest, FramesRectanglesAndLinesInAMemoryBitmap) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(mem, 20, 10);
  HGDIOBJ old = SelectObject(mem, bm);
  ASSERT_NE(old, nullptr);
  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RECT r{2, 2, 8, 7};
  FrameRect(mem, &r, white);
  EXPECT_EQ(GetPixel(mem, 2, 2), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(mem, 7, 6), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(mem, 3, 3), RGB(0, 0, 0));  // inside stays
  EXPECT_EQ(GetPixel(mem, 8, 2), RGB(0, 0, 0));  // right edge excluded
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  HGDIOBJ old_pen = SelectObject(mem, pen);
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  HGDIOBJ old_brush = SelectObject(mem, green);
  Rectangle(mem, 10, 1, 15, 6);
  EXPECT_EQ(GetPixel(mem, 10, 1), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(mem, 12, 3), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(mem, 15, 3), RGB(0, 0, 0));
  MoveToEx(mem, 0, 9, nullptr);
  LineTo(mem, 5, 9);
  EXPECT_EQ(GetPixel(mem, 4, 9), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(mem, 5, 9), RGB(0, 0, 0));  // the end point is not drawn
  EXPECT_EQ(GetPixel(mem, 25, 0), CLR_INVALID);
  RECT focus{0, 0, 6, 4};
  DrawFocusRect(mem, &focus);
  EXPECT_EQ(GetPixel(mem, 0, 0), RGB(255, 255, 255));  // dotted: every other pixel inverted
  EXPECT_EQ(GetPixel(mem, 1, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(mem, 1, 1), RGB(0, 0, 0));  // only the border
  DrawFocusRect(mem, &focus);
  EXPECT_EQ(GetPixel(mem, 0, 0), RGB(0, 0, 0));  // the second call takes it away
  SelectObject(mem, old_pen);
  SelectObject(mem, old_brush);
  SelectObject(mem, old);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(green));
  EXPECT_TRUE(DeleteObject(bm));
  EXPECT_TRUE(DeleteDC(mem));
  EXPECT_FALSE(DeleteDC(mem));  // a stale handle is refused, not followed
}

TEST_F(GdiTest, StretchBltScalesMirrorsAndBlitsIntoAWindow) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(mem, 2, 2);
  SelectObject(mem, bm);
  SetPixel(mem, 0, 0, RGB(255, 0, 0));
  SetPixel(mem, 1, 0, RGB(0, 255, 0));
  SetPixel(mem, 0, 1, RGB(0, 0, 255));
  SetPixel(mem, 1, 1, RGB(255, 255, 255));
  HWND w = Window(WS_POPUP, 100, 50, 40, 40, nullptr);
  HDC dc = GetDC(w);
  ASSERT_TRUE(StretchBlt(dc, 0, 0, 8, 8, mem, 0, 0, 2, 2, SRCCOPY));
  EXPECT_EQ(At(100, 50), 0xFF0000u);
  EXPECT_EQ(At(103, 53), 0xFF0000u);
  EXPECT_EQ(At(104, 53), 0x00FF00u);
  EXPECT_EQ(At(100, 57), 0x0000FFu);
  EXPECT_EQ(At(107, 57), 0xFFFFFFu);
  EXPECT_EQ(At(108, 57), 0u);
  // A negative width mirrors.
  ASSERT_TRUE(StretchBlt(dc, 20, 0, 2, 2, mem, 1, 0, -2, 2, SRCCOPY));
  EXPECT_EQ(At(120, 50), 0x00FF00u);
  EXPECT_EQ(At(121, 50), 0xFF0000u);
  // BitBlt copies 1:1 and drawing past the window's edge is clipped.
  ASSERT_TRUE(BitBlt(dc, 39, 39, 2, 2, mem, 0, 0, SRCCOPY));
  EXPECT_EQ(At(139, 89), 0xFF0000u);
  EXPECT_EQ(At(140, 89), 0u);
  ReleaseDC(w, dc);
  DeleteDC(mem);
  DeleteObject(bm);
}

TEST_F(GdiTest, AlphaBlendMixesWithConstantAlpha) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bm = CreateCompatibleBitmap(mem, 4, 4);
  SelectObject(mem, bm);
  RECT r{0, 0, 4, 4};
  HBRUSH src = CreateSolidBrush(RGB(200, 100, 0));
  FillRect(mem, &r, src);
  HDC dst = CreateCompatibleDC(nullptr);
  HBITMAP dbm = CreateCompatibleBitmap(dst, 8, 8);
  SelectObject(dst, dbm);
  HBRUSH under = CreateSolidBrush(RGB(0, 50, 255));
  RECT d{0, 0, 8, 8};
  FillRect(dst, &d, under);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 150, 0};
  ASSERT_TRUE(AlphaBlend(dst, 2, 2, 4, 4, mem, 0, 0, 4, 4, blend));
  auto mix = [](int s, int u) { return (s * 150 + u * 105 + 127) / 255; };
  EXPECT_EQ(GetPixel(dst, 3, 3), RGB(mix(200, 0), mix(100, 50), mix(0, 255)));
  EXPECT_EQ(GetPixel(dst, 1, 1), RGB(0, 50, 255));
  EXPECT_EQ(GetPixel(dst, 6, 6), RGB(0, 50, 255));
  DeleteDC(mem);
  DeleteDC(dst);
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(bm), static_cast<HGDIOBJ>(dbm), static_cast<HGDIOBJ>(src),
                    static_cast<HGDIOBJ>(under)}) {
    EXPECT_TRUE(DeleteObject(o));
  }
}

// Every channel value blends by the formula, with constant alpha and with the source's own
// alpha byte, whether the rows are copied straight or stretched.
TEST_F(GdiTest, AlphaBlendOfXrgbFollowsTheFormulaForEveryValue) {
  const int w = 256, h = 3;
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, w, h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* src_bits = nullptr;
  void* dst_bits = nullptr;
  HBITMAP src = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &src_bits, nullptr, 0);
  HBITMAP dst = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &dst_bits, nullptr, 0);
  ASSERT_NE(src, nullptr);
  ASSERT_NE(dst, nullptr);
  auto* s = static_cast<uint32_t*>(src_bits);
  auto* d = static_cast<uint32_t*>(dst_bits);
  HDC sdc = CreateCompatibleDC(nullptr);
  HDC ddc = CreateCompatibleDC(nullptr);
  SelectObject(sdc, src);
  SelectObject(ddc, dst);
  auto channel = [](uint32_t v, int shift) { return static_cast<int>((v >> shift) & 0xFF); };
  for (const int format : {0, int{AC_SRC_ALPHA}}) {
    for (const int alpha : {0, 1, 128, 150, 255}) {
      for (const int shown : {w, w / 2 + 3}) {
        std::vector<uint32_t> under(w * h);
        for (int i = 0; i < w * h; ++i) {
          // Each channel meets every value over the rows; the top byte is the pixel's alpha.
          s[i] = static_cast<uint32_t>((i * 97 + 13) & 0xFF) << 24 | (i % 256) << 16 |
                 ((255 - i % 256) << 8) | ((i * 7) & 0xFF);
          d[i] = under[i] = ((i * 31) & 0xFF) << 16 | ((i * 5 + 3) & 0xFF) << 8 | (i * 11 & 0xFF);
        }
        BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(alpha), static_cast<BYTE>(format)};
        ASSERT_TRUE(AlphaBlend(ddc, 0, 0, shown, h, sdc, 0, 0, w, h, blend));
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < shown; ++x) {
            const int i = y * w + x;
            const uint32_t from = s[y * w + static_cast<int>((2LL * x + 1) * w / (2LL * shown))];
            const int a = format ? alpha * static_cast<int>(from >> 24) / 255 : alpha;
            uint32_t want = 0;
            for (int shift = 0; shift < 24; shift += 8) {
              const int v = (channel(from, shift) * a + channel(under[i], shift) * (255 - a) + 127);
              want |= static_cast<uint32_t>(v / 255) << shift;
            }
            ASSERT_EQ(d[i], want) << "x " << x << " y " << y << " alpha " << alpha << " format "
                                  << format << " shown " << shown;
          }
        }
      }
    }
  }
  DeleteDC(sdc);
  DeleteDC(ddc);
  DeleteObject(src);
  DeleteObject(dst);
}

TEST_F(GdiTest, DibSectionsAreBottomUpAndStretchDibitsReadsThemSo) {
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, 3, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  auto* p = static_cast<uint8_t*>(bits);  // rows of 12 bytes (9 padded to 4)
  p[0] = 255;                             // bottom-left pixel blue
  p[12 + 2] = 255;                        // top-left pixel red
  HDC mem = CreateCompatibleDC(nullptr);
  SelectObject(mem, dib);
  EXPECT_EQ(GetPixel(mem, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(mem, 0, 1), RGB(0, 0, 255));
  BITMAP b;
  ASSERT_EQ(GetObjectA(dib, sizeof(b), &b), static_cast<int>(sizeof(b)));
  EXPECT_EQ(b.bmWidth, 3);
  EXPECT_EQ(b.bmBitsPixel, 24);
  EXPECT_EQ(b.bmBits, bits);
  HWND w = Window(WS_POPUP, 0, 0, 30, 30, nullptr);
  HDC dc = GetDC(w);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 2, 0, 0, 3, 2, bits, &info, DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(At(0, 0), 0xFF0000u);
  EXPECT_EQ(At(0, 1), 0x0000FFu);
  ReleaseDC(w, dc);
  DeleteDC(mem);
  DeleteObject(dib);
}

// Rows of every length from 1 to 40 pixels, drawn whole and from a column offset, so that
// each length ends in a different mix of wide copies and single pixels.
TEST_F(GdiTest, UnscaledBgr24RowsReachTheScreenPixelForPixel) {
  constexpr int kMax = 40;
  HWND w = Window(WS_POPUP, 0, 0, 100, 100, nullptr);
  HDC dc = GetDC(w);
  for (int width = 1; width <= kMax; ++width) {
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * 2);
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<uint8_t>(i * 7 + width);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, width, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int from = width > 3 ? 3 : 0;
    const int n = width - from;
    ASSERT_EQ(
        StretchDIBits(dc, 0, 0, n, 2, from, 0, n, 2, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY),
        2);
    for (int y = 0; y < 2; ++y) {
      const uint8_t* row = bits.data() + static_cast<size_t>(1 - y) * stride;  // bottom-up
      for (int x = 0; x < n; ++x) {
        const uint8_t* p = row + 3 * (x + from);
        const uint32_t want = p[0] | p[1] << 8 | static_cast<uint32_t>(p[2]) << 16;
        ASSERT_EQ(At(x, y), want) << "width " << width << " at " << x << "," << y;
      }
    }
  }
  ReleaseDC(w, dc);
}

// Stretched rows, enlarged, shrunk a little and a lot, mirrored and from an offset, give
// exactly the pixels that centre sampling picks.
TEST_F(GdiTest, StretchedBgr24RowsPickTheCentreSampledPixels) {
  struct Case {
    int from, src, dst;
    bool mirror;
  };
  const Case cases[] = {{0, 1, 7, false},   {0, 7, 16, false},    {2, 33, 50, false},
                        {0, 40, 97, false}, {5, 100, 300, false}, {0, 97, 60, false},
                        {0, 97, 40, false}, {1, 300, 101, false}, {0, 40, 97, true},
                        {3, 90, 70, true}};
  HWND w = Window(WS_POPUP, 0, 0, 320, 240, nullptr);
  HDC dc = GetDC(w);
  for (const Case& c : cases) {
    const int width = c.from + c.src;
    const int rows = 3;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * rows);
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<uint8_t>(i * 13 + c.dst);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, width, rows, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    // Five destination rows from three source rows: some rows repeat their source row.
    const int x = c.mirror ? c.dst - 1 : 0;
    const int dw = c.mirror ? -c.dst : c.dst;
    ASSERT_EQ(StretchDIBits(dc, x, 0, dw, 5, c.from, 0, c.src, rows, bits.data(), &info,
                            DIB_RGB_COLORS, SRCCOPY),
              5);
    for (int y = 0; y < 5; ++y) {
      const int sy = (2 * y + 1) * rows / 10;
      const uint8_t* row = bits.data() + static_cast<size_t>(rows - 1 - sy) * stride;
      for (int dx = 0; dx < c.dst; ++dx) {
        int sx = (2 * dx + 1) * c.src / (2 * c.dst);
        if (c.mirror) sx = c.src - 1 - sx;
        const uint8_t* p = row + 3 * (c.from + sx);
        const uint32_t want = p[0] | p[1] << 8 | static_cast<uint32_t>(p[2]) << 16;
        ASSERT_EQ(At(dx, y), want) << c.src << " to " << c.dst << " at " << dx << "," << y;
      }
    }
  }
  ReleaseDC(w, dc);
}

TEST_F(GdiTest, PixelContextsEncodeIntoTheirFormat) {
  uint16_t pixels[4 * 2] = {};
  platform::gdi::PixelTarget t;
  t.top = reinterpret_cast<uint8_t*>(pixels);
  t.width = 4;
  t.height = 2;
  t.pitch = 8;
  t.format = platform::gdi::Rgb565();
  HDC dc = platform::gdi::CreateDcOverPixels(t, nullptr);
  SetPixel(dc, 1, 0, RGB(255, 0, 0));
  SetPixel(dc, 2, 1, RGB(0, 255, 0));
  SetPixel(dc, 3, 1, RGB(255, 255, 255));
  EXPECT_EQ(pixels[1], 0xF800);
  EXPECT_EQ(pixels[6], 0x07E0);
  EXPECT_EQ(pixels[7], 0xFFFF);
  EXPECT_EQ(GetPixel(dc, 3, 1), RGB(255, 255, 255));
  EXPECT_EQ(platform::gdi::Rgb555().Encode(RGB(0, 0, 255)), 0x001Fu);
  DeleteDC(dc);
}

void WriteBmp(const std::string& path, int w, int h, uint32_t color_bgr) {
  int stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> f(54 + stride * h, 0);
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = (v >> (8 * i)) & 0xFF;
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(2, f.size());
  put32(10, 54);
  put32(14, 40);
  put32(18, w);
  put32(22, h);
  f[26] = 1;
  f[28] = 24;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &f[54 + y * stride + x * 3];
      p[0] = color_bgr & 0xFF;
      p[1] = (color_bgr >> 8) & 0xFF;
      p[2] = (color_bgr >> 16) & 0xFF;
    }
  }
  f[54] = 0xFF;  // the bottom-left pixel blue
  f[55] = f[56] = 0;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(f.data()), f.size());
}

TEST_F(GdiTest, BitmapsAreFoundByNumberInTheResourceFolders) {
  std::string pattern = (fs::temp_directory_path() / "gdi_test_XXXXXX").string();
  std::string dir = mkdtemp(pattern.data());
  WriteBmp(dir + "/4321.bmp", 5, 3, 0x00FF00);
  std::ofstream(dir + "/4322.bmp") << "not a bitmap";
  platform::gdi::AddResourceDirectory(dir.c_str());
  HBITMAP bm = LoadBitmapA(nullptr, MAKEINTRESOURCEA(4321));
  ASSERT_NE(bm, nullptr);
  BITMAP b;
  GetObjectA(bm, sizeof(b), &b);
  EXPECT_EQ(b.bmWidth, 5);
  EXPECT_EQ(b.bmHeight, 3);
  HDC mem = CreateCompatibleDC(nullptr);
  SelectObject(mem, bm);
  EXPECT_EQ(GetPixel(mem, 0, 2), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(mem, 4, 0), RGB(0, 255, 0));
  DeleteDC(mem);
  DeleteObject(bm);
  EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(4322)), nullptr);
  EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(4323)), nullptr);
  HANDLE by_file = LoadImageA(nullptr, (dir + "/4321.bmp").c_str(), IMAGE_BITMAP, 10, 6,
                              LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  ASSERT_NE(by_file, nullptr);
  GetObjectA(by_file, sizeof(b), &b);
  EXPECT_EQ(b.bmWidth, 10);
  DeleteObject(by_file);
  fs::remove_all(dir);
}

TEST_F(GdiTest, BeginPaintGivesAContextClippedToTheUpdate) {
  HWND w = Window(WS_POPUP, 10, 10, 100, 100, nullptr);
  platform::ui::test::Drain();
  RECT part{10, 10, 30, 20};
  InvalidateRect(w, &part, FALSE);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  ASSERT_NE(dc, nullptr);
  RECT client{0, 0, 100, 100};
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  RECT box;
  EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.right, 30);
  EndPaint(w, &ps);
  EXPECT_EQ(At(20, 20), 0xFFFFFFu);
  EXPECT_EQ(At(39, 29), 0xFFFFFFu);
  EXPECT_EQ(At(40, 29), 0u);
  EXPECT_EQ(At(15, 15), 0u);
}

TEST_F(GdiTest, ErasingPaintsTheClassBrushThroughTheDrawingLayer) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "GdiErase";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "GdiErase", "", WS_POPUP | WS_VISIBLE, 30, 30, 40, 20, nullptr,
                           nullptr, nullptr, nullptr);
  windows_.push_back(w);
  InvalidateRect(w, nullptr, TRUE);
  platform::ui::test::Drain();
  uint32_t face = GetSysColor(COLOR_BTNFACE);
  uint32_t xrgb = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
  EXPECT_EQ(At(30, 30), xrgb);
  EXPECT_EQ(At(69, 49), xrgb);
  EXPECT_EQ(At(70, 49), 0u);
}

TEST_F(GdiTest, ObjectsSelectedWhenDeletedLiveUntilDeselected) {
  HDC mem = CreateCompatibleDC(nullptr);
  HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
  SelectObject(mem, b);
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_EQ(GetObjectType(b), OBJ_BRUSH);  // still selected, still valid
  DeleteDC(mem);
  EXPECT_EQ(GetObjectType(b), 0u);
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), OBJ_BRUSH);
  RECT r{0, 0, 1, 1};
  EXPECT_EQ(FillRect(nullptr, &r, b), 0);
}

}  // namespace
