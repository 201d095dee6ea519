// BSTRs, VARIANTs and task memory.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/com/oleauto.h"

const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

// A BSTR's block: its length in bytes, then the text and a NUL.
constexpr size_t kPrefix = sizeof(uint32_t);

std::string Narrow(BSTR text) {
  std::string out;
  for (UINT i = 0; i < SysStringLen(text); ++i) {
    if (text[i] > 0x7f) return "\x01";  // not a number, whatever else it is
    out += static_cast<char>(text[i]);
  }
  return out;
}

BSTR Widen(const std::string& text) {
  std::u16string wide(text.begin(), text.end());
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

HRESULT ToNumber(const VARIANT& source, long long* n) {
  switch (source.vt) {
    case VT_I4:
      *n = source.lVal;
      return S_OK;
    case VT_I2:
      *n = source.iVal;
      return S_OK;
    case VT_UI4:
      *n = source.ulVal;
      return S_OK;
    case VT_INT:
      *n = source.intVal;
      return S_OK;
    case VT_BOOL:
      *n = source.boolVal ? -1 : 0;
      return S_OK;
    case VT_EMPTY:
      *n = 0;
      return S_OK;
    case VT_BSTR: {
      const std::string text = Narrow(source.bstrVal);
      if (text == "true" || text == "True" || text == "TRUE") {
        *n = -1;
        return S_OK;
      }
      if (text == "false" || text == "False" || text == "FALSE") {
        *n = 0;
        return S_OK;
      }
      char* end = nullptr;
      errno = 0;
      *n = std::strtoll(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0') return DISP_E_TYPEMISMATCH;
      return errno == ERANGE ? DISP_E_OVERFLOW : S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace

void* CoTaskMemAlloc(size_t size) { return std::malloc(size ? size : 1); }
void CoTaskMemFree(void* block) { std::free(block); }

BSTR SysAllocStringLen(LPCOLESTR text, UINT length) {
  if (length > (UINT_MAX - kPrefix) / sizeof(OLECHAR) - 1) return nullptr;
  auto* block = static_cast<char*>(std::malloc(kPrefix + (length + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  const uint32_t bytes = length * sizeof(OLECHAR);
  std::memcpy(block, &bytes, kPrefix);
  BSTR out = reinterpret_cast<BSTR>(block + kPrefix);
  if (text)
    std::memcpy(out, text, bytes);
  else
    std::memset(out, 0, bytes);
  out[length] = 0;
  return out;
}

BSTR SysAllocString(LPCOLESTR text) {
  if (!text) return nullptr;
  UINT length = 0;
  while (text[length]) ++length;
  return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<char*>(text) - kPrefix);
}

UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<char*>(text) - kPrefix, kPrefix);
  return bytes / sizeof(OLECHAR);
}

void VariantInit(VARIANT* value) {
  std::memset(value, 0, sizeof(*value));
  value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
  if (!value) return E_INVALIDARG;
  if (value->vt == VT_BSTR) {
    SysFreeString(value->bstrVal);
  } else if ((value->vt == VT_UNKNOWN || value->vt == VT_DISPATCH) && value->punkVal) {
    value->punkVal->Release();
  }
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* source) {
  if (!dest || !source) return E_INVALIDARG;
  if (dest == source) return S_OK;
  VariantClear(dest);
  *dest = *source;
  if (source->vt == VT_BSTR) {
    dest->bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
    if (source->bstrVal && !dest->bstrVal) {
      VariantInit(dest);
      return E_OUTOFMEMORY;
    }
  } else if ((source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH) && source->punkVal) {
    source->punkVal->AddRef();
  }
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, USHORT, VARTYPE type) {
  if (!dest || !source) return E_INVALIDARG;
  VARIANT result;
  VariantInit(&result);
  result.vt = type;
  if (type == source->vt) {
    if (const HRESULT copied = VariantCopy(&result, source); FAILED(copied)) return copied;
  } else if (type == VT_BSTR) {
    long long n = 0;
    if (const HRESULT got = ToNumber(*source, &n); FAILED(got)) return got;
    result.bstrVal = Widen(source->vt == VT_BOOL ? (n ? "True" : "False") : std::to_string(n));
    if (!result.bstrVal) return E_OUTOFMEMORY;
  } else {
    long long n = 0;
    if (const HRESULT got = ToNumber(*source, &n); FAILED(got)) return got;
    switch (type) {
      case VT_I4:
      case VT_INT:
        if (n < INT32_MIN || n > INT32_MAX) return DISP_E_OVERFLOW;
        result.lVal = static_cast<LONG>(n);
        break;
      case VT_I2:
        if (n < INT16_MIN || n > INT16_MAX) return DISP_E_OVERFLOW;
        result.iVal = static_cast<SHORT>(n);
        break;
      case VT_UI4:
        if (n < 0 || n > UINT32_MAX) return DISP_E_OVERFLOW;
        result.ulVal = static_cast<ULONG>(n);
        break;
      case VT_BOOL:
        result.boolVal = n ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      default:
        return DISP_E_TYPEMISMATCH;
    }
  }
  VariantClear(dest);
  *dest = result;
  return S_OK;
}
