#pragma once
// Console control events: Ctrl-C (SIGINT) and a request to close (SIGTERM, SIGHUP) reach the
// program as CTRL_C_EVENT and CTRL_CLOSE_EVENT. As on the console they stand in for, the
// handlers run on a thread of their own, the last one added first, until one returns TRUE;
// when none does, the process ends as the signal would have ended it. A handler typically
// posts WM_QUIT to the thread that runs the message loop.
//
// SetConsoleCtrlHandler(nullptr, TRUE) makes the process ignore Ctrl-C (FALSE restores it).

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

constexpr DWORD CTRL_C_EVENT = 0;
constexpr DWORD CTRL_BREAK_EVENT = 1;
constexpr DWORD CTRL_CLOSE_EVENT = 2;

using PHANDLER_ROUTINE = BOOL (*)(DWORD ctrl_type);

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);

#pragma GCC visibility pop
