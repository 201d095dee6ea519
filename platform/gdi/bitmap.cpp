// Bitmaps: compatible bitmaps, DIB sections, and our bitmap files found by number or name.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/module.h"
#include "platform/ui/dialog_resource.h"

namespace platform::gdi {
namespace {

constexpr long long kMaxPixels = 16384LL * 16384LL;

std::mutex& DirMutex() {
  static std::mutex m;
  return m;
}
std::vector<std::string>& Dirs() {
  static auto* dirs = new std::vector<std::string>();
  return *dirs;
}

HBITMAP Handle(Bitmap* b) { return reinterpret_cast<HBITMAP>(static_cast<GdiObject*>(b)); }

Bitmap* NewBitmap(int width, int height, const PixelFormat& format, bool bottom_up) {
  if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxPixels) {
    return nullptr;
  }
  auto* b = new Bitmap();
  b->width = width;
  b->height = height;
  b->format = format;
  b->stride = ((static_cast<long>(width) * format.bytes * 8 + 31) / 32) * 4;
  b->bottom_up = bottom_up;
  b->storage.assign(static_cast<size_t>(b->stride) * height, 0);
  b->bits = b->storage.data();
  RegisterObject(b);
  return b;
}

std::string DirName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::vector<std::string> SearchDirs(HINSTANCE module) {
  std::vector<std::string> dirs;
  {
    std::lock_guard<std::mutex> lock(DirMutex());
    dirs = Dirs();
  }
  if (const char* env = std::getenv("ORVIX_RESOURCES")) {
    std::string all(env);
    size_t start = 0;
    while (start <= all.size()) {
      size_t colon = all.find(':', start);
      if (colon == std::string::npos) colon = all.size();
      if (colon > start) dirs.push_back(all.substr(start, colon - start));
      start = colon + 1;
    }
  }
  char path[MAX_PATH * 4];
  for (HMODULE m : {module, static_cast<HMODULE>(nullptr)}) {
    if (GetModuleFileNameA(m, path, sizeof(path)) > 0) dirs.push_back(DirName(path) + "/res");
  }
  return dirs;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

// The palette or packed pixel at column x of a stored row, as COLORREF.
COLORREF StoredPixel(const uint8_t* row, int x, int bpp, const uint8_t* palette, int colors) {
  int index;
  switch (bpp) {
    case 32:
    case 24: {
      const uint8_t* p = row + x * (bpp / 8);
      return RGB(p[2], p[1], p[0]);
    }
    case 8:
      index = row[x];
      break;
    case 4:
      index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
      break;
    default:
      index = (row[x / 8] >> (7 - x % 8)) & 1;
      break;
  }
  if (index >= colors) return 0;
  const uint8_t* q = palette + index * 4;
  return RGB(q[2], q[1], q[0]);
}

// Uncompressed BMP files of 1, 4, 8, 24 or 32 bits, into a 32-bit top-down bitmap.
Bitmap* DecodeBmp(const std::vector<uint8_t>& file) {
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return nullptr;
  uint32_t offset = Le32(&file[10]), header = Le32(&file[14]);
  if (header < 40 || 14 + static_cast<size_t>(header) > file.size()) return nullptr;
  int width = static_cast<int32_t>(Le32(&file[18]));
  int height = static_cast<int32_t>(Le32(&file[22]));
  int bpp = file[28] | (file[29] << 8);
  uint32_t compression = Le32(&file[30]), colors = Le32(&file[46]);
  bool bottom_up = height > 0;
  height = std::abs(height);
  if (compression != BI_RGB || width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    return nullptr;
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return nullptr;
  if (bpp <= 8 && colors == 0) colors = 1u << bpp;
  size_t palette_at = 14 + header;
  if (bpp <= 8 && palette_at + colors * 4ull > file.size()) return nullptr;
  size_t stride = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
  if (offset > file.size() || file.size() - offset < stride * height) return nullptr;
  Bitmap* b = NewBitmap(width, height, Xrgb32(), false);
  PixelTarget t = b->Target();
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = &file[offset + stride * (bottom_up ? height - 1 - y : y)];
    for (int x = 0; x < width; ++x) {
      t.Write(
          x, y,
          t.format.Encode(StoredPixel(row, x, bpp, &file[palette_at], static_cast<int>(colors))));
    }
  }
  return b;
}

Bitmap* LoadFrom(const std::string& path) {
  std::vector<uint8_t> file;
  return ReadFile(path, &file) ? DecodeBmp(file) : nullptr;
}

Bitmap* Find(HINSTANCE module, LPCSTR name) {
  auto value = reinterpret_cast<uintptr_t>(name);
  if (name == nullptr) return nullptr;
  // Bitmaps compiled into a module come first.
  if (const platform::ui::BitmapResource* r = platform::ui::FindBitmapResource(module, name)) {
    return DecodeBmp(std::vector<uint8_t>(r->data, r->data + r->size));
  }
  std::string file = value < 0x10000 ? std::to_string(value) + ".bmp" : std::string(name);
  if (value >= 0x10000 && file.find('/') != std::string::npos) return LoadFrom(file);
  for (const std::string& dir : SearchDirs(module)) {
    if (Bitmap* b = LoadFrom(dir + "/" + file)) return b;
  }
  return nullptr;
}

}  // namespace

void AddResourceDirectory(const char* path) {
  if (path == nullptr) return;
  std::lock_guard<std::mutex> lock(DirMutex());
  Dirs().insert(Dirs().begin(), std::string(path));
}

}  // namespace platform::gdi

using namespace platform::gdi;

HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
  DeviceContext* dc = AsDc(handle);
  if (dc == nullptr) return nullptr;
  PixelFormat format = dc->kind == DcKind::kPixels ? dc->target.format : Xrgb32();
  return Handle(NewBitmap(width, height, format, false));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
  if (info == nullptr) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  PixelFormat format;
  switch (h.biBitCount) {
    case 16:
      format = Rgb555();
      break;
    case 24:
      format = Bgr24();
      break;
    case 32:
      format = Xrgb32();
      break;
    default:
      return nullptr;
  }
  if (h.biCompression == BI_BITFIELDS && h.biBitCount != 24) {
    const auto* masks = reinterpret_cast<const DWORD*>(info->bmiColors);
    format.rmask = masks[0];
    format.gmask = masks[1];
    format.bmask = masks[2];
  } else if (h.biCompression != BI_RGB) {
    return nullptr;
  }
  Bitmap* b = NewBitmap(h.biWidth, std::abs(h.biHeight), format, h.biHeight > 0);
  if (b == nullptr) return nullptr;
  if (bits != nullptr) *bits = b->bits;
  return Handle(b);
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT) {
  Bitmap* b = AsBitmap(bitmap);
  if (b == nullptr || bits == nullptr || info == nullptr) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB) return 0;
  if (h.biWidth <= 0 || h.biHeight == 0) return 0;
  int bpp = h.biBitCount / 8;
  long stride = ((static_cast<long>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  int rows = std::abs(h.biHeight);
  PixelTarget t = b->Target();
  std::lock_guard<std::mutex> lock(b->mutex);
  int done = 0;
  for (UINT i = 0; i < lines && start + i < static_cast<UINT>(rows); ++i) {
    int scan = static_cast<int>(start + i);  // scan 0 is the bottom row of a bottom-up DIB
    int y = h.biHeight > 0 ? rows - 1 - scan : scan;
    if (y >= b->height) continue;
    const auto* row = static_cast<const uint8_t*>(bits) + stride * i;
    for (int x = 0; x < h.biWidth && x < b->width; ++x) {
      const uint8_t* p = row + x * bpp;
      t.Write(x, y, t.format.Encode(RGB(p[2], p[1], p[0])));
    }
    ++done;
  }
  return done;
}

HBITMAP LoadBitmapA(HINSTANCE module, LPCSTR name) { return Handle(Find(module, name)); }

HANDLE LoadImageA(HINSTANCE module, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
  if (type != IMAGE_BITMAP || name == nullptr) return nullptr;
  Bitmap* b = (flags & LR_LOADFROMFILE) && reinterpret_cast<uintptr_t>(name) >= 0x10000
                  ? LoadFrom(name)
                  : Find(module, name);
  if (b == nullptr) return nullptr;
  if ((cx > 0 && cx != b->width) || (cy > 0 && cy != b->height)) {
    HDC src = CreateCompatibleDC(nullptr);
    HDC dst = CreateCompatibleDC(nullptr);
    HBITMAP scaled = CreateCompatibleBitmap(dst, cx > 0 ? cx : b->width, cy > 0 ? cy : b->height);
    SelectObject(src, Handle(b));
    SelectObject(dst, scaled);
    BITMAP bm;
    GetObjectA(scaled, sizeof(bm), &bm);
    StretchBlt(dst, 0, 0, bm.bmWidth, bm.bmHeight, src, 0, 0, b->width, b->height, SRCCOPY);
    DeleteDC(src);
    DeleteDC(dst);
    DeleteObject(Handle(b));
    return scaled;
  }
  return Handle(b);
}
