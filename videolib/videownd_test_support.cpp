#include "videolib/videownd_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "videolib/video_wnd.h"

namespace videownd_test {
namespace {

constexpr char kParentClass[] = "VideoTestParent";

}  // namespace

void PrintTo(const ParentMessage& m, std::ostream* os) {
  *os << "{" << m.message << ", " << static_cast<intptr_t>(m.wparam) << ", " << m.lparam << "}";
}

ParentWindow::ParentWindow(int x, int y, int width, int height) {
  static bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &ParentWindow::Proc;
    wc.lpszClassName = kParentClass;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    return RegisterClassA(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  hwnd_ = CreateWindowExA(0, kParentClass, "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width,
                          height, nullptr, nullptr, nullptr, nullptr);
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ParentWindow::~ParentWindow() {
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

std::vector<ParentMessage> ParentWindow::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(log_, {});
}

void ParentWindow::ArrangeOnClick(CVideoWnd* video, const RECT& large) {
  video_ = video;
  large_ = large;
}

LRESULT ParentWindow::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<ParentWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(hwnd, message, wparam, lparam);
  if (message == CVideoWnd::GetClickMessage() || message == CVideoWnd::GetSelectMessage()) {
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->log_.push_back({message, wparam, lparam});
    }
    if (message == CVideoWnd::GetClickMessage() && self->video_ != nullptr && lparam == 1) {
      auto w = static_cast<intptr_t>(wparam);
      if (w == self->video_->ChannelId()) self->video_->MoveVideo(self->large_);
      if (w == -1) self->video_->MoveVideo(self->video_->GetNormalRect());
    }
    return 1;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

Desktop::Desktop(int width, int height) {
  std::string error;
  display_ = platform::display::Display::CreateHeadless(width, height, &error);
  if (display_ == nullptr) {
    ADD_FAILURE() << error;
    std::abort();
  }
  platform::gdi::InstallDcProvider();
}

uint32_t Desktop::Pixel(int x, int y) {
  auto& fb = display_->framebuffer();
  std::lock_guard<std::mutex> lock(fb.mutex());
  return fb.Pixel(x, y) & 0xFFFFFF;
}

void Desktop::Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

RECT ClientOnScreen(HWND hwnd) {
  RECT r;
  GetClientRect(hwnd, &r);
  POINT p{0, 0};
  ClientToScreen(hwnd, &p);
  OffsetRect(&r, p.x, p.y);
  return r;
}

}  // namespace videownd_test
