#pragma once
// Time: the millisecond tick counter (wraps every 49.7 days, as callers expect), sleeping,
// and the wall-clock time in the local time zone with milliseconds.

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

DWORD GetTickCount();
uint64_t GetTickCount64();
void Sleep(DWORD milliseconds);
void GetLocalTime(SYSTEMTIME* time);
void GetSystemTime(SYSTEMTIME* time);

#pragma GCC visibility pop
