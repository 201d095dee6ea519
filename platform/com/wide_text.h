#pragma once
// OLE's UTF-16 text and the UTF-8 the registry and files keep.

#include <string>

#include "platform/com/oleauto.h"

namespace platform::com {

std::string Utf8(LPCOLESTR text);  // "" for null
BSTR BstrFromUtf8(const std::string& text);

}  // namespace platform::com
