#include "tools/orvix/page_bag.h"

#include <string>

#include "platform/kernel/code_page.h"

namespace orvix {
namespace {

std::string Utf8(LPCOLESTR text) {
  char out[512];
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out), nullptr, nullptr);
  return n > 0 ? std::string(out, static_cast<size_t>(n - 1)) : std::string();
}

BSTR Wide(const std::string& text) {
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n > 0 ? n : 0));
  if (out && n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out, n);
  }
  return out;
}

}  // namespace

HRESULT PageBag::QueryInterface(REFIID iid, void** out) {
  *out = (iid == IID_IUnknown || iid == IID_IPropertyBag) ? this : nullptr;
  return *out ? S_OK : E_NOINTERFACE;
}

HRESULT PageBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  if (!name || !value) return E_POINTER;
  const std::string key = Utf8(name);
  std::string text;
  if (page_.Has(key)) {
    text = page_.Get(key);
  } else if (key == "OrvixRtspPort" && page_.rtspPort != 554) {
    text = std::to_string(page_.rtspPort);
  } else if (key == "OrvixCommandPort" && page_.commandPort != 2700) {
    text = std::to_string(page_.commandPort);
  } else {
    return E_INVALIDARG;
  }
  VARIANT given;
  VariantInit(&given);
  given.vt = VT_BSTR;
  given.bstrVal = Wide(text);
  const VARTYPE wanted = value->vt == VT_EMPTY ? VT_BSTR : value->vt;
  const HRESULT changed = VariantChangeType(value, &given, 0, wanted);
  VariantClear(&given);
  return changed;
}

HRESULT PageSite::QueryInterface(REFIID iid, void** out) {
  *out = (iid == IID_IUnknown || iid == IID_IOleClientSite) ? this : nullptr;
  return *out ? S_OK : E_NOINTERFACE;
}

}  // namespace orvix
