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

constexpr uint32_t kHalfWindow = 1u << 28;

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

// A wrap counts only after 20 increases since the last one, so a packet reordered across the
// wrap cannot count it twice.
uint32_t RtpFrameQueue::KeyOf(uint16_t s) {
  if (!started) {
    lastSeq = s;
    started = 1;
  } else if (s > lastSeq) {
    ++increasingRun;
    lastSeq = s;
    if (increasingRun >= 20 && !wrapArmed) wrapArmed = 1;
  } else {
    uint16_t forward = static_cast<uint16_t>(s - lastSeq);
    uint16_t backward = static_cast<uint16_t>(lastSeq - s);
    if (forward < backward && wrapArmed) {
      ++wrapCount;
      increasingRun = 0;
      wrapArmed = 0;
    }
    lastSeq = s;
  }
  return (wrapCount << 16) | s;
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

// When the buffered span runs more than 100 ms past the delay, the newest packet is made due
// `delayMs` from now and everything older at once.
void RtpFrameQueue::CatchUp(uint32_t a, uint32_t b, uint32_t now, uint32_t d) {
  dueCalls = 0;
  uint32_t lag = (b - a) / d - delayMs;
  if (lag <= kCatchUpLagMs) return;
  uint32_t e = (now + delayMs - tickBase) * d + timestampBase;
  if (b > e) timestampBase += b - e;
}

RtpPacketRecord* RtpFrameQueue::TakeDue(int playing, uint32_t now) {
  Hold hold(&lock);
  if (order_.empty()) return nullptr;
  uint32_t d = clockRate / 1000;
  if (d == 0) d = 1;
  auto lowest = order_.begin();
  uint32_t a = lowest->second->Timestamp();
  uint32_t b = order_.rbegin()->second->Timestamp();
  if (!playing) {
    if (count_ < kPrebufferPackets || b - a < delayMs * d) return nullptr;
    timestampBase = a - d * (now - tickBase);
    dueCalls = 0;
    return Release(lowest);
  }
  if (order_.size() > 1 && b - a >= delayMs * d && dueCalls >= kCatchUpCalls) CatchUp(a, b, now, d);
  ++dueCalls;
  uint32_t p = (now - tickBase) * d + timestampBase;
  bool due = (a <= p && p - a < kHalfWindow) || (a > p && a - p > kHalfWindow);
  return due ? Release(lowest) : nullptr;
}

int RtpFrameQueue::Count() const {
  Hold hold(&lock);
  return count_;
}
