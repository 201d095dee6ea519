// GUIDs as text, as the registry keeps them.
#include <cstdio>
#include <cstring>

#include "platform/com/objbase.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at *text into *value and moves past them.
bool Hex(const char** text, int digits, uint32_t* value) {
  *value = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = HexDigit((*text)[i]);
    if (d < 0) return false;
    *value = *value * 16 + static_cast<uint32_t>(d);
  }
  *text += digits;
  return true;
}

bool Expect(const char** text, char c) {
  if (**text != c) return false;
  ++*text;
  return true;
}

}  // namespace

int StringFromGUID2A(REFGUID guid, char* text, int size) {
  constexpr int kLength = 39;  // 38 characters and the NUL
  if (!text || size < kLength) return 0;
  std::snprintf(text, static_cast<size_t>(size),
                "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return kLength;
}

HRESULT CLSIDFromStringA(LPCSTR text, LPCLSID clsid) {
  if (!text || !clsid) return E_INVALIDARG;
  if (std::strlen(text) != 38) return CO_E_CLASSSTRING;
  GUID guid{};
  uint32_t part = 0;
  const char* at = text;
  if (!Expect(&at, '{') || !Hex(&at, 8, &guid.Data1) || !Expect(&at, '-')) {
    return CO_E_CLASSSTRING;
  }
  if (!Hex(&at, 4, &part) || !Expect(&at, '-')) return CO_E_CLASSSTRING;
  guid.Data2 = static_cast<uint16_t>(part);
  if (!Hex(&at, 4, &part) || !Expect(&at, '-')) return CO_E_CLASSSTRING;
  guid.Data3 = static_cast<uint16_t>(part);
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !Expect(&at, '-')) return CO_E_CLASSSTRING;
    if (!Hex(&at, 2, &part)) return CO_E_CLASSSTRING;
    guid.Data4[i] = static_cast<uint8_t>(part);
  }
  if (!Expect(&at, '}')) return CO_E_CLASSSTRING;
  *clsid = guid;
  return S_OK;
}
