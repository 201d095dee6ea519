#pragma once
// The in-process server that the COM and regsvr32 tests load: one class, registered by its
// own DllRegisterServer. Its object speaks IUnknown, IPersistPropertyBag (Load keeps the
// "Greeting" param) and IDispatch (DISPID 1 gives the greeting back as a BSTR).

#include "platform/com/objbase.h"

// {5E1B0A11-7C2D-4E8F-9A3B-1D2C3E4F5A6B}
constexpr CLSID kTestServerClass = {
    0x5E1B0A11, 0x7C2D, 0x4E8F, {0x9A, 0x3B, 0x1D, 0x2C, 0x3E, 0x4F, 0x5A, 0x6B}};
constexpr char kTestServerClassText[] = "{5E1B0A11-7C2D-4E8F-9A3B-1D2C3E4F5A6B}";
constexpr char kTestServerProgId[] = "OrvixTest.Server.1";
// When this variable is set, DllRegisterServer fails with SELFREG_E_CLASS and writes nothing.
constexpr char kTestServerFailVariable[] = "ORVIX_TEST_SERVER_FAIL";
