#include "stream/test_session_run.h"

#include <atomic>

#include "platform/kernel/clock.h"
#include "platform/kernel/handle.h"
#include "platform/kernel/thread.h"

namespace {

std::atomic<RtpFrameQueue*> g_video{nullptr};
std::atomic<RtpFrameQueue*> g_audio{nullptr};

unsigned NoteVideo(RtspSession*, RtpFrameQueue* queue) {
  g_video = queue;
  while (queue->running) Sleep(5);
  return 0;
}

unsigned NoteAudio(RtspSession*, RtpFrameQueue* queue) {
  g_audio = queue;
  while (queue->running) Sleep(5);
  return 0;
}

}  // namespace

RtspSessionOptions TestPlayoutOptions() {
  RtspSessionOptions options;
  options.playout = {NoteVideo, NoteAudio};
  return options;
}

void ForgetTestPlayout() {
  g_video = nullptr;
  g_audio = nullptr;
}

bool WaitVideoPlayout(int ms) {
  return WaitFor([] { return g_video.load() != nullptr; }, ms);
}

bool AudioPlayoutStarted() { return g_audio.load() != nullptr; }
RtpFrameQueue* TestVideoQueue() { return g_video.load(); }
RtpFrameQueue* TestAudioQueue() { return g_audio.load(); }

SessionRun::SessionRun(const RtspSessionOptions& options) : session(options) {
  session.channelNumber = 1;
}

SessionRun::~SessionRun() {
  if (session.threadHandle) Stop();
}

void SessionRun::Start(const std::string& url) {
  ForgetTestPlayout();
  StartRtspSession(url.c_str(), &session);
}

DWORD SessionRun::Wait(int ms) {
  if (!session.threadHandle) return 0;
  if (WaitForSingleObject(session.threadHandle, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = 0;
  GetExitCodeThread(session.threadHandle, &code);
  CloseHandle(session.threadHandle);
  session.threadHandle = nullptr;
  return code;
}

DWORD SessionRun::Stop() {
  session.running = 0;
  return Wait(static_cast<int>(INFINITE));
}
