#pragma once
// ShellExecuteA with the "open" verb: the document is handed to the desktop's opener
// (xdg-open) in the given folder. The opener runs detached; the call does not wait for it.
// Returns a value above 32 when the opener was started, SE_ERR_NOASSOC for another verb and
// ERROR_FILE_NOT_FOUND (2) for a missing document.

#include "platform/ui/ui_types.h"

#pragma GCC visibility push(default)

constexpr intptr_t SE_ERR_NOASSOC = 31;
HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                        int show);

#pragma GCC visibility pop
