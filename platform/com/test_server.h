#pragma once
// The in-process server that the COM and regsvr32 tests load: one class, registered by its
// own DllRegisterServer. Its object speaks IUnknown, IPersistPropertyBag (Load keeps the
// "Greeting" param) and IDispatch (DISPID 1 gives the greeting back as a BSTR).

#include "platform/com/objbase.h"

// {5E1B0A11-7C2D-4E8F-9A3B-1D2C3E4F5A6B}
constexpr CLSID kTestServerClass = {
    0x5E1B0A11, 0x7C2D, 0x4E8F, {0x9A, 0x3B, 0x1D, 0x2C, 0x3E, 0x4F, 0x5A, 0x6B}};
constexpr char kTestServerClassText[] = "{5E1B0A11-7C2D-4E8F-9A3B-1D2C3E4F5A6B}";
// {7A1C0B22-3D4E-4F50-8A61-B2C3D4E5F607}, version 1.0, in the module's TYPELIB resource.
constexpr GUID kTestServerLibrary = {
    0x7A1C0B22, 0x3D4E, 0x4F50, {0x8A, 0x61, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07}};
constexpr char kTestServerProgId[] = "OrvixTest.Server.1";
// When this variable is set, DllRegisterServer fails with SELFREG_E_CLASS and writes nothing.
constexpr char kTestServerFailVariable[] = "ORVIX_TEST_SERVER_FAIL";
