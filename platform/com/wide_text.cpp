#include "platform/com/wide_text.h"

#include "platform/kernel/code_page.h"

namespace platform::com {

std::string Utf8(LPCOLESTR text) {
  if (!text) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
  out.pop_back();  // its NUL
  return out;
}

BSTR BstrFromUtf8(const std::string& text) {
  if (text.empty()) return SysAllocStringLen(nullptr, 0);
  const int chars =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(chars));
  if (out) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out, chars);
  }
  return out;
}

}  // namespace platform::com
