#pragma once
// Internal: window procedure calls and the pump's parts.

#include "platform/ui/ui_types.h"

namespace platform::ui {

// Calls the window's current procedure on the calling thread; 0 when it is not a window.
LRESULT CallProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Runs every message other threads sent to the calling thread's windows.
void DeliverSentMessages();
// Makes the WM_PAINT of the calling thread's first window that needs painting and passes
// the filter. Takes TreeMutex() itself.
bool TakePaint(DWORD thread, HWND filter, UINT first, UINT last, MSG* out);
// Makes GetMessage and PeekMessage go through the window system (once per process).
void InstallPump();

}  // namespace platform::ui
