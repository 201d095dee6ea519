#pragma once
// The entry points of the test module (test_module.cpp), as the loading test looks them up
// with GetProcAddress.

#include "platform/ui/ui.h"

// Makes the module's child window (class "LoadingTestChild", control id 7) at (x, y, w, h)
// in `parent`'s client area, painted in `color`, and starts a worker thread that posts it
// WM_APP once. Call on the thread that owns `parent`. Null when the window cannot be made.
using TestModuleAttachProc = HWND (*)(HWND parent, int x, int y, int w, int h, COLORREF color);
// WM_APP messages the child window has received.
using TestModuleCountProc = int (*)();
// Stops and joins the worker, destroys the window and unregisters the class.
using TestModuleDetachProc = void (*)();

// What the child answers to a sent WM_USER: lparam times two.
constexpr UINT kTestModuleDouble = WM_USER;
