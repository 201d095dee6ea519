#pragma once
// Message boxes shown as real dialogs on the display, for a person to answer: a prompt handler
// (platform/prompt/prompt.h) that makes a modal dialog with the box's text, its buttons in
// Windows' order, its default button (MB_DEFBUTTONn) focused, Enter for that button and Esc for
// Cancel (or for OK when that is the only button). It runs a modal loop on the calling thread.

#include "platform/ui/ui_types.h"

#pragma GCC visibility push(default)

namespace platform::ui {

int DialogPrompt(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// Makes DialogPrompt the process's prompt handler.
void InstallDialogPrompts();

}  // namespace platform::ui

#pragma GCC visibility pop
