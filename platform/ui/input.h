#pragma once
// Mouse and keyboard: capture, cursor, focus, and the input entry used by display backends.
//
// Input comes in through platform::ui::Input* from one thread (the display backend's), is
// routed to a window - the capture window, or the deepest visible, enabled child under the
// point - and posted to that window's thread as WM_MOUSEMOVE, WM_xBUTTONDOWN/UP or, for a
// window whose class has CS_DBLCLKS, WM_xBUTTONDBLCLK when the second press comes within the
// double-click time and distance of the first in the same window. A "STATIC" window without
// SS_NOTIFY is transparent to the mouse, as are disabled windows' own clicks. Points outside
// the client area give the WM_NC* messages with screen coordinates.

#include "platform/ui/ui_types.h"

#pragma GCC visibility push(default)

HWND SetCapture(HWND window);  // gives the previous capture window
BOOL ReleaseCapture();
HWND GetCapture();
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
HCURSOR SetCursor(HCURSOR cursor);  // gives the previous cursor
HCURSOR GetCursor();
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);  // the standard cursors only
inline HCURSOR LoadCursor(HINSTANCE instance, LPCSTR name) { return LoadCursorA(instance, name); }
HWND SetFocus(HWND window);  // gives the previous focus window
HWND GetFocus();
HWND WindowFromPoint(POINT point);
UINT GetDoubleClickTime();
SHORT GetKeyState(int key);  // as of the last key message the calling thread read

#pragma GCC visibility pop

namespace platform::ui {

enum class MouseButton { kLeft, kRight, kMiddle };

// `time` is the event's time in GetTickCount milliseconds; double clicks are told by it.
void InputMouseMove(int x, int y, DWORD time);
void InputMouseButton(MouseButton button, bool down, int x, int y, DWORD time);
// `key` is a virtual key (letters and digits as their upper-case ASCII codes). A key press
// whose text the backend gives itself (`has_text`, followed by InputText) is not turned into
// WM_CHAR again by TranslateMessage.
void InputKey(UINT key, bool down, DWORD time, bool has_text = false);
// Text typed, in the program's code page (GBK): one WM_CHAR per byte to the focus window, a
// two-byte character as its lead byte then its trail byte, as Windows gives them.
void InputText(const char* bytes, size_t count, DWORD time);
// Set in a WM_KEYDOWN's lParam when the backend gives the key's text itself.
constexpr LPARAM kKeyHasText = 0x02000000;

// Told (on the thread that calls SetCursor) when the shown cursor changes, so a backend can
// show it; the value is the standard cursor id (32512 arrow, 32649 hand...), 0 for none.
using CursorObserver = void (*)(void* context, int cursor_id);
void SetCursorObserver(CursorObserver observer, void* context);

}  // namespace platform::ui
