#pragma once
// Test support for the playout threads: a clock the test drives, a sink that keeps every NAL
// unit delivered, RTP datagrams of single units and fragments, and a playout thread run on a
// queue of the test's own.

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "stream/playout_clock.h"
#include "stream/rtp_frame_queue.h"
#include "stream/rtsp_session.h"

// The driven tick count (starts at 1000 for each PlayoutRun).
uint32_t DrivenTicks();
void SetDrivenTicks(uint32_t now);
// Lets the driven clock run, 20 ms a step, until `queue` is empty; false after `ms` real ms.
bool PlayOutDriven(RtpFrameQueue* queue, int ms);

// Stands for the channel of a queue: the sink only compares it.
CChannel* TestChannel();

// The sink of the tests' queues and sessions: keeps the units delivered to TestChannel() for
// the UnitRecorder.
int RecordUnit(CChannel* channel, const uint8_t* unit, int length);
// Session options with `playout` and the recording sink.
RtspSessionOptions RecordingOptions(RtspPlayout playout);

// The units RecordUnit kept since the recorder was made.
class UnitRecorder {
 public:
  UnitRecorder();
  std::vector<std::vector<uint8_t>> Units() const;
  size_t Count() const;
  bool WaitCount(size_t count, int ms) const;
};

// An RTP datagram with `payload` after the 12-byte header.
std::vector<uint8_t> RtpPacket(uint16_t seq, uint32_t ts, const std::vector<uint8_t>& payload);
// A single NAL unit packet of `length` bytes in all: header 0x65, then bytes counting up.
std::vector<uint8_t> SinglePacket(uint16_t seq, uint32_t ts, int length);
// A fragmentation unit of `length` bytes in all: indicator, FU header, data of `fill`.
std::vector<uint8_t> FragmentPacket(uint16_t seq, uint32_t ts, uint8_t indicator, uint8_t fuHeader,
                                    int length, uint8_t fill);

// Captures the standard output from construction until Take (or destruction).
class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  std::string Take();

 private:
  bool taken_ = false;
};

void Put(RtpFrameQueue* queue, const std::vector<uint8_t>& datagram);

// A playout thread (`body` on the driven clock) on a queue with TestChannel() and the
// recording sink; joined (with
// the queue's running flag cleared) on destruction.
class PlayoutRun {
 public:
  using Body = unsigned (*)(RtpFrameQueue* queue, PlayoutTicks ticks);
  explicit PlayoutRun(Body body, PlayoutTicks ticks = DrivenTicks);
  ~PlayoutRun();
  void Start();
  void Stop();
  RtpFrameQueue queue;

 private:
  Body body_;
  PlayoutTicks ticks_;
  std::thread thread_;
};
