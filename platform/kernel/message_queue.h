#pragma once
// Thread message queues. Every thread has a queue (see thread.h); PostThreadMessage to a
// thread that has ended, or to an id that never existed, fails with ERROR_INVALID_THREAD_ID.
// GetMessage blocks until a message arrives and returns 0 for WM_QUIT, -1 on failure,
// non-zero otherwise; PeekMessage never blocks.

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

BOOL PostThreadMessageA(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam);
inline BOOL PostThreadMessage(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
  return PostThreadMessageA(thread_id, message, wparam, lparam);
}
BOOL GetMessageA(MSG* message, HWND window, UINT first, UINT last);
inline BOOL GetMessage(MSG* message, HWND window, UINT first, UINT last) {
  return GetMessageA(message, window, first, last);
}
BOOL PeekMessageA(MSG* message, HWND window, UINT first, UINT last, UINT remove);
inline BOOL PeekMessage(MSG* message, HWND window, UINT first, UINT last, UINT remove) {
  return PeekMessageA(message, window, first, last, remove);
}
void PostQuitMessage(int exit_code);

#pragma GCC visibility pop
