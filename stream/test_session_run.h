#pragma once
// Test support: runs an RtspSession on its own thread as a channel window would, with playout
// threads that only note which queues a run started.

#include <string>

#include "stream/rtsp_session.h"

// Session options with the noting playout threads.
RtspSessionOptions TestPlayoutOptions();
// Forgets what earlier runs started.
void ForgetTestPlayout();
// Waits up to `ms` for the video playout thread of a run to start (the open has succeeded).
bool WaitVideoPlayout(int ms);
bool AudioPlayoutStarted();
// The queues of the current run; valid until the run ends.
RtpFrameQueue* TestVideoQueue();
RtpFrameQueue* TestAudioQueue();

class SessionRun {
 public:
  explicit SessionRun(const RtspSessionOptions& options = TestPlayoutOptions());
  ~SessionRun();
  void Start(const std::string& url);
  // Waits up to `ms` for the run's thread to end; its exit code, or STILL_ACTIVE.
  DWORD Wait(int ms);
  // Clears running and waits for the thread; its exit code.
  DWORD Stop();

  RtspSession session;
};

// Waits up to `ms` until `done` holds.
template <typename Done>
bool WaitFor(Done done, int ms);

#include <chrono>
#include <thread>

template <typename Done>
bool WaitFor(Done done, int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}
