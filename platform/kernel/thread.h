#pragma once
// Threads. A thread handle is signalled when the thread has ended; GetExitCodeThread gives
// STILL_ACTIVE until then, and the thread's result afterwards. Every thread started here gets
// a message queue at once (see message_queue.h), so a thread message posted right after the
// start is never lost.
//
// Stack sizes are honoured with a floor that keeps the C library (and the sanitizers, which
// need more) safe; 0 means the default size.
//
// A thread cannot be stopped from outside safely on this platform: TerminateThread refuses
// with ERROR_NOT_SUPPORTED and leaves the thread running. Callers that would kill a thread
// report it and let it end by itself.

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

using THREAD_START_ROUTINE = DWORD (*)(void* parameter);

uintptr_t _beginthreadex(void* security, unsigned stack_size, unsigned (*start)(void*),
                         void* argument, unsigned flags, unsigned* thread_id);
HANDLE CreateThread(void* security, size_t stack_size, THREAD_START_ROUTINE start, void* argument,
                    DWORD flags, DWORD* thread_id);
DWORD ResumeThread(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exit_code);
BOOL TerminateThread(HANDLE thread, DWORD exit_code);
DWORD GetCurrentThreadId();
DWORD GetThreadId(HANDLE thread);

#pragma GCC visibility pop
