#include "tools/orvix/placeholder_viewer.h"

#include "control/grid.h"
#include "control/page_settings.h"
#include "platform/display/display.h"
#include "platform/ui/ui.h"

namespace orvix {
namespace {

constexpr char kClassName[] = "OrvixPlaceholderViewer";

// Fills `rect` (screen coordinates) where `clip` lets it.
void Fill(platform::display::Framebuffer& fb, const platform::ui::Region& clip, RECT rect,
          uint32_t colour) {
  for (const RECT& part : clip.rects()) {
    RECT cut;
    if (platform::ui::IntersectRects(part, rect, &cut)) fb.Fill(cut, colour);
  }
}

void Frame(platform::display::Framebuffer& fb, const platform::ui::Region& clip, RECT r,
           uint32_t colour) {
  Fill(fb, clip, RECT{r.left, r.top, r.right, r.top + 1}, colour);
  Fill(fb, clip, RECT{r.left, r.bottom - 1, r.right, r.bottom}, colour);
  Fill(fb, clip, RECT{r.left, r.top, r.left + 1, r.bottom}, colour);
  Fill(fb, clip, RECT{r.right - 1, r.top, r.right, r.bottom}, colour);
}

RECT ToScreen(HWND window, RECT r) {
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  OffsetRect(&r, origin.x, origin.y);
  return r;
}

class PlaceholderViewer : public HostedViewer {
 public:
  bool Create(HWND parent, const PageProperties& page) override {
    settings_ = control::LoadPageSettings([&](const char* name) { return page.Get(name); });
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, kClassName, &wc)) {
      wc.lpfnWndProc = &PlaceholderViewer::Proc;
      wc.lpszClassName = kClassName;
      wc.style = CS_DBLCLKS;
      if (!RegisterClassA(&wc)) return false;
    }
    RECT client;
    GetClientRect(parent, &client);
    window_ = CreateWindowExA(0, kClassName, "viewer", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                              0, client.right, client.bottom, parent, nullptr, nullptr, this);
    return window_ != nullptr;
  }

  HWND window() const override { return window_; }

  void Destroy() override {
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
  }

  ~PlaceholderViewer() override { Destroy(); }

 private:
  static LRESULT Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<PlaceholderViewer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (message) {
      case WM_PAINT:
        if (self != nullptr) self->Paint(hwnd);
        return 0;
      case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
      case WM_SIZE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
      case WM_NCDESTROY:
        if (self != nullptr && self->window_ == hwnd) self->window_ = nullptr;
        break;
      default:
        break;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
  }

  void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    auto* display = platform::display::Display::Current();
    if (display != nullptr) Draw(hwnd, display->framebuffer());
    EndPaint(hwnd, &ps);
  }

  void Draw(HWND hwnd, platform::display::Framebuffer& fb) {
    platform::ui::Region clip =
        platform::ui::VisibleRegion(hwnd, platform::ui::DcArea::kClient, true);
    RECT client;
    GetClientRect(hwnd, &client);
    int n = grid::Columns(settings_.channelCount);
    std::lock_guard<std::mutex> lock(fb.mutex());
    Fill(fb, clip, ToScreen(hwnd, client), kPlaceholderBackground);
    for (int i = 0; i < settings_.channelCount; ++i) {
      RECT cell = ToScreen(hwnd, grid::Cell(client, n, i));
      if (cell.right <= cell.left || cell.bottom <= cell.top) continue;
      Fill(fb, clip, cell, kPlaceholderCell);
      Frame(fb, clip, cell, kPlaceholderCellFrame);
    }
    RECT panel{client.right - grid::kPanelWidth, 0, client.right, client.bottom};
    Fill(fb, clip, ToScreen(hwnd, panel), kPlaceholderPanel);
  }

  control::PageSettings settings_;
  HWND window_ = nullptr;
};

}  // namespace

std::unique_ptr<HostedViewer> CreatePlaceholderViewer() {
  return std::make_unique<PlaceholderViewer>();
}

}  // namespace orvix
