// Surfaces: memory, descriptions, locks, device contexts, colour keys, loss and blits.
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/ddraw/ddraw_internal.h"
#include "platform/display/framebuffer.h"
#include "platform/ui/paint.h"

namespace platform::ddraw {
namespace {

const IID kIidUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool ValidRect(const RECT& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width &&
         r.bottom <= height;
}

}  // namespace

Surface::Surface(std::shared_ptr<Core> core, const DDSURFACEDESC2& desc, Layout layout,
                 void* memory)
    : core_(std::move(core)), layout_(layout) {
  desc_ = desc;
  desc_.dwSize = sizeof(desc_);
  desc_.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  if (memory == nullptr) {
    desc_.lPitch = NaturalPitch(layout, desc.ddpfPixelFormat.dwRGBBitCount, desc.dwWidth);
    storage_.assign(SurfaceBytes(layout, desc_.lPitch, desc.dwHeight), 0);
    desc_.lpSurface = storage_.data();
  } else {
    desc_.dwFlags |= DDSD_LPSURFACE;
    desc_.lpSurface = memory;
  }
  desc_.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
  ++LiveCount();
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->surfaces.insert(this);
}

Surface::Surface(std::shared_ptr<Core> core, platform::display::Framebuffer* framebuffer)
    : core_(std::move(core)), framebuffer_(framebuffer), mutex_(&framebuffer->mutex()) {
  desc_.dwSize = sizeof(desc_);
  desc_.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc_.dwWidth = framebuffer->width();
  desc_.dwHeight = framebuffer->height();
  desc_.lPitch = framebuffer->stride() * 4;
  desc_.lpSurface = framebuffer->pixels();
  desc_.ddpfPixelFormat =
      DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {32}, {0xFF0000}, {0xFF00}, {0xFF}, {0}};
  desc_.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE;
  ++LiveCount();
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->surfaces.insert(this);
}

Surface::~Surface() {
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->surfaces.erase(this);
  }
  for (HDC dc : dcs_) DeleteDC(dc);
  if (clipper_ != nullptr) clipper_->Release();
  --LiveCount();
}

HRESULT Surface::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IDirectDrawSurface7) && !(iid == kIidUnknown)) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IDirectDrawSurface7*>(this);
  return S_OK;
}
ULONG Surface::AddRef() { return ++refs_; }
ULONG Surface::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

platform::gdi::PixelFormat Surface::RgbFormat() const {
  const DDPIXELFORMAT& f = desc_.ddpfPixelFormat;
  platform::gdi::PixelFormat out;
  out.bytes = static_cast<int>(f.dwRGBBitCount / 8);
  out.rmask = f.dwRBitMask;
  out.gmask = f.dwGBitMask;
  out.bmask = f.dwBBitMask;
  if (out.rmask == 0 && out.gmask == 0 && out.bmask == 0) {
    // A format given by its bit count alone: the usual masks for that depth.
    out = out.bytes == 2 ? platform::gdi::Rgb565() : platform::gdi::PixelFormat{out.bytes};
  }
  return out;
}

bool Surface::locked_by_this_thread() const {
  return primary() && lock_count_.load() > 0 && lock_owner_ == std::this_thread::get_id();
}

bool Surface::TakeStillDrawing() {
  int n = still_drawing_.load();
  while (n > 0 && !still_drawing_.compare_exchange_weak(n, n - 1)) {
  }
  return n > 0;
}

HRESULT Surface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
  if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  *desc = desc_;
  return DD_OK;
}

HRESULT Surface::GetPixelFormat(DDPIXELFORMAT* format) {
  if (format == nullptr) return DDERR_INVALIDPARAMS;
  *format = desc_.ddpfPixelFormat;
  return DD_OK;
}

HRESULT Surface::IsLost() { return lost() ? DDERR_SURFACELOST : DD_OK; }

HRESULT Surface::Restore() {
  lost_.store(false);
  return DD_OK;
}

HRESULT Surface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD, HANDLE) {
  if (desc == nullptr) return DDERR_INVALIDPARAMS;
  if (rect != nullptr && !ValidRect(*rect, desc_.dwWidth, desc_.dwHeight)) {
    return DDERR_INVALIDRECT;
  }
  if (lost()) return DDERR_SURFACELOST;
  if (primary()) {
    // The framebuffer stays locked until Unlock, so nothing else draws meanwhile.
    if (locked_by_this_thread()) return DDERR_SURFACEBUSY;
    mutex_->lock();
    lock_owner_ = std::this_thread::get_id();
  }
  ++lock_count_;
  DDSURFACEDESC2 out = desc_;
  if (rect != nullptr) {
    int bits = layout_ == Layout::kRgb ? static_cast<int>(desc_.ddpfPixelFormat.dwRGBBitCount)
               : (layout_ == Layout::kYuy2 || layout_ == Layout::kUyvy) ? 16
                                                                        : 8;
    out.lpSurface = memory() + static_cast<long>(rect->top) * desc_.lPitch +
                    static_cast<long>(rect->left) * bits / 8;
  }
  *desc = out;
  return DD_OK;
}

HRESULT Surface::Unlock(RECT*) {
  int n = lock_count_.load();
  if (n <= 0) return DDERR_NOTLOCKED;
  --lock_count_;
  if (primary()) {
    if (lock_owner_ != std::this_thread::get_id()) return DDERR_NOTLOCKED;
    framebuffer_->MarkAllDirty();
    lock_owner_ = std::thread::id();
    mutex_->unlock();
  }
  return DD_OK;
}

HRESULT Surface::GetDC(HDC* dc) {
  if (dc == nullptr) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  if (lost()) return DDERR_SURFACELOST;
  if (layout_ != Layout::kRgb) return DDERR_CANTCREATEDC;
  platform::gdi::PixelTarget t;
  t.top = memory();
  t.width = static_cast<int>(desc_.dwWidth);
  t.height = static_cast<int>(desc_.dwHeight);
  t.pitch = desc_.lPitch;
  t.format = RgbFormat();
  t.mutex = mutex_;
  t.dirty = framebuffer_;
  *dc = platform::gdi::CreateDcOverPixels(t, nullptr);
  if (*dc == nullptr) return DDERR_CANTCREATEDC;
  std::lock_guard<std::mutex> lock(state_mutex_);
  dcs_.push_back(*dc);
  return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC dc) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  auto it = std::find(dcs_.begin(), dcs_.end(), dc);
  if (it == dcs_.end()) return DDERR_NODC;
  dcs_.erase(it);
  DeleteDC(dc);
  return DD_OK;
}

HRESULT Surface::SetClipper(IDirectDrawClipper* clipper) {
  auto* c = static_cast<Clipper*>(clipper);
  if (c != nullptr) c->AddRef();
  Clipper* old;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    old = std::exchange(clipper_, c);
  }
  if (old != nullptr) old->Release();
  return DD_OK;
}

HRESULT Surface::GetClipper(IDirectDrawClipper** clipper) {
  if (clipper == nullptr) return DDERR_INVALIDPARAMS;
  std::lock_guard<std::mutex> lock(state_mutex_);
  *clipper = clipper_;
  if (clipper_ == nullptr) return DDERR_NOCLIPPERATTACHED;
  clipper_->AddRef();
  return DD_OK;
}

HRESULT Surface::SetColorKey(DWORD flags, DDCOLORKEY* key) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (flags & DDCKEY_SRCBLT) {
    has_src_key_ = key != nullptr;
    if (key) src_key_ = *key;
    return DD_OK;
  }
  if (flags & DDCKEY_DESTBLT) {
    has_dst_key_ = key != nullptr;
    if (key) dst_key_ = *key;
    return DD_OK;
  }
  return DDERR_INVALIDPARAMS;
}

HRESULT Surface::GetColorKey(DWORD flags, DDCOLORKEY* key) {
  if (key == nullptr) return DDERR_INVALIDPARAMS;
  std::lock_guard<std::mutex> lock(state_mutex_);
  if ((flags & DDCKEY_SRCBLT) && has_src_key_) {
    *key = src_key_;
    return DD_OK;
  }
  if ((flags & DDCKEY_DESTBLT) && has_dst_key_) {
    *key = dst_key_;
    return DD_OK;
  }
  return DDERR_NOCOLORKEY;
}

HRESULT Surface::SetSurfaceDesc(DDSURFACEDESC2* desc, DWORD) {
  if (desc == nullptr || primary() || !(desc->dwFlags & DDSD_LPSURFACE) ||
      desc->lpSurface == nullptr) {
    return DDERR_INVALIDPARAMS;
  }
  std::lock_guard<std::mutex> lock(*mutex_);
  DDSURFACEDESC2 next = desc_;
  if (desc->dwFlags & DDSD_WIDTH) next.dwWidth = desc->dwWidth;
  if (desc->dwFlags & DDSD_HEIGHT) next.dwHeight = desc->dwHeight;
  if (desc->dwFlags & DDSD_PIXELFORMAT) next.ddpfPixelFormat = desc->ddpfPixelFormat;
  Layout layout;
  if (next.dwWidth == 0 || next.dwHeight == 0 || !LayoutOf(next.ddpfPixelFormat, &layout)) {
    return DDERR_INVALIDPARAMS;
  }
  long natural = NaturalPitch(layout, next.ddpfPixelFormat.dwRGBBitCount, next.dwWidth);
  next.lPitch = (desc->dwFlags & DDSD_PITCH) ? desc->lPitch : natural;
  if (next.lPitch < natural - 3) return DDERR_INVALIDPARAMS;
  next.lpSurface = desc->lpSurface;
  next.dwFlags |= DDSD_LPSURFACE;
  desc_ = next;
  layout_ = layout;
  storage_.clear();
  storage_.shrink_to_fit();
  return DD_OK;
}

HRESULT Surface::Blt(RECT* dst_rect, IDirectDrawSurface7* src_surface, RECT* src_rect, DWORD flags,
                     DDBLTFX* fx) {
  auto* src = static_cast<Surface*>(src_surface);
  RECT dst = dst_rect
                 ? *dst_rect
                 : RECT{0, 0, static_cast<LONG>(desc_.dwWidth), static_cast<LONG>(desc_.dwHeight)};
  if (dst.right <= dst.left || dst.bottom <= dst.top) return DDERR_INVALIDRECT;
  if ((flags & DDBLT_COLORFILL) && fx == nullptr) return DDERR_INVALIDPARAMS;
  if (!(flags & DDBLT_COLORFILL) && src == nullptr) return DDERR_INVALIDPARAMS;
  RECT sr{};
  if (src != nullptr) {
    const DDSURFACEDESC2& sd = src->desc();
    sr = src_rect ? *src_rect
                  : RECT{0, 0, static_cast<LONG>(sd.dwWidth), static_cast<LONG>(sd.dwHeight)};
    if (!ValidRect(sr, sd.dwWidth, sd.dwHeight)) return DDERR_INVALIDRECT;
    if (src->lost()) return DDERR_SURFACELOST;
  }
  if (lost()) return DDERR_SURFACELOST;
  if (TakeStillDrawing()) return DDERR_WASSTILLDRAWING;
  if (locked_by_this_thread() || (src != nullptr && src->locked_by_this_thread())) {
    return DDERR_SURFACEBUSY;
  }
  return BltLocked(dst, src, sr, flags, fx);
}

HRESULT Surface::BltLocked(const RECT& dst, Surface* src, const RECT& src_rect, DWORD flags,
                           const DDBLTFX* fx) {
  // What the destination may show: its bounds, cut to the clipper's window when it has one.
  platform::ui::Region clip(
      RECT{0, 0, static_cast<LONG>(desc_.dwWidth), static_cast<LONG>(desc_.dwHeight)});
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (clipper_ != nullptr) window = clipper_->window();
  }
  if (window != nullptr) {
    clip.Intersect(platform::ui::VisibleRegion(window, platform::ui::DcArea::kClient, true));
  }
  clip.Intersect(dst);
  std::vector<RECT> rects = clip.rects();
  if (rects.empty()) return DD_OK;
  std::mutex* a = mutex_;
  std::mutex* b = src != nullptr ? &src->mutex() : nullptr;
  if (b == a) b = nullptr;
  if (b != nullptr) {
    std::lock(*a, *b);
  } else {
    a->lock();
  }
  if (flags & DDBLT_COLORFILL) {
    FillSurface(this, rects, fx->dwFillColor);
  } else {
    StretchSurface(this, dst, src, src_rect, rects, (flags & DDBLT_KEYSRC) && src->has_src_key());
  }
  if (framebuffer_ != nullptr) {
    for (const RECT& r : rects) framebuffer_->MarkDirty(r);
  }
  a->unlock();
  if (b != nullptr) b->unlock();
  return DD_OK;
}

}  // namespace platform::ddraw
