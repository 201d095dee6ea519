#include "control/session_run.h"

#include "platform/kernel/handle.h"

namespace control {
namespace {

constexpr DWORD kStopPollMs = 50;

}  // namespace

void JoinRun(RtspSession* session) {
  if (session->threadHandle == nullptr) return;
  WaitForSingleObject(session->threadHandle, INFINITE);
  CloseHandle(session->threadHandle);
  session->threadHandle = nullptr;
}

void StopRun(RtspSession* session) {
  if (session->threadHandle == nullptr) return;
  do {
    session->running = 0;
  } while (WaitForSingleObject(session->threadHandle, kStopPollMs) == WAIT_TIMEOUT);
  JoinRun(session);
}

}  // namespace control
