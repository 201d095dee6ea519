#include "stream/playout_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "stream/test_session_run.h"

namespace {

std::atomic<uint32_t> g_now{1000};
std::mutex g_mutex;
std::vector<std::vector<uint8_t>> g_units;  // guarded by g_mutex
int g_channelStandIn = 0;

}  // namespace

int RecordUnit(CChannel* channel, const uint8_t* unit, int length) {
  if (channel != TestChannel()) return 0;
  std::lock_guard<std::mutex> hold(g_mutex);
  g_units.emplace_back(unit, unit + length);
  return 1;
}

RtspSessionOptions RecordingOptions(RtspPlayout playout) {
  RtspSessionOptions options;
  options.playout = playout;
  options.nalSink = RecordUnit;
  return options;
}

uint32_t DrivenTicks() { return g_now.load(); }
void SetDrivenTicks(uint32_t now) { g_now = now; }

bool PlayOutDriven(RtpFrameQueue* queue, int ms) {
  return WaitFor(
      [&] {
        g_now += 20;
        return queue->Count() == 0;
      },
      ms);
}

CChannel* TestChannel() { return reinterpret_cast<CChannel*>(&g_channelStandIn); }

UnitRecorder::UnitRecorder() {
  std::lock_guard<std::mutex> hold(g_mutex);
  g_units.clear();
}

std::vector<std::vector<uint8_t>> UnitRecorder::Units() const {
  std::lock_guard<std::mutex> hold(g_mutex);
  return g_units;
}

size_t UnitRecorder::Count() const {
  std::lock_guard<std::mutex> hold(g_mutex);
  return g_units.size();
}

bool UnitRecorder::WaitCount(size_t count, int ms) const {
  return WaitFor([&] { return Count() >= count; }, ms);
}

std::vector<uint8_t> RtpPacket(uint16_t seq, uint32_t ts, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> bytes = {0x80, 96, static_cast<uint8_t>(seq >> 8),
                                static_cast<uint8_t>(seq)};
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(ts >> (24 - 8 * i)));
  bytes.insert(bytes.end(), {0x12, 0x34, 0x56, 0x78});
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return bytes;
}

std::vector<uint8_t> SinglePacket(uint16_t seq, uint32_t ts, int length) {
  std::vector<uint8_t> payload(length - 12);
  payload[0] = 0x65;
  for (size_t i = 1; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i + seq);
  return RtpPacket(seq, ts, payload);
}

std::vector<uint8_t> FragmentPacket(uint16_t seq, uint32_t ts, uint8_t indicator, uint8_t fuHeader,
                                    int length, uint8_t fill) {
  std::vector<uint8_t> payload(length - 12, fill);
  payload[0] = indicator;
  if (payload.size() > 1) payload[1] = fuHeader;
  return RtpPacket(seq, ts, payload);
}

CapturedOutput::CapturedOutput() { testing::internal::CaptureStdout(); }

CapturedOutput::~CapturedOutput() { Take(); }

std::string CapturedOutput::Take() {
  if (taken_) return {};
  taken_ = true;
  return testing::internal::GetCapturedStdout();
}

void Put(RtpFrameQueue* queue, const std::vector<uint8_t>& datagram) {
  auto header = ParseRtpFixedHeader(datagram);
  ASSERT_TRUE(header);
  queue->Insert(header->sequence, datagram.data(), static_cast<int>(datagram.size()));
}

PlayoutRun::PlayoutRun(Body body, PlayoutTicks ticks)
    : queue(TestChannel(), RecordUnit), body_(body), ticks_(ticks) {
  SetDrivenTicks(1000);
}

PlayoutRun::~PlayoutRun() { Stop(); }

void PlayoutRun::Start() {
  thread_ = std::thread([this] { body_(&queue, ticks_); });
}

void PlayoutRun::Stop() {
  queue.running = 0;
  if (thread_.joinable()) thread_.join();
}
