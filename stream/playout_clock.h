#pragma once
// What the playout threads share: the tick source they run on (GetTickCount in the viewer;
// tests drive their own) and the return to prebuffering after a long silence.

#include <cstdint>

#include "stream/rtp_frame_queue.h"

using PlayoutTicks = uint32_t (*)();

// A playout that has released nothing for longer than this prebuffers again.
constexpr uint32_t kPlayoutIdleMs = 20000;
constexpr uint32_t kPlayoutPollMs = 10;

// Anchors the queue's clock at `now` (under its lock).
void SetTickBase(RtpFrameQueue* queue, uint32_t now);

// The prebuffering state of one playout thread.
struct PlayoutState {
  uint32_t lastKey = 0;
  int playing = 0;
  uint32_t lastRelease = 0;  // tick of the last released packet (the start at first)
};

// After kPlayoutIdleMs without a release: the unit being built is dropped, the clock anchored
// at `now`, and the queue must fill its delay again before anything is released.
void ReturnToPrebufferIfIdle(RtpFrameQueue* queue, PlayoutState* state, uint32_t now);

// The next due record (the caller frees it), or null; a released record starts playing and
// notes `now` as the last release.
RtpPacketRecord* TakeNext(RtpFrameQueue* queue, PlayoutState* state, uint32_t now);
