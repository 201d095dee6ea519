#pragma once
// Event objects. A manual-reset event stays signalled until ResetEvent; an auto-reset event
// releases one wait and resets itself. Names are not supported: a named event is refused with
// ERROR_NOT_SUPPORTED rather than silently shared or not.

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

HANDLE CreateEventA(void* security, BOOL manual_reset, BOOL initial_state, LPCSTR name);
inline HANDLE CreateEvent(void* security, BOOL manual_reset, BOOL initial_state, LPCSTR name) {
  return CreateEventA(security, manual_reset, initial_state, name);
}
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

#pragma GCC visibility pop
