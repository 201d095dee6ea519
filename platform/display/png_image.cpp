#include "platform/display/png_image.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace platform::display {
namespace {

constexpr int kMaxSide = 16384;

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// libpng's own handlers print to standard error; failures are reported to our caller instead.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

void RgbRow(const uint32_t* row, int width, png_byte* out) {
  for (int x = 0; x < width; ++x) {
    out[x * 3] = static_cast<png_byte>(row[x] >> 16);
    out[x * 3 + 1] = static_cast<png_byte>(row[x] >> 8);
    out[x * 3 + 2] = static_cast<png_byte>(row[x]);
  }
}

// Writes the whole file; false on any libpng error. Buffers are made before the error jump
// point so that a jump out of libpng leaves nothing behind.
bool Encode(FILE* f, const uint32_t* pixels, int width, int height, int stride) {
  std::vector<png_byte> row(static_cast<size_t>(width) * 3);
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    RgbRow(pixels + static_cast<size_t>(y) * stride, width, row.data());
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool Decode(FILE* f, XrgbImage* image, std::vector<png_byte>* row) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_palette_to_rgb(png);
  png_set_gray_to_rgb(png);
  png_set_expand_gray_1_2_4_to_8(png);
  png_read_update_info(png, info);
  image->width = static_cast<int>(png_get_image_width(png, info));
  image->height = static_cast<int>(png_get_image_height(png, info));
  if (png_get_rowbytes(png, info) != static_cast<size_t>(image->width) * 3) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  if (image->width > kMaxSide || image->height > kMaxSide) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  image->pixels.assign(static_cast<size_t>(image->width) * image->height, 0);
  row->assign(static_cast<size_t>(image->width) * 3, 0);
  png_byte* in = row->data();
  for (int y = 0; y < image->height; ++y) {
    png_read_row(png, in, nullptr);
    uint32_t* out = image->pixels.data() + static_cast<size_t>(y) * image->width;
    for (int x = 0; x < image->width; ++x) {
      out[x] = (uint32_t{in[x * 3]} << 16) | (uint32_t{in[x * 3 + 1]} << 8) | in[x * 3 + 2];
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height, int stride,
              std::string* error) {
  if (pixels == nullptr || width <= 0 || height <= 0 || stride < width) {
    SetError(error, "bad picture for a PNG");
    return false;
  }
  std::string temp = path + ".part";
  bool ok;
  {
    File f(fopen(temp.c_str(), "wb"));
    if (!f) {
      SetError(error, "cannot create " + path);
      return false;
    }
    ok = Encode(f.get(), pixels, width, height, stride) && fflush(f.get()) == 0;
  }
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    remove(temp.c_str());
    SetError(error, "cannot write " + path);
    return false;
  }
  return true;
}

std::optional<XrgbImage> ReadPng(const std::string& path, std::string* error) {
  File f(fopen(path.c_str(), "rb"));
  if (!f) {
    SetError(error, "cannot open " + path);
    return std::nullopt;
  }
  png_byte signature[8];
  if (fread(signature, 1, 8, f.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    SetError(error, path + " is not a PNG file");
    return std::nullopt;
  }
  rewind(f.get());
  XrgbImage image;
  std::vector<png_byte> row;
  if (!Decode(f.get(), &image, &row)) {
    SetError(error, path + " is damaged");
    return std::nullopt;
  }
  return image;
}

}  // namespace platform::display
