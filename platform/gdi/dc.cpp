// Device contexts: on windows (through the window system's provider seam), on memory bitmaps
// and on caller pixels; selection, colours, modes and clipping.
#include <algorithm>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "platform/display/display.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/ui/paint.h"

namespace platform::gdi {
namespace {

std::mutex& DcMutex() {
  static std::mutex m;
  return m;
}
std::unordered_set<DeviceContext*>& Dcs() {
  static auto* set = new std::unordered_set<DeviceContext*>();
  return *set;
}

void SelectInitial(DeviceContext* dc) {
  dc->brush = AsBrush(GetStockObject(WHITE_BRUSH));
  dc->pen = AsPen(GetStockObject(BLACK_PEN));
  dc->font = AsFont(GetStockObject(SYSTEM_FONT));
}

HDC WindowDc(const platform::ui::DcTarget& target) {
  auto* dc = new DeviceContext();
  dc->kind = DcKind::kWindow;
  dc->window = target.window;
  SelectInitial(dc);
  platform::display::Display* display = platform::display::Display::Current();
  if (display != nullptr) {
    platform::display::Framebuffer& fb = display->framebuffer();
    dc->target.top = reinterpret_cast<uint8_t*>(fb.pixels());
    dc->target.width = fb.width();
    dc->target.height = fb.height();
    dc->target.pitch = static_cast<long>(fb.stride()) * 4;
    dc->target.format = Xrgb32();
    dc->target.mutex = &fb.mutex();
    dc->target.dirty = &fb;
    dc->clip = target.clip;
    dc->clip.Intersect(RECT{0, 0, fb.width(), fb.height()});
  }
  dc->origin = target.origin;
  return NewDc(dc);
}

class Provider : public platform::ui::DcProvider {
 public:
  HDC Acquire(const platform::ui::DcTarget& target) override { return WindowDc(target); }
  void Release(HDC dc) override { DeleteDC(dc); }
  void FillBackground(HDC dc, const RECT& rect, HBRUSH brush) override {
    FillRect(dc, &rect, brush);
  }
};

// Linked in with the context calls, so a program that draws gets painting contexts too.
const bool g_installed = (InstallDcProvider(), true);

}  // namespace

void InstallDcProvider() {
  static Provider provider;
  if (platform::ui::GetDcProvider() != &provider) platform::ui::SetDcProvider(&provider);
}

DeviceContext* AsDc(HDC handle) {
  if (handle == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(DcMutex());
  auto* dc = reinterpret_cast<DeviceContext*>(handle);
  return Dcs().count(dc) ? dc : nullptr;
}

HDC NewDc(DeviceContext* dc) {
  for (GdiObject* o : {static_cast<GdiObject*>(dc->brush), static_cast<GdiObject*>(dc->pen),
                       static_cast<GdiObject*>(dc->font), static_cast<GdiObject*>(dc->bitmap)}) {
    if (o != nullptr) ++o->selected;
  }
  std::lock_guard<std::mutex> lock(DcMutex());
  Dcs().insert(dc);
  return reinterpret_cast<HDC>(dc);
}

void FreeDc(DeviceContext* dc) {
  {
    std::lock_guard<std::mutex> lock(DcMutex());
    Dcs().erase(dc);
  }
  Deselect(dc->brush);
  Deselect(dc->pen);
  Deselect(dc->font);
  Deselect(dc->bitmap);
  if (dc->own_bitmap != nullptr) {
    UnregisterObject(dc->own_bitmap);
    delete dc->own_bitmap;
  }
  delete dc;
}

void PointAtBitmap(DeviceContext* dc, Bitmap* bitmap) {
  dc->bitmap = bitmap;
  dc->target = bitmap->Target();
  dc->clip = platform::ui::Region(RECT{0, 0, bitmap->width, bitmap->height});
  dc->origin = POINT{0, 0};
}

TargetLock::TargetLock(const PixelTarget& a, const PixelTarget* b) {
  first_ = a.mutex;
  if (b != nullptr && b->mutex != a.mutex) second_ = b->mutex;
  if (first_ && second_) {
    std::lock(*first_, *second_);
  } else if (first_) {
    first_->lock();
  } else if (second_) {
    second_->lock();
  }
}

TargetLock::~TargetLock() {
  if (first_) first_->unlock();
  if (second_) second_->unlock();
}

std::vector<RECT> ClipRects(const DeviceContext& dc, const RECT& r) {
  std::vector<RECT> out;
  for (const RECT& c : dc.clip.rects()) {
    RECT i;
    if (platform::ui::IntersectRects(c, r, &i)) out.push_back(i);
  }
  return out;
}

void MarkChanged(const DeviceContext& dc, const RECT& r) {
  if (dc.target.dirty != nullptr && !platform::ui::IsEmptyRect(r)) dc.target.dirty->MarkDirty(r);
}

void FillRaw(DeviceContext* dc, const RECT& r, uint32_t raw) {
  RECT t{r.left + dc->origin.x, r.top + dc->origin.y, r.right + dc->origin.x,
         r.bottom + dc->origin.y};
  std::vector<RECT> rects = ClipRects(*dc, t);
  if (rects.empty()) return;
  TargetLock lock(dc->target);
  const PixelTarget& pt = dc->target;
  for (const RECT& c : rects) {
    for (int y = c.top; y < c.bottom; ++y) {
      if (pt.format.bytes == 4) {
        auto* row = reinterpret_cast<uint32_t*>(pt.Row(y));
        std::fill(row + c.left, row + c.right, raw);
      } else {
        for (int x = c.left; x < c.right; ++x) pt.Write(x, y, raw);
      }
    }
    MarkChanged(*dc, c);
  }
}

HDC CreateDcOverPixels(const PixelTarget& target, const platform::ui::Region* clip) {
  auto* dc = new DeviceContext();
  dc->kind = DcKind::kPixels;
  dc->target = target;
  SelectInitial(dc);
  RECT whole{0, 0, target.width, target.height};
  dc->clip = clip ? *clip : platform::ui::Region(whole);
  dc->clip.Intersect(whole);
  return NewDc(dc);
}

}  // namespace platform::gdi

using namespace platform::gdi;

HDC GetDC(HWND window) {
  InstallDcProvider();
  if (window == nullptr) {
    platform::ui::DcTarget target{nullptr, platform::ui::DcArea::kWindow, POINT{0, 0},
                                  platform::ui::Region(RECT{0, 0, 16384, 16384})};
    return WindowDc(target);
  }
  platform::ui::DcTarget target;
  if (!platform::ui::DcTargetOf(window, platform::ui::DcArea::kClient, &target)) return nullptr;
  return WindowDc(target);
}

HDC GetWindowDC(HWND window) {
  InstallDcProvider();
  if (window == nullptr) return GetDC(nullptr);
  platform::ui::DcTarget target;
  if (!platform::ui::DcTargetOf(window, platform::ui::DcArea::kWindow, &target)) return nullptr;
  return WindowDc(target);
}

int ReleaseDC(HWND, HDC handle) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr || dc->kind != DcKind::kWindow) return 0;
  FreeDc(dc);
  return 1;
}

HDC CreateCompatibleDC(HDC) {
  auto* dc = new DeviceContext();
  dc->kind = DcKind::kMemory;
  SelectInitial(dc);
  auto* one = new Bitmap();
  one->width = one->height = 1;
  one->stride = 4;
  one->storage.assign(4, 0);
  one->bits = one->storage.data();
  dc->own_bitmap = one;
  one->stock = true;  // DeleteObject leaves it alone; the context frees it
  RegisterObject(one);
  PointAtBitmap(dc, one);
  return NewDc(dc);
}

BOOL DeleteDC(HDC handle) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return FALSE;
  FreeDc(dc);
  return TRUE;
}

namespace {

template <typename T>
HGDIOBJ Swap(T** slot, T* object) {
  T* old = *slot;
  ++object->selected;
  *slot = object;
  Deselect(old);
  return old;
}

}  // namespace

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
  DeviceContext* dc = AsDc(handle);
  GdiObject* o = FindObject(object);
  if (dc == nullptr || o == nullptr) {
    if (dc != nullptr && AsBrush(object) != nullptr) return Swap(&dc->brush, AsBrush(object));
    return nullptr;
  }
  switch (o->kind) {
    case ObjectKind::kBrush:
      return Swap(&dc->brush, static_cast<Brush*>(o));
    case ObjectKind::kPen:
      return Swap(&dc->pen, static_cast<Pen*>(o));
    case ObjectKind::kFont:
      return Swap(&dc->font, static_cast<Font*>(o));
    case ObjectKind::kBitmap: {
      if (dc->kind != DcKind::kMemory) return nullptr;
      auto* b = static_cast<Bitmap*>(o);
      if (b->selected > 0 && dc->bitmap != b) return nullptr;  // one context at a time
      Bitmap* old = dc->bitmap;
      ++b->selected;
      PointAtBitmap(dc, b);
      Deselect(old);
      return old;
    }
  }
  return nullptr;
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return nullptr;
  switch (type) {
    case OBJ_BRUSH:
      return dc->brush;
    case OBJ_PEN:
      return dc->pen;
    case OBJ_FONT:
      return dc->font;
    case OBJ_BITMAP:
      return dc->bitmap;
    default:
      return nullptr;
  }
}

COLORREF SetTextColor(HDC handle, COLORREF color) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return CLR_INVALID;
  return std::exchange(dc->text_color, color & 0xFFFFFF);
}
COLORREF GetTextColor(HDC handle) {
  DeviceContext* dc = AsDc(handle);
  return dc ? dc->text_color : CLR_INVALID;
}
COLORREF SetBkColor(HDC handle, COLORREF color) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return CLR_INVALID;
  return std::exchange(dc->bk_color, color & 0xFFFFFF);
}
COLORREF GetBkColor(HDC handle) {
  DeviceContext* dc = AsDc(handle);
  return dc ? dc->bk_color : CLR_INVALID;
}
int SetBkMode(HDC handle, int mode) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
  return std::exchange(dc->bk_mode, mode);
}
int GetBkMode(HDC handle) {
  DeviceContext* dc = AsDc(handle);
  return dc ? dc->bk_mode : 0;
}
COLORREF SetDCBrushColor(HDC handle, COLORREF color) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return CLR_INVALID;
  return std::exchange(dc->dc_brush_color, color & 0xFFFFFF);
}
int SetStretchBltMode(HDC handle, int mode) {
  return AsDc(handle) != nullptr && mode > 0 ? COLORONCOLOR : 0;
}

int GetClipBox(HDC handle, RECT* rect) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr || rect == nullptr) return ERROR;
  RECT b = dc->clip.Bounds();
  if (dc->clip.IsEmpty()) {
    *rect = RECT{0, 0, 0, 0};
    return NULLREGION;
  }
  *rect = RECT{b.left - dc->origin.x, b.top - dc->origin.y, b.right - dc->origin.x,
               b.bottom - dc->origin.y};
  return dc->clip.rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return ERROR;
  dc->clip.Intersect(
      RECT{left + dc->origin.x, top + dc->origin.y, right + dc->origin.x, bottom + dc->origin.y});
  if (dc->clip.IsEmpty()) return NULLREGION;
  return dc->clip.rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
