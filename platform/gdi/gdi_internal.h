#pragma once
// The drawing layer's objects and contexts, shared by its source files.

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/pixel_target.h"
#include "platform/ui/region.h"

namespace platform::gdi {

enum class ObjectKind { kBrush, kPen, kFont, kBitmap };

struct GdiObject {
  explicit GdiObject(ObjectKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  const ObjectKind kind;
  bool stock = false;
  int selected = 0;             // number of contexts it is selected into
  bool delete_pending = false;  // DeleteObject while selected: freed when deselected
};

struct Brush : GdiObject {
  Brush() : GdiObject(ObjectKind::kBrush) {}
  bool null = false;
  bool dc_brush = false;  // DC_BRUSH: the context's brush colour
  COLORREF color = 0;
};

struct Pen : GdiObject {
  Pen() : GdiObject(ObjectKind::kPen) {}
  bool null = false;
  int width = 1;
  COLORREF color = 0;
};

struct Font : GdiObject {
  Font() : GdiObject(ObjectKind::kFont) {}
  LOGFONTA log{};
};

struct Bitmap : GdiObject {
  Bitmap() : GdiObject(ObjectKind::kBitmap) {}
  int width = 0;
  int height = 0;
  PixelFormat format;
  std::vector<uint8_t> storage;
  uint8_t* bits = nullptr;  // the lowest address of the pixels (DIB sections hand it out)
  long stride = 0;          // bytes a row
  bool bottom_up = false;
  std::mutex mutex;

  PixelTarget Target();
};

// Registers / unregisters live objects so that stale or foreign handles are refused.
void RegisterObject(GdiObject* object);
void UnregisterObject(GdiObject* object);
GdiObject* FindObject(HGDIOBJ handle);  // null when not a live object
Brush* AsBrush(HGDIOBJ handle);         // also resolves (HBRUSH)(COLOR_x + 1)
Pen* AsPen(HGDIOBJ handle);
Font* AsFont(HGDIOBJ handle);
Bitmap* AsBitmap(HGDIOBJ handle);
// Drops one selection; frees the object when DeleteObject was asked for meanwhile.
void Deselect(GdiObject* object);

enum class DcKind { kWindow, kMemory, kPixels };

struct DeviceContext {
  uint32_t magic = kMagic;
  static constexpr uint32_t kMagic = 0x47444943;
  DcKind kind = DcKind::kPixels;
  HWND window = nullptr;
  PixelTarget target;
  POINT origin{0, 0};         // target position of the context's (0, 0)
  platform::ui::Region clip;  // target coordinates

  Brush* brush = nullptr;
  Pen* pen = nullptr;
  Font* font = nullptr;
  Bitmap* bitmap = nullptr;      // memory contexts
  Bitmap* own_bitmap = nullptr;  // the 1 x 1 bitmap a memory context starts with
  COLORREF text_color = 0;
  COLORREF bk_color = 0xFFFFFF;
  COLORREF dc_brush_color = 0xFFFFFF;
  int bk_mode = OPAQUE;
  POINT pen_pos{0, 0};
};

DeviceContext* AsDc(HDC dc);     // null when not a live context
HDC NewDc(DeviceContext* dc);    // registers it
void FreeDc(DeviceContext* dc);  // deselects and unregisters
void PointAtBitmap(DeviceContext* dc, Bitmap* bitmap);

// Locks the targets' mutexes (one or two, each once) for the duration of a drawing.
class TargetLock {
 public:
  explicit TargetLock(const PixelTarget& a, const PixelTarget* b = nullptr);
  ~TargetLock();
  TargetLock(const TargetLock&) = delete;
  TargetLock& operator=(const TargetLock&) = delete;

 private:
  std::mutex* first_ = nullptr;
  std::mutex* second_ = nullptr;
};

// The clip rectangles of `dc` limited to `r` (both in target coordinates).
std::vector<RECT> ClipRects(const DeviceContext& dc, const RECT& r);
// Tells the framebuffer (when the target has one) that `r` (target coordinates) changed.
void MarkChanged(const DeviceContext& dc, const RECT& r);
// Fills `r` (context coordinates) with `raw` within the clip; the lock must not be held.
void FillRaw(DeviceContext* dc, const RECT& r, uint32_t raw);
// The colour a brush paints with in `dc`; false for a null brush.
bool BrushColor(const DeviceContext& dc, const Brush* brush, COLORREF* color);

}  // namespace platform::gdi
