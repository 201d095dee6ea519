#pragma once
// Windows: classes, creation and destruction, the tree, geometry, visibility and window
// fields. One desktop per process, in screen coordinates; its size is set by the display at
// start (SetDesktopSize) and is 1280 x 720 until then.
//
// Threads: a window belongs to the thread that created it; its procedure runs only there.
// DestroyWindow from another thread fails with ERROR_ACCESS_DENIED. The queries (IsWindow,
// GetWindowRect, ...) may be called from any thread. Calls on a handle that is not a window
// fail with ERROR_INVALID_WINDOW_HANDLE.

#include "platform/ui/ui_types.h"

#pragma GCC visibility push(default)

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;
constexpr DWORD ERROR_CONTROL_ID_NOT_FOUND = 1421;
constexpr DWORD ERROR_INVALID_INDEX = 1413;
constexpr DWORD ERROR_TLW_WITH_WSCHILD = 1406;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

ATOM RegisterClassA(const WNDCLASSA* window_class);
ATOM RegisterClassExA(const WNDCLASSEXA* window_class);
BOOL UnregisterClassA(LPCSTR class_name, HINSTANCE instance);
BOOL GetClassInfoA(HINSTANCE instance, LPCSTR class_name, WNDCLASSA* out);

// Sends, in order: WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, then WM_PARENTNOTIFY to the
// parent (children without WS_EX_NOPARENTNOTIFY) and, for a visible top-level window,
// WM_SHOWWINDOW. WM_NCCREATE returning FALSE or WM_CREATE returning -1 destroys the window
// and gives null. A child's `menu` is its control id.
HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
inline HWND CreateWindowA(LPCSTR class_name, LPCSTR window_name, DWORD style, int x, int y,
                          int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                          LPVOID param) {
  return CreateWindowExA(0, class_name, window_name, style, x, y, width, height, parent, menu,
                         instance, param);
}
// Hides the window, sends WM_DESTROY to it and then to its descendants (parents first),
// WM_NCDESTROY to the descendants and then to it (children first); releases the capture, the
// focus and the timers it held.
BOOL DestroyWindow(HWND window);

BOOL IsWindow(HWND window);
BOOL IsChild(HWND parent, HWND window);
HWND GetParent(HWND window);
HWND GetDesktopWindow();
HWND GetWindow(HWND window, UINT relation);
DWORD GetWindowThreadProcessId(HWND window, DWORD* process_id);
int GetDlgCtrlID(HWND window);
HWND GetDlgItem(HWND parent, int id);
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_CHILD = 5;

BOOL ShowWindow(HWND window, int command);  // gives whether it was visible before
BOOL IsWindowVisible(HWND window);          // it and all its ancestors have WS_VISIBLE
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);

// Positions are relative to the parent's client area (screen for top-level windows).
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
BOOL GetWindowRect(HWND window, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND window, RECT* rect);  // (0, 0, width, height) of the client area
BOOL ScreenToClient(HWND window, POINT* point);
BOOL ClientToScreen(HWND window, POINT* point);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);

LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);  // gives the old value
inline LONG GetWindowLongA(HWND window, int index) {
  return static_cast<LONG>(GetWindowLongPtrA(window, index));
}
inline LONG SetWindowLongA(HWND window, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}
// The window's class name, cut to size - 1; gives its length, 0 when not a window.
int GetClassNameA(HWND window, LPSTR buffer, int size);
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR buffer, int size);
int GetWindowTextLengthA(HWND window);

int GetSystemMetrics(int index);
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL OffsetRect(RECT* rect, int dx, int dy);
BOOL InflateRect(RECT* rect, int dx, int dy);
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b);
BOOL IsRectEmpty(const RECT* rect);

#pragma GCC visibility pop

namespace platform::ui {
// Set by the display backend before any window exists.
void SetDesktopSize(int width, int height);
}  // namespace platform::ui
