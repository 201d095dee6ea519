#pragma once
// Ending the runs of the control's session records, on the window thread.

#include <memory>

#include "stream/rtsp_session.h"

namespace control {

// How long a stop waits for a run that has been told to end. Every wait of a run ends within a
// twentieth of a second of the stop, but for the TEARDOWN exchange (a second at most).
constexpr DWORD kStopRunMs = 3000;

// Waits for the end of a run whose thread exists and forgets its handle.
void JoinRun(RtspSession* session);

// Ends a run (when its thread exists) and waits up to `timeout_ms` for it. The session thread
// raises its running flag once it is under way, so a run stopped just after its start would
// raise it again after a single clear: the flag is cleared until the thread has gone. False
// when the thread is still there at the end (it is reported; its handle is kept).
bool StopRun(RtspSession* session, DWORD timeout_ms = kStopRunMs);

// StopRun, then frees the record; a record whose thread did not end is left to it rather than
// freed under it.
void EndRun(std::unique_ptr<RtspSession>* session);

}  // namespace control
