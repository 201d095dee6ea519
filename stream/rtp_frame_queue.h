#pragma once
// The per-track reorder and playout queue between a session thread and a playout thread.
//
// The session thread creates the queue, calls Insert for every RTP datagram of its track and,
// after it has cleared `running` and waited for the playout thread, destroys it. The playout
// thread calls TakeDue and owns the unit buffer and `position`. The lock guards the order, the
// arrival list, `count` and the timing fields during Insert and TakeDue.
//
// Packets are keyed by (wrap count << 16) | sequence number and released in key order once
// their RTP timestamp is due: after a 400 ms prebuffer the queue anchors the timestamp of the
// first released packet to the tick of its release and plays the rest against the tick count.

#include <atomic>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "platform/kernel/critical_section.h"
#include "stream/nal_delivery.h"
#include "stream/rtp_header.h"

constexpr int kRtpRecordBytes = 1500;
constexpr int kUnitBufferBytes = 184320;
constexpr int kQueueLimit = 1000;
constexpr int kPrebufferPackets = 10;
constexpr uint32_t kPlayoutDelayMs = 400;
constexpr uint32_t kCatchUpCalls = 500;
constexpr uint32_t kCatchUpLagMs = 100;

// One received datagram, copied whole. Owned by the queue until taken, then by the taker,
// who frees it with `delete`.
struct RtpPacketRecord {
  uint32_t key = 0;
  int length = 0;
  uint8_t datagram[kRtpRecordBytes];
  RtpPacketRecord* older = nullptr;
  RtpPacketRecord* newer = nullptr;

  // The datagram's bytes (`length`, held to the record's size).
  std::span<const uint8_t> Bytes() const;
  uint32_t Timestamp() const;
};

class RtpFrameQueue {
 public:
  // `channel` receives the video NAL units through `nalSink` (null for audio); it is not
  // owned.
  explicit RtpFrameQueue(CChannel* channel = nullptr, NalSink nalSink = DeliverToChannel);
  ~RtpFrameQueue();
  RtpFrameQueue(const RtpFrameQueue&) = delete;
  RtpFrameQueue& operator=(const RtpFrameQueue&) = delete;

  // Session thread. Queues a copy of `datagram` (at least 13 bytes) under the key of `seq`.
  // A datagram longer than a record is dropped and counted in OversizeDrops; one without a
  // payload byte is ignored.
  void Insert(uint16_t seq, const uint8_t* datagram, int length);

  // Playout thread. Returns the next due record (the caller frees it) or null. `now` is the
  // tick count; the first form reads GetTickCount.
  RtpPacketRecord* TakeDue(int playing);
  RtpPacketRecord* TakeDue(int playing, uint32_t now);

  // Session thread, when the stream starts a new stretch (a playback's seek or resume moved its
  // RTP clock) at `timestamp`: the packets queued before the stretch's first packet (sequence
  // number `firstSeq`; -1: the one inserted last) are dropped, and `timestamp` becomes due the
  // playout delay from now, so the stretch plays after the same delay as the stream's start
  // did, not when the old clock gets there.
  void Reanchor(uint32_t timestamp, int firstSeq);

  int Count() const;
  uint32_t OversizeDrops() const { return oversize_drops_; }

  // Plain state of the queue, as the playout threads and the session use it.
  std::atomic<int> running{1};
  CChannel* channel;
  NalSink nalSink;
  // How the video units are packed (set before the playout thread starts), and the parameter
  // sets of the description, delivered before the first unit of an H.265 stream.
  VideoCodec codec = VideoCodec::kH264;
  std::vector<uint8_t> prelude;
  uint8_t* unitBuffer;  // kUnitBufferBytes, owned; playout thread only
  int position = 0;     // playout thread only
  uint32_t clockRate = 90000;
  uint32_t tickBase = 0;       // guarded by lock
  uint32_t timestampBase = 0;  // guarded by lock
  uint32_t delayMs = kPlayoutDelayMs;
  uint32_t dueCalls = 0;  // guarded by lock

  // Sequence tracking: session thread only.
  int started = 0;
  int increasingRun = 0;
  uint32_t wrapCount = 0;
  uint16_t lastSeq = 0;
  int wrapArmed = 0;

  mutable CRITICAL_SECTION lock;

 private:
  uint32_t KeyOf(uint16_t seq);
  void Unlink(RtpPacketRecord* record);
  // The timestamp due at `tick` (REQUIRES: lock held).
  uint32_t PlayheadAt(uint32_t tick, uint32_t unitsPerMs) const;
  void CatchUp(uint32_t oldest, uint32_t newest, uint32_t now, uint32_t unitsPerMs);
  RtpPacketRecord* Release(std::map<uint32_t, RtpPacketRecord*>::iterator it);

  std::map<uint32_t, RtpPacketRecord*> order_;  // guarded by lock
  RtpPacketRecord* first_ = nullptr;            // guarded by lock
  RtpPacketRecord* last_ = nullptr;             // guarded by lock
  int count_ = 0;                               // guarded by lock
  std::atomic<uint32_t> oversize_drops_{0};
};
