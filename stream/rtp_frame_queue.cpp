#include "stream/rtp_frame_queue.h"

#include <cstring>

#include "platform/kernel/clock.h"

namespace {

class Hold {
 public:
  explicit Hold(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
  ~Hold() { LeaveCriticalSection(section_); }

 private:
  CRITICAL_SECTION* section_;
};

// Two timestamps further apart than this are taken to lie across the 32-bit wrap.
constexpr uint32_t kWrapDistance = 1u << 28;
// Sequence numbers must have risen this many times since the last wrap before the next
// backward step counts as one.
constexpr int kIncreasesBeforeWrap = 20;
constexpr int kSequenceBits = 16;
constexpr uint32_t kMsPerSecond = 1000;

// RTP timestamp units per millisecond at `clockRate`; at least 1.
uint32_t UnitsPerMs(uint32_t clockRate) {
  uint32_t units = clockRate / kMsPerSecond;
  return units == 0 ? 1 : units;
}

// Whether the playhead has reached `timestamp`, reading both across the wrap.
bool Reached(uint32_t timestamp, uint32_t playhead) {
  if (timestamp <= playhead) return playhead - timestamp < kWrapDistance;
  return timestamp - playhead > kWrapDistance;
}

}  // namespace

std::span<const uint8_t> RtpPacketRecord::Bytes() const {
  size_t bytes = length < 0 ? 0 : static_cast<size_t>(length);
  return {datagram, bytes < sizeof datagram ? bytes : sizeof datagram};
}

// Queued records always hold a whole fixed header (Insert keeps none shorter).
uint32_t RtpPacketRecord::Timestamp() const {
  auto header = ParseRtpFixedHeader(Bytes());
  return header ? header->timestamp : 0;
}

RtpFrameQueue::RtpFrameQueue(CChannel* owner, NalSink sink)
    : channel(owner), nalSink(sink), unitBuffer(new uint8_t[kUnitBufferBytes]) {
  InitializeCriticalSection(&lock);
}

RtpFrameQueue::~RtpFrameQueue() {
  for (RtpPacketRecord* r = first_; r;) {
    RtpPacketRecord* next = r->newer;
    delete r;
    r = next;
  }
  delete[] unitBuffer;
  DeleteCriticalSection(&lock);
}

// A wrap counts only after kIncreasesBeforeWrap increases since the last one, so a packet
// reordered across the wrap cannot count it twice.
uint32_t RtpFrameQueue::KeyOf(uint16_t seq) {
  if (!started) {
    lastSeq = seq;
    started = 1;
  } else if (seq > lastSeq) {
    ++increasingRun;
    lastSeq = seq;
    if (increasingRun >= kIncreasesBeforeWrap && !wrapArmed) wrapArmed = 1;
  } else {
    uint16_t forward = static_cast<uint16_t>(seq - lastSeq);
    uint16_t backward = static_cast<uint16_t>(lastSeq - seq);
    if (forward < backward && wrapArmed) {
      ++wrapCount;
      increasingRun = 0;
      wrapArmed = 0;
    }
    lastSeq = seq;
  }
  return (wrapCount << kSequenceBits) | seq;
}

void RtpFrameQueue::Insert(uint16_t seq, const uint8_t* datagram, int length) {
  if (length > kRtpRecordBytes) {
    ++oversize_drops_;
    return;
  }
  if (length <= kRtpHeaderBytes) return;  // no payload: nothing a playout thread could use
  auto* record = new RtpPacketRecord;
  record->key = KeyOf(seq);
  record->length = length;
  std::memcpy(record->datagram, datagram, length);
  Hold hold(&lock);
  if (count_ > kQueueLimit) {
    RtpPacketRecord* oldest = first_;
    order_.erase(oldest->key);
    Unlink(oldest);
    delete oldest;
  }
  if (!order_.emplace(record->key, record).second) {
    delete record;
    return;
  }
  record->older = last_;
  if (last_) last_->newer = record;
  last_ = record;
  if (!first_) first_ = record;
  ++count_;
}

void RtpFrameQueue::Unlink(RtpPacketRecord* r) {
  (r->older ? r->older->newer : first_) = r->newer;
  (r->newer ? r->newer->older : last_) = r->older;
  r->older = r->newer = nullptr;
  --count_;
}

RtpPacketRecord* RtpFrameQueue::Release(std::map<uint32_t, RtpPacketRecord*>::iterator it) {
  RtpPacketRecord* record = it->second;
  order_.erase(it);
  Unlink(record);
  return record;
}

RtpPacketRecord* RtpFrameQueue::TakeDue(int playing) { return TakeDue(playing, GetTickCount()); }

uint32_t RtpFrameQueue::PlayheadAt(uint32_t tick, uint32_t unitsPerMs) const {
  return (tick - tickBase) * unitsPerMs + timestampBase;
}

// When the buffered span runs more than kCatchUpLagMs past the delay, the newest packet is
// made due `delayMs` from now and everything older at once.
void RtpFrameQueue::CatchUp(uint32_t oldest, uint32_t newest, uint32_t now, uint32_t unitsPerMs) {
  dueCalls = 0;
  uint32_t lagMs = (newest - oldest) / unitsPerMs - delayMs;
  if (lagMs <= kCatchUpLagMs) return;
  uint32_t playheadAfterDelay = PlayheadAt(now + delayMs, unitsPerMs);
  if (newest > playheadAfterDelay) timestampBase += newest - playheadAfterDelay;
}

// Prebuffering (`playing` 0): the oldest packet goes once kPrebufferPackets are queued over at
// least `delayMs`, and the clock is anchored so that its timestamp is due at `now`.
RtpPacketRecord* RtpFrameQueue::TakeDue(int playing, uint32_t now) {
  Hold hold(&lock);
  if (order_.empty()) return nullptr;
  const uint32_t unitsPerMs = UnitsPerMs(clockRate);
  const uint32_t delayUnits = delayMs * unitsPerMs;
  auto oldest = order_.begin();
  uint32_t oldestTimestamp = oldest->second->Timestamp();
  uint32_t newestTimestamp = order_.rbegin()->second->Timestamp();
  uint32_t bufferedUnits = newestTimestamp - oldestTimestamp;
  if (!playing) {
    if (count_ < kPrebufferPackets || bufferedUnits < delayUnits) return nullptr;
    timestampBase = oldestTimestamp - unitsPerMs * (now - tickBase);
    dueCalls = 0;
    return Release(oldest);
  }
  if (order_.size() > 1 && bufferedUnits >= delayUnits && dueCalls >= kCatchUpCalls)
    CatchUp(oldestTimestamp, newestTimestamp, now, unitsPerMs);
  ++dueCalls;
  return Reached(oldestTimestamp, PlayheadAt(now, unitsPerMs)) ? Release(oldest) : nullptr;
}

void RtpFrameQueue::Reanchor(uint32_t timestamp, int firstSeq) {
  Hold hold(&lock);
  // What was queued before the stretch's first packet belongs to the stretch that was left;
  // kept, it would hold the new one back until its own time came.
  auto before = [&](const RtpPacketRecord* r) {
    if (firstSeq < 0) return last_ != nullptr && r->key < last_->key;
    const auto seq = static_cast<uint16_t>(r->key);
    return static_cast<int16_t>(seq - static_cast<uint16_t>(firstSeq)) < 0;
  };
  while (!order_.empty() && before(order_.begin()->second)) delete Release(order_.begin());
  timestampBase = timestamp - UnitsPerMs(clockRate) * (GetTickCount() + delayMs - tickBase);
  dueCalls = 0;
}

int RtpFrameQueue::Count() const {
  Hold hold(&lock);
  return count_;
}
