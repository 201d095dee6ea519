// GDI objects: the registry of live handles, brushes, pens, stock objects, system colours and
// pixel formats.
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/gdi/gdi_internal.h"

namespace platform::gdi {
namespace {

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::unordered_set<GdiObject*>& Registry() {
  static auto* set = new std::unordered_set<GdiObject*>();
  return *set;
}

int MaskShift(uint32_t mask) {
  if (mask == 0) return 0;
  int s = 0;
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++s;
  }
  return s;
}
int MaskBits(uint32_t mask) {
  mask >>= MaskShift(mask);
  int n = 0;
  while (mask & 1u) {
    mask >>= 1;
    ++n;
  }
  return n;
}
uint32_t Put(BYTE v, uint32_t mask) {
  int bits = MaskBits(mask);
  if (bits == 0) return 0;
  uint32_t scaled = bits >= 8 ? static_cast<uint32_t>(v) << (bits - 8) : v >> (8 - bits);
  return (scaled << MaskShift(mask)) & mask;
}
BYTE Get(uint32_t raw, uint32_t mask) {
  int bits = MaskBits(mask);
  if (bits == 0) return 0;
  uint32_t v = (raw & mask) >> MaskShift(mask);
  if (bits >= 8) return static_cast<BYTE>(v >> (bits - 8));
  // Replicate the top bits so that full intensity stays 255.
  uint32_t out = v << (8 - bits);
  out |= out >> bits;
  return static_cast<BYTE>(out | (out >> (2 * bits)));
}

GdiObject* MakeStock(int index) {
  GdiObject* object = nullptr;
  auto brush = [](COLORREF c, bool null) {
    auto* b = new Brush();
    b->color = c;
    b->null = null;
    return b;
  };
  auto pen = [](COLORREF c, bool null) {
    auto* p = new Pen();
    p->color = c;
    p->null = null;
    return p;
  };
  switch (index) {
    case WHITE_BRUSH:
      object = brush(0xFFFFFF, false);
      break;
    case LTGRAY_BRUSH:
      object = brush(0xC0C0C0, false);
      break;
    case GRAY_BRUSH:
      object = brush(0x808080, false);
      break;
    case DKGRAY_BRUSH:
      object = brush(0x404040, false);
      break;
    case BLACK_BRUSH:
      object = brush(0, false);
      break;
    case NULL_BRUSH:
      object = brush(0, true);
      break;
    case DC_BRUSH: {
      Brush* b = brush(0xFFFFFF, false);
      b->dc_brush = true;
      object = b;
      break;
    }
    case WHITE_PEN:
      object = pen(0xFFFFFF, false);
      break;
    case BLACK_PEN:
      object = pen(0, false);
      break;
    case NULL_PEN:
      object = pen(0, true);
      break;
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT: {
      auto* f = new Font();
      f->log.lfHeight = index == SYSTEM_FONT ? 16 : -12;
      f->log.lfWeight = FW_NORMAL;
      object = f;
      break;
    }
    default:
      return nullptr;
  }
  object->stock = true;
  RegisterObject(object);
  return object;
}

}  // namespace

uint32_t PixelFormat::Encode(COLORREF c) const {
  return Put(GetRValue(c), rmask) | Put(GetGValue(c), gmask) | Put(GetBValue(c), bmask);
}
COLORREF PixelFormat::Decode(uint32_t raw) const {
  return RGB(Get(raw, rmask), Get(raw, gmask), Get(raw, bmask));
}
PixelFormat Xrgb32() { return PixelFormat{}; }
PixelFormat Rgb565() { return PixelFormat{2, 0xF800, 0x07E0, 0x001F}; }
PixelFormat Rgb555() { return PixelFormat{2, 0x7C00, 0x03E0, 0x001F}; }
PixelFormat Bgr24() { return PixelFormat{3, 0xFF0000, 0xFF00, 0xFF}; }

uint32_t PixelTarget::Read(int x, int y) const {
  const uint8_t* p = Row(y) + static_cast<long>(x) * format.bytes;
  switch (format.bytes) {
    case 2:
      return static_cast<uint32_t>(p[0] | (p[1] << 8));
    case 3:
      return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}
void PixelTarget::Write(int x, int y, uint32_t raw) const {
  uint8_t* p = Row(y) + static_cast<long>(x) * format.bytes;
  switch (format.bytes) {
    case 2:
      p[0] = raw & 0xFF;
      p[1] = (raw >> 8) & 0xFF;
      break;
    case 3:
      p[0] = raw & 0xFF;
      p[1] = (raw >> 8) & 0xFF;
      p[2] = (raw >> 16) & 0xFF;
      break;
    default:
      std::memcpy(p, &raw, 4);
      break;
  }
}

PixelTarget Bitmap::Target() {
  PixelTarget t;
  t.width = width;
  t.height = height;
  t.format = format;
  t.mutex = &mutex;
  if (bottom_up) {
    t.top = bits + stride * (height - 1);
    t.pitch = -stride;
  } else {
    t.top = bits;
    t.pitch = stride;
  }
  return t;
}

void RegisterObject(GdiObject* object) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  Registry().insert(object);
}

void UnregisterObject(GdiObject* object) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  Registry().erase(object);
}

GdiObject* FindObject(HGDIOBJ handle) {
  if (handle == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(RegistryMutex());
  auto* object = static_cast<GdiObject*>(handle);
  return Registry().count(object) ? object : nullptr;
}

Brush* AsBrush(HGDIOBJ handle) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  if (value >= 1 && value <= 31) {
    return static_cast<Brush*>(reinterpret_cast<GdiObject*>(GetSysColorBrush(value - 1)));
  }
  GdiObject* o = FindObject(handle);
  return o && o->kind == ObjectKind::kBrush ? static_cast<Brush*>(o) : nullptr;
}
Pen* AsPen(HGDIOBJ handle) {
  GdiObject* o = FindObject(handle);
  return o && o->kind == ObjectKind::kPen ? static_cast<Pen*>(o) : nullptr;
}
Font* AsFont(HGDIOBJ handle) {
  GdiObject* o = FindObject(handle);
  return o && o->kind == ObjectKind::kFont ? static_cast<Font*>(o) : nullptr;
}
Bitmap* AsBitmap(HGDIOBJ handle) {
  GdiObject* o = FindObject(handle);
  return o && o->kind == ObjectKind::kBitmap ? static_cast<Bitmap*>(o) : nullptr;
}

void Deselect(GdiObject* object) {
  if (object == nullptr) return;
  bool free_it = false;
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    if (object->selected > 0) --object->selected;
    if (object->selected == 0 && object->delete_pending) {
      Registry().erase(object);
      free_it = true;
    }
  }
  if (free_it) delete object;
}

bool BrushColor(const DeviceContext& dc, const Brush* brush, COLORREF* color) {
  if (brush == nullptr || brush->null) return false;
  *color = brush->dc_brush ? dc.dc_brush_color : brush->color;
  return true;
}

}  // namespace platform::gdi

using namespace platform::gdi;

HBRUSH CreateSolidBrush(COLORREF color) {
  auto* b = new Brush();
  b->color = color & 0xFFFFFF;
  RegisterObject(b);
  return reinterpret_cast<HBRUSH>(static_cast<GdiObject*>(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (brush == nullptr) return nullptr;
  if (brush->lbStyle == BS_NULL) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  return CreateSolidBrush(brush->lbColor);
}

HPEN CreatePen(int style, int width, COLORREF color) {
  auto* p = new Pen();
  p->null = style == PS_NULL;
  p->width = width < 1 ? 1 : width;
  p->color = color & 0xFFFFFF;
  RegisterObject(p);
  return reinterpret_cast<HPEN>(static_cast<GdiObject*>(p));
}

HGDIOBJ GetStockObject(int index) {
  static std::mutex m;
  static GdiObject* stock[DC_BRUSH + 1] = {};
  if (index < 0 || index > DC_BRUSH) return nullptr;
  std::lock_guard<std::mutex> lock(m);
  if (stock[index] == nullptr) stock[index] = MakeStock(index);
  return stock[index];
}

COLORREF GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW:
      return 0xFFFFFF;
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    case COLOR_WINDOWFRAME:
      return 0x000000;
    case COLOR_BTNFACE:
      return 0xF0F0F0;
    case COLOR_BTNSHADOW:
      return 0xA0A0A0;
    case COLOR_GRAYTEXT:
      return 0x6D6D6D;
    case COLOR_BTNHIGHLIGHT:
      return 0xFFFFFF;
    case COLOR_BACKGROUND:
      return 0x000000;
    default:
      return 0xC8C8C8;
  }
}

HBRUSH GetSysColorBrush(int index) {
  static std::mutex m;
  static HBRUSH brushes[31] = {};
  if (index < 0 || index > 30) return nullptr;
  std::lock_guard<std::mutex> lock(m);
  if (brushes[index] == nullptr) {
    brushes[index] = CreateSolidBrush(GetSysColor(index));
    FindObject(brushes[index])->stock = true;
  }
  return brushes[index];
}

UINT GetObjectType(HGDIOBJ object) {
  if (AsDc(static_cast<HDC>(object)) != nullptr) {
    return AsDc(static_cast<HDC>(object))->kind == DcKind::kMemory ? OBJ_MEMDC : OBJ_DC;
  }
  GdiObject* o = FindObject(object);
  if (o == nullptr) return 0;
  switch (o->kind) {
    case ObjectKind::kBrush:
      return OBJ_BRUSH;
    case ObjectKind::kPen:
      return OBJ_PEN;
    case ObjectKind::kFont:
      return OBJ_FONT;
    case ObjectKind::kBitmap:
      return OBJ_BITMAP;
  }
  return 0;
}

BOOL DeleteObject(HGDIOBJ object) {
  GdiObject* o = FindObject(object);
  if (o == nullptr) return FALSE;
  if (o->stock) return TRUE;
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    if (o->selected > 0) {
      // Windows refuses; we free it when the last context lets go, so nothing leaks.
      o->delete_pending = true;
      return TRUE;
    }
    Registry().erase(o);
  }
  delete o;
  return TRUE;
}

int GetObjectA(HGDIOBJ object, int size, void* out) {
  GdiObject* o = FindObject(object);
  if (o == nullptr) return 0;
  switch (o->kind) {
    case ObjectKind::kBitmap: {
      auto* b = static_cast<Bitmap*>(o);
      BITMAP bm{0,         b->width,
                b->height, static_cast<LONG>(b->stride),
                1,         static_cast<WORD>(b->format.bytes * 8),
                b->bits};
      if (out == nullptr) return sizeof(bm);
      if (size < static_cast<int>(sizeof(bm))) return 0;
      std::memcpy(out, &bm, sizeof(bm));
      return sizeof(bm);
    }
    case ObjectKind::kFont: {
      if (out == nullptr) return sizeof(LOGFONTA);
      if (size < static_cast<int>(sizeof(LOGFONTA))) return 0;
      std::memcpy(out, &static_cast<Font*>(o)->log, sizeof(LOGFONTA));
      return sizeof(LOGFONTA);
    }
    case ObjectKind::kBrush: {
      auto* b = static_cast<Brush*>(o);
      LOGBRUSH lb{b->null ? BS_NULL : BS_SOLID, b->color, 0};
      if (out == nullptr) return sizeof(lb);
      if (size < static_cast<int>(sizeof(lb))) return 0;
      std::memcpy(out, &lb, sizeof(lb));
      return sizeof(lb);
    }
    case ObjectKind::kPen:
      return 0;
  }
  return 0;
}
