#include "platform/kernel/code_page.h"

#include <iconv.h>

#include <cstring>
#include <string>

namespace {

const char* CharsetOf(UINT code_page) {
  switch (code_page) {
    case CP_ACP:
    case 936:
      return "GBK";
    case CP_UTF8:
      return "UTF-8";
    default:
      return nullptr;
  }
}

// Converts `in` whole; false when a sequence has no translation or the charset is unknown.
bool Convert(const char* to, const char* from, const char* in, size_t in_bytes, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->assign(in_bytes * 4 + 8, '\0');
  char* src = const_cast<char*>(in);
  size_t src_left = in_bytes;
  char* dst = out->data();
  size_t dst_left = out->size();
  size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return false;
  out->resize(out->size() - dst_left);
  return true;
}

// The common tail of both calls: the size needed, or the copy into a buffer that must hold it.
int Deliver(const std::string& converted, size_t unit, void* out, int out_units) {
  int units = static_cast<int>(converted.size() / unit);
  if (out_units == 0) return units;
  if (units > out_units) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, converted.data(), converted.size());
  return units;
}

}  // namespace

int MultiByteToWideChar(UINT code_page, DWORD, LPCSTR in, int in_bytes, WCHAR* out, int out_chars) {
  const char* charset = CharsetOf(code_page);
  if (charset == nullptr || in == nullptr || in_bytes < -1 || out_chars < 0 ||
      (out_chars > 0 && out == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t bytes = in_bytes == -1 ? std::strlen(in) + 1 : static_cast<size_t>(in_bytes);
  std::string converted;
  if (!Convert("UTF-16LE", charset, in, bytes, &converted)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Deliver(converted, sizeof(WCHAR), out, out_chars);
}

int WideCharToMultiByte(UINT code_page, DWORD, const WCHAR* in, int in_chars, char* out,
                        int out_bytes, LPCSTR, BOOL* used_default) {
  const char* charset = CharsetOf(code_page);
  if (charset == nullptr || in == nullptr || in_chars < -1 || out_bytes < 0 ||
      (out_bytes > 0 && out == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t chars = in_chars;
  if (in_chars == -1) {
    chars = 0;
    while (in[chars] != 0) ++chars;
    ++chars;
  }
  if (used_default != nullptr) *used_default = FALSE;
  std::string converted;
  if (!Convert(charset, "UTF-16LE", reinterpret_cast<const char*>(in), chars * sizeof(WCHAR),
               &converted)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Deliver(converted, 1, out, out_bytes);
}
