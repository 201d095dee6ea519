// Invalidation, WM_PAINT and the device-context seam to the drawing layer.
#include "platform/ui/paint.h"

#include <atomic>
#include <cstring>
#include <utility>

#include "platform/kernel/kernel.h"
#include "platform/ui/desktop.h"
#include "platform/ui/message.h"
#include "platform/ui/message_internal.h"

namespace platform::ui {
namespace {

using Lock = std::lock_guard<std::mutex>;

std::atomic<DcProvider*> g_provider{nullptr};

bool NeedsPaint(const Window& w) { return (!w.update.IsEmpty() || w.frame) && IsVisibleChain(w); }

bool Passes(HWND window, HWND filter, UINT first, UINT last) {
  if (filter != nullptr && window != filter) return false;
  return (first == 0 && last == 0) || (WM_PAINT >= first && WM_PAINT <= last);
}

// REQUIRES: TreeMutex() held.
DcTarget TargetLocked(const Window& w, DcArea area) {
  bool client = area == DcArea::kClient;
  RECT r = client ? ClientScreenRect(w) : w.rect;
  return DcTarget{w.handle, area, POINT{r.left, r.top},
                  VisibleRegionLocked(w, client, (w.style & WS_CLIPCHILDREN) != 0)};
}

void CollectNeedingPaint(Window* w, std::vector<HWND>* out) {
  if (NeedsPaint(*w)) out->push_back(w->handle);
  for (Window* child : w->children) CollectNeedingPaint(child, out);
}

}  // namespace

void SetDcProvider(DcProvider* provider) { g_provider.store(provider); }
DcProvider* GetDcProvider() { return g_provider.load(); }

Region VisibleRegion(HWND window, DcArea area, bool clip_children) {
  Lock lock(TreeMutex());
  Window* w = Find(window);
  if (w == nullptr) return Region();
  return VisibleRegionLocked(*w, area == DcArea::kClient, clip_children);
}

bool DcTargetOf(HWND window, DcArea area, DcTarget* out) {
  Lock lock(TreeMutex());
  Window* w = Find(window);
  if (w == nullptr || out == nullptr) return false;
  *out = TargetLocked(*w, area);
  return true;
}

bool TakePaint(DWORD thread, HWND filter, UINT first, UINT last, MSG* out) {
  Lock lock(TreeMutex());
  for (Window* w : AllWindows()) {
    if (w->thread != thread || !NeedsPaint(*w) || !Passes(w->handle, filter, first, last)) {
      continue;
    }
    *out = MSG{w->handle, WM_PAINT, 0, 0, GetTickCount(), {0, 0}};
    return true;
  }
  return false;
}

}  // namespace platform::ui

using platform::ui::Find;
using platform::ui::TreeMutex;
using platform::ui::Window;

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  return RedrawWindow(window, rect, nullptr, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

BOOL RedrawWindow(HWND window, const RECT* rect, void*, UINT flags) {
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    Window* w = Find(window);
    if (w == nullptr) return FALSE;
    if (flags & RDW_INVALIDATE) {
      bool children =
          (flags & RDW_ALLCHILDREN) || (!(flags & RDW_NOCHILDREN) && !(w->style & WS_CLIPCHILDREN));
      if (flags & RDW_FRAME) w->frame = true;
      platform::ui::InvalidateWindow(w, rect, (flags & RDW_ERASE) != 0, children);
    }
  }
  if (flags & RDW_UPDATENOW) UpdateWindow(window);
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  if (rect == nullptr) {
    w->update.Clear();
  } else {
    w->update.Subtract(*rect);
  }
  if (w->update.IsEmpty()) w->erase = false;
  return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  if (rect) *rect = w->update.Bounds();
  return w->update.IsEmpty() ? FALSE : TRUE;
}

BOOL UpdateWindow(HWND window) {
  std::vector<HWND> pending;
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    Window* w = Find(window);
    if (w == nullptr) return FALSE;
    platform::ui::CollectNeedingPaint(w, &pending);
  }
  for (HWND h : pending) SendMessageA(h, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (paint == nullptr) return nullptr;
  std::memset(paint, 0, sizeof(*paint));
  bool frame, erase;
  platform::ui::Region update;
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    Window* w = Find(window);
    if (w == nullptr) return nullptr;
    frame = std::exchange(w->frame, false);
    erase = std::exchange(w->erase, false);
    update = std::move(w->update);
    w->update.Clear();
  }
  if (frame) SendMessageA(window, WM_NCPAINT, 1, 0);
  platform::ui::DcTarget target;
  if (!platform::ui::DcTargetOf(window, platform::ui::DcArea::kClient, &target)) return nullptr;
  platform::ui::Region screen_update = update;
  screen_update.Offset(target.origin.x, target.origin.y);
  target.clip.Intersect(screen_update);
  platform::ui::DcProvider* provider = platform::ui::GetDcProvider();
  paint->hdc = provider ? provider->Acquire(target) : nullptr;
  paint->rcPaint = update.Bounds();
  if (erase) {
    paint->fErase =
        SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) ? FALSE : TRUE;
  }
  return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  platform::ui::DcProvider* provider = platform::ui::GetDcProvider();
  if (paint != nullptr && paint->hdc != nullptr && provider != nullptr) {
    provider->Release(paint->hdc);
  }
  return TRUE;
}
