#pragma once
// Internal to the common controls: per-window state, notifications to the parent and painting
// through an off-screen bitmap.

#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/gdi/gdi.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/ui.h"

namespace platform::ui::commctrl {

// The state of each window of one control class, made at WM_NCCREATE and freed at
// WM_NCDESTROY. Controls run on their window's thread; the lock only guards the map itself.
template <class T>
class StateMap {
 public:
  T* Create(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = states_[window];
    slot = std::make_unique<T>();
    return slot.get();
  }
  T* Get(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = states_.find(window);
    return it == states_.end() ? nullptr : it->second.get();
  }
  void Erase(HWND window) {
    std::unique_ptr<T> gone;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = states_.find(window);
    if (it == states_.end()) return;
    gone = std::move(it->second);
    states_.erase(it);
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HWND, std::unique_ptr<T>> states_;
};

// Registers a process-wide control class with the arrow cursor; `style` adds to CS_GLOBALCLASS.
void RegisterControlClass(const char* name, WNDPROC proc, UINT style = 0);

// Fills the NMHDR at the start of `header` and sends WM_NOTIFY to the parent of `from`.
LRESULT Notify(HWND from, UINT code, NMHDR* header);

// BeginPaint, then drawing into a bitmap the size of the client area, copied to the window
// at the end in one blit.
class OffscreenPaint {
 public:
  explicit OffscreenPaint(HWND window);
  ~OffscreenPaint();
  OffscreenPaint(const OffscreenPaint&) = delete;
  OffscreenPaint& operator=(const OffscreenPaint&) = delete;
  HDC dc() const { return memory_; }
  const RECT& client() const { return client_; }
  // What needs painting; only this part of the bitmap reaches the window.
  const RECT& update() const { return ps_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC target_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  RECT client_{};
};

void FillColor(HDC dc, const RECT& rect, COLORREF color);
void FrameColor(HDC dc, const RECT& rect, COLORREF color);
void HLine(HDC dc, int x0, int x1, int y, COLORREF color);
void VLine(HDC dc, int x, int y0, int y1, COLORREF color);
// The font a control was given by WM_SETFONT, or the GUI default.
HFONT FontOr(HFONT font);

void RegisterHeaderClass();
void RegisterListViewClass();
void RegisterTrackbarClass();
void RegisterDateTimeClass();
void RegisterTooltipClass();

}  // namespace platform::ui::commctrl
