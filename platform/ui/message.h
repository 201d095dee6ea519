#pragma once
// Window messages and the message loop. Once any window call has run, GetMessage and
// PeekMessage (kernel/message_queue.h) also deliver messages sent to the calling thread's
// windows from other threads, and make WM_TIMER and WM_PAINT when nothing is posted: posted
// messages first, then due timers, then windows that need painting, as callers of a message
// loop expect.
//
// SendMessage to a window of the calling thread calls its procedure at once; to a window of
// another thread it waits until that thread reads its messages and the procedure returns,
// while delivering messages sent to the caller meanwhile (so two threads sending to each other
// do not dead-lock). It gives 0 when the window is gone or its thread has ended.

#include "platform/ui/ui_types.h"

#pragma GCC visibility push(default)

LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
inline LRESULT SendMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return SendMessageA(window, message, wparam, lparam);
}
// Null window: a thread message to the caller's own queue.
BOOL PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
inline BOOL PostMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return PostMessageA(window, message, wparam, lparam);
}
LRESULT DispatchMessageA(const MSG* message);
inline LRESULT DispatchMessage(const MSG* message) { return DispatchMessageA(message); }
// Posts WM_CHAR after a WM_KEYDOWN of a key that gives a character.
BOOL TranslateMessage(const MSG* message);
BOOL InSendMessage();

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The default handling: WM_NCCREATE accepts, WM_ERASEBKGND fills with the class brush,
// WM_PAINT validates, WM_SETCURSOR sets the class cursor over the client area, WM_NCHITTEST
// tells the client area from the border, WM_CLOSE destroys the window.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
inline LRESULT DefWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

// A window timer (window non-null) replaces the window's timer of the same id; WM_TIMER then
// comes every `elapse` ms (at least 10) on the window's thread, or the procedure is called
// instead when one is given. With a null window a new id is made and returned, and the
// thread's queue receives WM_TIMER with a null hwnd. Returns 0 on failure.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

#pragma GCC visibility pop
