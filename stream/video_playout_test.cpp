#include "stream/video_playout.h"

#include <gtest/gtest.h>

#include "platform/kernel/clock.h"
#include "platform/kernel/critical_section.h"
#include "stream/playout_test_support.h"
#include "stream/test_session_run.h"

namespace {

constexpr uint32_t kTicksPerMs = 90;
constexpr int kWaitMs = 3000;

uint32_t TickBaseOf(RtpFrameQueue* queue) {
  EnterCriticalSection(&queue->lock);
  uint32_t base = queue->tickBase;
  LeaveCriticalSection(&queue->lock);
  return base;
}

class VideoPlayoutTest : public testing::Test {
 protected:
  // Single units that make the queue hold 400 ms from `seq` on, after `ts`.
  void Prebuffer(uint16_t seq, uint32_t ts, int packets = 10) {
    for (int i = 0; i < packets; ++i)
      Put(&run_.queue, SinglePacket(static_cast<uint16_t>(seq + i), ts + 4000u * i, 100));
  }
  // Lets the driven clock run until everything queued is released.
  void PlayOut() { ASSERT_TRUE(PlayOutDriven(&run_.queue, kWaitMs)); }

  UnitRecorder recorder_;
  PlayoutRun run_{RunVideoPlayout};
};

TEST_F(VideoPlayoutTest, SingleUnitsAndFragmentedUnitReachTheChannel) {
  // A unit in three 1400-byte fragments (indicator NRI 1: the rebuilt header has NRI 3).
  Put(&run_.queue, FragmentPacket(1, 0, 0x3C, 0x85, 1400, 0xA1));
  Put(&run_.queue, FragmentPacket(2, 0, 0x3C, 0x05, 1400, 0xA2));
  Put(&run_.queue, FragmentPacket(3, 0, 0x3C, 0x45, 1400, 0xA3));
  Prebuffer(4, 3000);
  run_.Start();
  PlayOut();
  ASSERT_TRUE(recorder_.WaitCount(11, kWaitMs));
  auto units = recorder_.Units();
  ASSERT_EQ(units.size(), 11u);
  const auto& fragmented = units[0];
  ASSERT_EQ(fragmented.size(), 4u + 1 + 3 * 1386);
  EXPECT_EQ(std::vector<uint8_t>(fragmented.begin(), fragmented.begin() + 5),
            (std::vector<uint8_t>{0, 0, 0, 1, 0x65}));
  for (int part = 0; part < 3; ++part) {
    EXPECT_EQ(fragmented[5 + part * 1386], 0xA1 + part);
    EXPECT_EQ(fragmented[5 + part * 1386 + 1385], 0xA1 + part);
  }
  // A 100-byte single unit: the start code and its 88 payload bytes.
  auto single = SinglePacket(4, 3000, 100);
  std::vector<uint8_t> expected = {0, 0, 0, 1};
  expected.insert(expected.end(), single.begin() + 12, single.end());
  EXPECT_EQ(units[1], expected);
  EXPECT_EQ(units[1].size(), 92u);
}

TEST_F(VideoPlayoutTest, LostMiddleFragmentDiscardsOnlyItsUnit) {
  Put(&run_.queue, FragmentPacket(1, 0, 0x7C, 0x85, 1400, 1));
  Put(&run_.queue, FragmentPacket(3, 0, 0x7C, 0x45, 1400, 3));  // 2 never arrives
  Put(&run_.queue, FragmentPacket(4, 0, 0x7C, 0x81, 1400, 4));
  Put(&run_.queue, FragmentPacket(5, 0, 0x7C, 0x41, 1400, 5));
  Prebuffer(6, 3000);
  CapturedOutput captured;
  run_.Start();
  PlayOut();
  ASSERT_TRUE(recorder_.WaitCount(11, kWaitMs));
  run_.Stop();
  std::string output = captured.Take();
  auto units = recorder_.Units();
  ASSERT_EQ(units.size(), 11u);
  EXPECT_EQ(units[0].size(), 4u + 1 + 2 * 1386);
  EXPECT_EQ(units[0][4], 0x61);
  EXPECT_EQ(units[0][5], 4);
  EXPECT_EQ(units[0].back(), 5);
  EXPECT_NE(output.find("last seq = 1 got seq = 3 buff count ="), std::string::npos) << output;
  EXPECT_EQ(output.find("last seq = 3 got seq = 4"), std::string::npos);
}

TEST_F(VideoPlayoutTest, NothingBeforeFourHundredMsAreQueued) {
  Prebuffer(1, 0, 9);
  Put(&run_.queue, SinglePacket(10, 400 * kTicksPerMs - 1, 100));
  run_.Start();
  SetDrivenTicks(DrivenTicks() + 5000);
  Sleep(100);
  EXPECT_EQ(recorder_.Count(), 0u);
  Put(&run_.queue, SinglePacket(11, 400 * kTicksPerMs, 100));
  EXPECT_TRUE(recorder_.WaitCount(1, kWaitMs));
}

TEST_F(VideoPlayoutTest, TwentySecondsWithoutPacketsPrebufferAgain) {
  Prebuffer(1, 0);
  run_.Start();
  PlayOut();
  ASSERT_TRUE(recorder_.WaitCount(10, kWaitMs));
  uint32_t played = DrivenTicks();

  // At 20 s nothing changes; past it the clock is anchored anew.
  SetDrivenTicks(played + kPlayoutIdleMs - 1000);
  Sleep(50);
  EXPECT_NE(TickBaseOf(&run_.queue), DrivenTicks());
  SetDrivenTicks(played + kPlayoutIdleMs + 1000);
  ASSERT_TRUE(WaitFor([&] { return TickBaseOf(&run_.queue) == DrivenTicks(); }, kWaitMs));

  // Packets long overdue by the old clock wait for 400 ms to be queued again.
  Prebuffer(11, 40000, 9);
  Sleep(100);
  EXPECT_EQ(recorder_.Count(), 10u);
  Put(&run_.queue, SinglePacket(20, 40000 + 400 * kTicksPerMs, 100));
  EXPECT_TRUE(recorder_.WaitCount(11, kWaitMs));
}

}  // namespace
