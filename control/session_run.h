#pragma once
// Ending the runs of the control's session records, on the window thread.

#include "stream/rtsp_session.h"

namespace control {

// Waits for the end of a run whose thread exists and forgets its handle.
void JoinRun(RtspSession* session);

// Ends a run (when its thread exists) and waits for it without limit. The session thread
// raises its running flag once it is under way, so a run stopped just after its start would
// raise it again after a single clear: the flag is cleared until the thread has gone.
void StopRun(RtspSession* session);

}  // namespace control
