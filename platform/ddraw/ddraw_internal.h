#pragma once
// DirectDraw's objects, shared by its source files.

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/gdi/pixel_target.h"

namespace platform::display {
class Framebuffer;
}

namespace platform::ddraw {

// What a surface's memory holds.
enum class Layout { kRgb, kYuy2, kUyvy, kYv12, kI420, kY411, kY41p };

// Layout of a pixel format; false for formats we cannot hold.
bool LayoutOf(const DDPIXELFORMAT& format, Layout* layout);
// Bytes of surface memory for `height` rows of `pitch` bytes in `layout`.
size_t SurfaceBytes(Layout layout, long pitch, int height);
// The natural pitch of a row `width` pixels wide, padded to 4 bytes.
long NaturalPitch(Layout layout, int bits, int width);

std::atomic<int>& LiveCount();

class Surface;

// What the surfaces of one DirectDraw object share, alive while any of them is.
struct Core {
  std::mutex mutex;
  std::set<Surface*> surfaces;
};

class Clipper : public IDirectDrawClipper {
 public:
  Clipper();
  ~Clipper() override;
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT SetHWnd(DWORD flags, HWND window) override;
  HRESULT GetHWnd(HWND* window) override;
  HWND window() const { return window_.load(); }

 private:
  std::atomic<ULONG> refs_{1};
  std::atomic<HWND> window_{nullptr};
};

class Surface : public IDirectDrawSurface7 {
 public:
  // Off-screen surfaces in `memory` (caller's) or in memory of their own.
  Surface(std::shared_ptr<Core> core, const DDSURFACEDESC2& desc, Layout layout, void* memory);
  // The primary surface over the framebuffer.
  Surface(std::shared_ptr<Core> core, platform::display::Framebuffer* framebuffer);
  ~Surface() override;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT Blt(RECT* dst_rect, IDirectDrawSurface7* src, RECT* src_rect, DWORD flags,
              DDBLTFX* fx) override;
  HRESULT GetDC(HDC* dc) override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
  HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
  HRESULT IsLost() override;
  HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(RECT* rect) override;
  HRESULT Restore() override;
  HRESULT SetClipper(IDirectDrawClipper* clipper) override;
  HRESULT GetClipper(IDirectDrawClipper** clipper) override;
  HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT SetSurfaceDesc(DDSURFACEDESC2* desc, DWORD flags) override;

  void Lose() { lost_.store(true); }
  void InjectStillDrawing(int count) { still_drawing_.store(count); }

  // For the blit engine. REQUIRES: mutex() held where the pixels are read or written.
  std::mutex& mutex() { return *mutex_; }
  Layout layout() const { return layout_; }
  const DDSURFACEDESC2& desc() const { return desc_; }
  uint8_t* memory() const { return static_cast<uint8_t*>(desc_.lpSurface); }
  bool lost() const { return lost_.load(); }
  bool primary() const { return framebuffer_ != nullptr; }
  platform::display::Framebuffer* framebuffer() const { return framebuffer_; }
  bool locked_by_this_thread() const;
  bool TakeStillDrawing();
  bool has_src_key() const { return has_src_key_; }
  DDCOLORKEY src_key() const { return src_key_; }
  Clipper* clipper() const { return clipper_; }
  platform::gdi::PixelFormat RgbFormat() const;

 private:
  HRESULT BltLocked(const RECT& dst, Surface* src, const RECT& src_rect, DWORD flags,
                    const DDBLTFX* fx);

  std::atomic<ULONG> refs_{1};
  std::shared_ptr<Core> core_;
  platform::display::Framebuffer* framebuffer_ = nullptr;
  std::mutex own_mutex_;
  std::mutex* mutex_ = &own_mutex_;
  DDSURFACEDESC2 desc_{};
  Layout layout_ = Layout::kRgb;
  std::vector<uint8_t> storage_;
  std::atomic<bool> lost_{false};
  std::atomic<int> still_drawing_{0};
  std::atomic<int> lock_count_{0};
  std::thread::id lock_owner_;
  std::mutex state_mutex_;  // guards the fields below
  Clipper* clipper_ = nullptr;
  bool has_src_key_ = false;
  DDCOLORKEY src_key_{};
  bool has_dst_key_ = false;
  DDCOLORKEY dst_key_{};
  std::vector<HDC> dcs_;
};

// The blit engine: stretches `src_rect` of `src` onto `dst_rect` of `dst`, clipped to
// `clip` (destination coordinates), converting between layouts. REQUIRES: both surfaces'
// mutexes held.
void StretchSurface(Surface* dst, const RECT& dst_rect, Surface* src, const RECT& src_rect,
                    const std::vector<RECT>& clip, bool src_key);
void FillSurface(Surface* dst, const std::vector<RECT>& clip, DWORD color);

}  // namespace platform::ddraw
