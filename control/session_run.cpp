#include "control/session_run.h"

#include <cstdio>

#include "platform/kernel/clock.h"
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

bool StopRun(RtspSession* session, DWORD timeout_ms) {
  if (session->threadHandle == nullptr) return true;
  const DWORD start = GetTickCount();
  do {
    session->running = 0;
    if (GetTickCount() - start >= timeout_ms) {
      std::printf("session of chn %d did not end within %u ms; left to finish\n",
                  session->channelNumber, static_cast<unsigned>(timeout_ms));
      return false;
    }
  } while (WaitForSingleObject(session->threadHandle, kStopPollMs) == WAIT_TIMEOUT);
  JoinRun(session);
  return true;
}

void EndRun(std::unique_ptr<RtspSession>* session) {
  if (*session == nullptr) return;
  if (StopRun(session->get())) {
    session->reset();
  } else {
    (void)session->release();  // still in use by its thread: not freed under it
  }
}

}  // namespace control
