// CWnd's hold on its window, and the artwork: sizes, shapes and its BMP files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "device/widgets/widget_art.h"
#include "device/widgets/widget_theme.h"
#include "device/widgets/wnd.h"
#include "platform/gdi/gdi.h"

namespace device::widgets {
namespace {

class Counting : public CWnd {
 public:
  int paints = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_USER + 7) ++paints;
    return CWnd::WindowProc(message, wparam, lparam);
  }
};

TEST(CWndTest, SubclassingRoutesMessagesAndLetsGoOfTheWindow) {
  HWND top = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                             nullptr);
  CWnd plain;
  RECT r{0, 0, 50, 20};
  ASSERT_TRUE(plain.Create("text", 0, r, top, 3));
  HWND window = plain.m_hWnd;
  EXPECT_EQ(plain.GetWindowText(), "text");
  auto own_proc = GetWindowLongPtrA(window, GWLP_WNDPROC);
  HWND taken = plain.UnsubclassWindow();
  EXPECT_EQ(taken, window);
  EXPECT_NE(GetWindowLongPtrA(window, GWLP_WNDPROC), own_proc);  // its class's procedure again
  EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);

  Counting counting;
  ASSERT_TRUE(counting.SubclassWindow(window));
  CWnd second;
  EXPECT_FALSE(second.SubclassWindow(window));  // one object per window
  SendMessageA(window, WM_USER + 7, 0, 0);
  EXPECT_EQ(counting.paints, 1);
  EXPECT_EQ(CWnd::FromHandlePermanent(window), &counting);
  DestroyWindow(window);
  // The object no longer refers to the destroyed window.
  EXPECT_EQ(counting.m_hWnd, nullptr);
  EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
  DestroyWindow(top);
}

SIZE SizeOf(HBITMAP b) {
  BITMAP bm{};
  GetObjectA(b, sizeof bm, &bm);
  return SIZE{bm.bmWidth, bm.bmHeight};
}

COLORREF PixelOf(HBITMAP b, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c;
}

TEST(WidgetArt, EveryBitmapHasTheSizeOfItsFamilyAndThePtzButtonsAreRound) {
  std::vector<UINT> ids = WidgetBitmapIds();
  ASSERT_GE(ids.size(), 50u);
  for (UINT id : ids) {
    HBITMAP b = DrawWidgetBitmap(id);
    ASSERT_NE(b, nullptr) << id;
    SIZE s = SizeOf(b);
    if (id >= 121 && id <= 167) {
      EXPECT_EQ(s.cx, 30) << id;
      EXPECT_EQ(PixelOf(b, 0, 0), kTransparentKey) << id;  // outside the disc
      EXPECT_NE(PixelOf(b, 15, 1), kTransparentKey) << id;
    } else {
      EXPECT_NE(PixelOf(b, s.cx / 2, s.cy / 2), kTransparentKey) << id;
    }
    DeleteObject(b);
  }
  EXPECT_EQ(DrawWidgetBitmap(9999), nullptr);
  // The three states of a button differ.
  HBITMAP n = DrawWidgetBitmap(1286), h = DrawWidgetBitmap(1287), p = DrawWidgetBitmap(1288);
  EXPECT_NE(PixelOf(n, 0, 12), PixelOf(h, 0, 12));
  EXPECT_NE(PixelOf(n, 40, 20), PixelOf(p, 40, 20));
  DeleteObject(n);
  DeleteObject(h);
  DeleteObject(p);
}

TEST(WidgetArt, SavedBitmapsLoadBackAsTheSamePicture) {
  char pattern[] = "/tmp/orvix_art_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  std::string error;
  for (UINT id : {131u, 1289u, 1290u}) {  // odd widths exercise the row padding
    std::string path = dir + "/" + std::to_string(id) + ".bmp";
    ASSERT_TRUE(SaveWidgetBitmap(id, path, &error)) << error;
    HBITMAP drawn = DrawWidgetBitmap(id);
    HBITMAP loaded = LoadBitmapA(nullptr, path.c_str());
    ASSERT_NE(loaded, nullptr) << path;
    SIZE s = SizeOf(drawn);
    ASSERT_EQ(SizeOf(loaded).cx, s.cx);
    ASSERT_EQ(SizeOf(loaded).cy, s.cy);
    for (int y = 0; y < s.cy; y += 3) {
      for (int x = 0; x < s.cx; x += 3) {
        ASSERT_EQ(PixelOf(loaded, x, y), PixelOf(drawn, x, y)) << id << " at " << x << "," << y;
      }
    }
    DeleteObject(drawn);
    DeleteObject(loaded);
  }
  EXPECT_FALSE(SaveWidgetBitmap(9999, dir + "/x.bmp", &error));
  std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace device::widgets
