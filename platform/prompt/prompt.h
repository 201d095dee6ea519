#pragma once
// Message boxes. MessageBoxA hands the box to one process-wide prompt handler and returns its
// answer. The default handler shows nothing: it prints "<caption> <text>" as one line on
// standard output and answers with the box's default button (the first button unless an
// MB_DEFBUTTONn flag names another). A window system replaces the handler with a real box.
// SetPromptHandler may be called at any time; MessageBoxA may be called from any thread and
// calls the handler on the caller's thread.

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_DEFMASK = 0x00000F00;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A handler receives the box's owner, text, caption (either may be null) and type flags and
// returns the ID of the button chosen.
using PromptHandler = int (*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Installs `handler` (null restores the default) and returns the previous one.
PromptHandler SetPromptHandler(PromptHandler handler);
// The default button's ID for a box of `type`.
int DefaultButton(UINT type);
// The default handler: one line on standard output, the default button as the answer.
int PrintPrompt(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
inline int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return MessageBoxA(owner, text, caption, type);
}

#pragma GCC visibility pop
