#pragma once
// Waiting on and closing kernel handles (events, threads).
//
// Contract: a wait is satisfied by a signalled object; an auto-reset event is reset by the
// wait it satisfies. WaitForMultipleObjects with wait_all FALSE reports the lowest index among
// the signalled handles. An invalid handle fails the wait with WAIT_FAILED and
// ERROR_INVALID_HANDLE. Any thread may wait; closing a handle another thread waits on leaves
// that wait to end normally.

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

BOOL CloseHandle(HANDLE handle);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all, DWORD milliseconds);

#pragma GCC visibility pop
