// The DirectDraw object, clippers, formats and the test hooks.
#include "platform/ddraw/ddraw.h"

#include <cstring>

#include "platform/ddraw/ddraw_internal.h"
#include "platform/display/display.h"

const IID IID_IDirectDraw7 = {
    0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
const IID IID_IDirectDrawSurface7 = {
    0x06675a80, 0x3b9b, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
const IID IID_IDirectDrawClipper = {
    0x6c14db85, 0xa733, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};

namespace platform::ddraw {
namespace {

const IID kIidUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class DirectDraw : public IDirectDraw7 {
 public:
  DirectDraw() : core_(std::make_shared<Core>()) { ++LiveCount(); }
  ~DirectDraw() override { --LiveCount(); }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!(iid == IID_IDirectDraw7) && !(iid == kIidUnknown)) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IDirectDraw7*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) override {
    return DirectDrawCreateClipper(flags, clipper, outer);
  }
  HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out, IUnknown* outer) override;
  HRESULT GetDisplayMode(DDSURFACEDESC2* desc) override;
  HRESULT RestoreDisplayMode() override { return DD_OK; }
  HRESULT SetCooperativeLevel(HWND, DWORD flags) override {
    if ((flags & (DDSCL_NORMAL | DDSCL_EXCLUSIVE)) == 0) return DDERR_INVALIDPARAMS;
    level_set_ = true;
    return DD_OK;
  }
  HRESULT RestoreAllSurfaces() override {
    std::lock_guard<std::mutex> lock(core_->mutex);
    for (Surface* s : core_->surfaces) s->Restore();
    return DD_OK;
  }
  void LoseAll() {
    std::lock_guard<std::mutex> lock(core_->mutex);
    for (Surface* s : core_->surfaces) s->Lose();
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::shared_ptr<Core> core_;
  bool level_set_ = false;
};

HRESULT DirectDraw::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out,
                                  IUnknown* outer) {
  if (out == nullptr || desc == nullptr || outer != nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!level_set_) return DDERR_NOCOOPERATIVELEVELSET;
  if (!(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
  if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) {
    if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    platform::display::Display* display = platform::display::Display::Current();
    if (display == nullptr) return DDERR_NODIRECTDRAWHW;
    *out = new Surface(core_, &display->framebuffer());
    return DD_OK;
  }
  if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT) || desc->dwWidth == 0 ||
      desc->dwHeight == 0 || desc->dwWidth > 16384 || desc->dwHeight > 16384) {
    return DDERR_INVALIDPARAMS;
  }
  DDSURFACEDESC2 d = *desc;
  if (!(d.dwFlags & DDSD_PIXELFORMAT)) {
    // Without a format a surface takes the display's: 32-bit XRGB.
    std::memset(&d.ddpfPixelFormat, 0, sizeof(d.ddpfPixelFormat));
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = DDPF_RGB;
    d.ddpfPixelFormat.dwRGBBitCount = 32;
    d.ddpfPixelFormat.dwRBitMask = 0xFF0000;
    d.ddpfPixelFormat.dwGBitMask = 0x00FF00;
    d.ddpfPixelFormat.dwBBitMask = 0x0000FF;
  }
  Layout layout;
  if (!LayoutOf(d.ddpfPixelFormat, &layout)) return DDERR_INVALIDPIXELFORMAT;
  void* memory = nullptr;
  if (d.dwFlags & DDSD_LPSURFACE) {
    long natural = NaturalPitch(layout, d.ddpfPixelFormat.dwRGBBitCount, d.dwWidth);
    if (d.lpSurface == nullptr || !(d.dwFlags & DDSD_PITCH) || d.lPitch < natural - 3) {
      return DDERR_INVALIDPARAMS;
    }
    memory = d.lpSurface;
  }
  *out = new Surface(core_, d, layout, memory);
  return DD_OK;
}

HRESULT DirectDraw::GetDisplayMode(DDSURFACEDESC2* desc) {
  if (desc == nullptr) return DDERR_INVALIDPARAMS;
  platform::display::Display* display = platform::display::Display::Current();
  if (display == nullptr) return DDERR_NODIRECTDRAWHW;
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(*desc);
  desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = display->framebuffer().width();
  desc->dwHeight = display->framebuffer().height();
  desc->lPitch = display->framebuffer().stride() * 4;
  desc->ddpfPixelFormat =
      DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {32}, {0xFF0000}, {0xFF00}, {0xFF}, {0}};
  return DD_OK;
}

}  // namespace

std::atomic<int>& LiveCount() {
  static std::atomic<int> count{0};
  return count;
}

bool LayoutOf(const DDPIXELFORMAT& f, Layout* layout) {
  if (f.dwFlags & DDPF_FOURCC) {
    switch (f.dwFourCC) {
      case MAKEFOURCC('Y', 'U', 'Y', '2'):
        *layout = Layout::kYuy2;
        return true;
      case MAKEFOURCC('U', 'Y', 'V', 'Y'):
        *layout = Layout::kUyvy;
        return true;
      case MAKEFOURCC('Y', 'V', '1', '2'):
        *layout = Layout::kYv12;
        return true;
      case MAKEFOURCC('I', '4', '2', '0'):
      case MAKEFOURCC('I', 'Y', 'U', 'V'):
        *layout = Layout::kI420;
        return true;
      case MAKEFOURCC('Y', '4', '1', '1'):
        *layout = Layout::kY411;
        return true;
      case MAKEFOURCC('Y', '4', '1', 'P'):
        *layout = Layout::kY41p;
        return true;
      default:
        return false;
    }
  }
  if (!(f.dwFlags & DDPF_RGB)) return false;
  if (f.dwRGBBitCount != 16 && f.dwRGBBitCount != 24 && f.dwRGBBitCount != 32) return false;
  *layout = Layout::kRgb;
  return true;
}

long NaturalPitch(Layout layout, int bits, int width) {
  long bytes;
  switch (layout) {
    case Layout::kRgb:
      bytes = static_cast<long>(width) * (bits / 8);
      break;
    case Layout::kYuy2:
    case Layout::kUyvy:
      bytes = static_cast<long>((width + 1) / 2) * 4;
      break;
    case Layout::kYv12:
    case Layout::kI420:
      bytes = width;
      break;
    case Layout::kY411:
      bytes = static_cast<long>((width + 3) / 4) * 6;
      break;
    case Layout::kY41p:
      bytes = static_cast<long>((width + 7) / 8) * 12;
      break;
    default:
      bytes = width;
      break;
  }
  return (bytes + 3) & ~3L;
}

size_t SurfaceBytes(Layout layout, long pitch, int height) {
  size_t plane = static_cast<size_t>(pitch) * height;
  if (layout == Layout::kYv12 || layout == Layout::kI420) {
    return plane + 2 * (static_cast<size_t>(pitch / 2) * ((height + 1) / 2));
  }
  return plane;
}

Clipper::Clipper() { ++LiveCount(); }
Clipper::~Clipper() { --LiveCount(); }

HRESULT Clipper::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!(iid == IID_IDirectDrawClipper) && !(iid == kIidUnknown)) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IDirectDrawClipper*>(this);
  return S_OK;
}
ULONG Clipper::AddRef() { return ++refs_; }
ULONG Clipper::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}
HRESULT Clipper::SetHWnd(DWORD, HWND window) {
  window_.store(window);
  return DD_OK;
}
HRESULT Clipper::GetHWnd(HWND* window) {
  if (window == nullptr) return DDERR_INVALIDPARAMS;
  *window = window_.load();
  return DD_OK;
}

void LoseSurfaces(IDirectDraw7* ddraw) {
  if (ddraw != nullptr) static_cast<DirectDraw*>(ddraw)->LoseAll();
}
void LoseSurface(IDirectDrawSurface7* surface) {
  if (surface != nullptr) static_cast<Surface*>(surface)->Lose();
}
void InjectStillDrawing(IDirectDrawSurface7* surface, int count) {
  if (surface != nullptr) static_cast<Surface*>(surface)->InjectStillDrawing(count);
}
int LiveObjectCount() { return LiveCount().load(); }

}  // namespace platform::ddraw

HRESULT DirectDrawCreateEx(GUID* guid, void** out, REFIID iid, IUnknown* outer) {
  if (out == nullptr) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (guid != nullptr || outer != nullptr) return DDERR_INVALIDPARAMS;
  if (!(iid == IID_IDirectDraw7)) return DDERR_INVALIDPARAMS;
  *out = static_cast<IDirectDraw7*>(new platform::ddraw::DirectDraw());
  return DD_OK;
}

HRESULT DirectDrawCreateClipper(DWORD, IDirectDrawClipper** clipper, IUnknown* outer) {
  if (clipper == nullptr || outer != nullptr) return DDERR_INVALIDPARAMS;
  *clipper = new platform::ddraw::Clipper();
  return DD_OK;
}
