#pragma once
// Internal: what window destruction and the message pump need from the input side.

#include <vector>

#include "platform/ui/desktop.h"

namespace platform::ui {

// Drops capture and focus held by any of these windows (WM_CAPTURECHANGED, WM_KILLFOCUS are
// sent). Called without TreeMutex() held.
void ReleaseInputOf(const std::vector<HWND>& windows);
// Forgets the window in the double-click state. REQUIRES: TreeMutex() held.
void ForgetWindowInput(const Window* window);
// For a mouse message just taken from the queue: WM_SETCURSOR to its window, as the thread
// reads its input. Called without TreeMutex() held.
void BeforeMouseMessage(const MSG& message);
// For a key message just taken: the thread's key state (GetKeyState) follows the messages it
// has read, not the keyboard's state now.
void NoteKeyMessage(const MSG& message);

}  // namespace platform::ui
