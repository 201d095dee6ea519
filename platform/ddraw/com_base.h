#pragma once
// The few COM pieces DirectDraw's interfaces stand on: GUIDs, IUnknown and the common
// HRESULT codes. Guarded so that a fuller COM layer may declare the same names first.

#include <cstdint>

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

#ifndef GUID_DEFINED
#define GUID_DEFINED
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}
#endif
#ifndef IID_DEFINED
#define IID_DEFINED
using IID = GUID;
using REFIID = const IID&;
using REFGUID = const GUID&;
#endif

#ifndef ORVIX_HRESULT_CODES_DEFINED
#define ORVIX_HRESULT_CODES_DEFINED
#define S_OK static_cast<HRESULT>(0)
#define S_FALSE static_cast<HRESULT>(1)
#define E_NOTIMPL static_cast<HRESULT>(0x80004001)
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002)
#define E_POINTER static_cast<HRESULT>(0x80004003)
#define E_ABORT static_cast<HRESULT>(0x80004004)
#define E_FAIL static_cast<HRESULT>(0x80004005)
#define E_UNEXPECTED static_cast<HRESULT>(0x8000FFFF)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000E)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#endif

#ifndef ORVIX_IUNKNOWN_DEFINED
#define ORVIX_IUNKNOWN_DEFINED
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};
#endif

#pragma GCC visibility pop
