#include "platform/kernel/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
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

// What stands for a sequence that has no translation: `replacement`, after skipping `skip`
// bytes of the input; a skip of 0 refuses the whole conversion.
struct Substitute {
  std::string replacement;
  size_t skip = 0;
};
using OnBadSequence = Substitute (*)(const char* at, size_t left, const void* context);

// Converts `in` whole, asking `on_bad` what to do with each sequence that has no translation;
// false when it refuses one or the charset is unknown.
bool Convert(const char* to, const char* from, const char* in, size_t in_bytes,
             OnBadSequence on_bad, const void* context, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->clear();
  char* src = const_cast<char*>(in);
  size_t src_left = in_bytes;
  bool ok = true;
  while (src_left > 0) {
    char buf[256];
    char* dst = buf;
    size_t dst_left = sizeof buf;
    size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    out->append(buf, sizeof buf - dst_left);
    if (rc != static_cast<size_t>(-1) || errno == E2BIG) continue;
    Substitute sub = on_bad(src, src_left, context);
    if (sub.skip == 0) {
      ok = false;
      break;
    }
    out->append(sub.replacement);
    sub.skip = std::min(sub.skip, src_left);
    src += sub.skip;
    src_left -= sub.skip;
  }
  iconv_close(cd);
  return ok;
}

// A broken multi-byte sequence becomes U+FFFD, as Windows does without MB_ERR_INVALID_CHARS;
// in UTF-8 its continuation bytes go with it.
Substitute BadMultiByte(const char* at, size_t left, const void* context) {
  const bool strict = *static_cast<const bool*>(context);
  if (strict) return {};
  size_t skip = 1;
  if (static_cast<const bool*>(context)[1]) {  // UTF-8
    while (skip < left && (static_cast<unsigned char>(at[skip]) & 0xC0) == 0x80) ++skip;
  }
  return {std::string("\xFD\xFF", 2), skip};
}

// A character the code page lacks becomes the default character.
struct WideDefault {
  const char* text;
  BOOL* used;
};
Substitute BadWide(const char* at, size_t left, const void* context) {
  const auto* d = static_cast<const WideDefault*>(context);
  if (d->used != nullptr) *d->used = TRUE;
  const unsigned unit = static_cast<unsigned char>(at[0]) | static_cast<unsigned char>(at[1]) << 8;
  const bool pair = unit >= 0xD800 && unit < 0xDC00 && left >= 4;
  return {d->text, pair ? 4u : 2u};
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

int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR in, int in_bytes, WCHAR* out,
                        int out_chars) {
  const char* charset = CharsetOf(code_page);
  if (charset == nullptr || in == nullptr || in_bytes < -1 || out_chars < 0 ||
      (out_chars > 0 && out == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t bytes = in_bytes == -1 ? std::strlen(in) + 1 : static_cast<size_t>(in_bytes);
  const bool rules[2] = {(flags & MB_ERR_INVALID_CHARS) != 0, code_page == CP_UTF8};
  std::string converted;
  if (!Convert("UTF-16LE", charset, in, bytes, BadMultiByte, rules, &converted)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Deliver(converted, sizeof(WCHAR), out, out_chars);
}

int WideCharToMultiByte(UINT code_page, DWORD, const WCHAR* in, int in_chars, char* out,
                        int out_bytes, LPCSTR default_char, BOOL* used_default) {
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
  const WideDefault fallback{default_char != nullptr ? default_char : "?", used_default};
  std::string converted;
  if (!Convert(charset, "UTF-16LE", reinterpret_cast<const char*>(in), chars * sizeof(WCHAR),
               BadWide, &fallback, &converted)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Deliver(converted, 1, out, out_bytes);
}
