#include "stream/rtp_frame_queue.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr uint32_t kTicksPerMs = 90;

std::vector<uint8_t> Datagram(uint16_t seq, uint32_t ts, int length = 100) {
  std::vector<uint8_t> bytes(length, 0x41);
  bytes[0] = 0x80;
  bytes[1] = 96;
  bytes[2] = static_cast<uint8_t>(seq >> 8);
  bytes[3] = static_cast<uint8_t>(seq);
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<uint8_t>(ts >> (24 - 8 * i));
  return bytes;
}

void Put(RtpFrameQueue* queue, uint16_t seq, uint32_t ts, int length = 100) {
  auto bytes = Datagram(seq, ts, length);
  queue->Insert(seq, bytes.data(), static_cast<int>(bytes.size()));
}

// Key of the next released record, or -1 when nothing is due. The record is freed.
int64_t Take(RtpFrameQueue* queue, int playing, uint32_t now) {
  std::unique_ptr<RtpPacketRecord> record(queue->TakeDue(playing, now));
  return record ? int64_t{record->key} : -1;
}

// Everything queued, in release order: all timestamps 0 are due at once while playing.
std::vector<int64_t> DrainKeys(RtpFrameQueue* queue) {
  std::vector<int64_t> keys;
  for (int64_t key; (key = Take(queue, 1, 0)) >= 0;) keys.push_back(key);
  return keys;
}

TEST(RtpFrameQueueKeys, WrapAfterTwentyIncreasesGivesConsecutiveKeys) {
  RtpFrameQueue queue;
  for (uint32_t seq = 65514; seq <= 65535; ++seq) Put(&queue, static_cast<uint16_t>(seq), 0);
  Put(&queue, 0, 0);
  Put(&queue, 1, 0);
  std::vector<int64_t> keys = DrainKeys(&queue);
  ASSERT_EQ(keys.size(), 24u);
  for (size_t i = 1; i < keys.size(); ++i) EXPECT_EQ(keys[i], keys[i - 1] + 1) << i;
  EXPECT_EQ(keys.back(), (1 << 16) | 1);
  EXPECT_EQ(queue.wrapCount, 1u);
}

TEST(RtpFrameQueueKeys, EarlyWrapAndReorderDoNotCount) {
  RtpFrameQueue early;
  for (uint32_t seq = 65530; seq <= 65535; ++seq) Put(&early, static_cast<uint16_t>(seq), 0);
  Put(&early, 0, 0);
  EXPECT_EQ(early.wrapCount, 0u);
  EXPECT_EQ(DrainKeys(&early).front(), 0);

  // A packet reordered just after a counted wrap must not count a second one.
  RtpFrameQueue late;
  for (uint32_t seq = 65500; seq <= 65535; ++seq) Put(&late, static_cast<uint16_t>(seq), 0);
  Put(&late, 0, 0);
  Put(&late, 65534, 0);
  Put(&late, 1, 0);
  EXPECT_EQ(late.wrapCount, 1u);
}

TEST(RtpFrameQueueInsert, DuplicateIsDropped) {
  RtpFrameQueue queue;
  Put(&queue, 10, 0);
  Put(&queue, 11, 0);
  Put(&queue, 10, 0);
  EXPECT_EQ(queue.Count(), 2);
  EXPECT_EQ(DrainKeys(&queue), (std::vector<int64_t>{10, 11}));
}

TEST(RtpFrameQueueInsert, OverflowLosesOldestArrivals) {
  RtpFrameQueue queue;
  for (int i = 0; i < 1005; ++i) Put(&queue, static_cast<uint16_t>(5000 - i), 0);
  EXPECT_EQ(queue.Count(), 1001);
  std::vector<int64_t> keys = DrainKeys(&queue);
  ASSERT_EQ(keys.size(), 1001u);
  EXPECT_EQ(keys.front(), 5000 - 1004);
  EXPECT_EQ(keys.back(), 5000 - 4);  // the first four arrivals are gone
}

TEST(RtpFrameQueueInsert, OversizeAndEmptyDatagramsAreNotQueued) {
  RtpFrameQueue queue;
  Put(&queue, 1, 0, kRtpRecordBytes + 1);
  Put(&queue, 2, 0, kRtpHeaderBytes);
  Put(&queue, 3, 0, kRtpRecordBytes);
  EXPECT_EQ(queue.OversizeDrops(), 1u);
  EXPECT_EQ(queue.Count(), 1);
  std::unique_ptr<RtpPacketRecord> record(queue.TakeDue(1, 0));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->length, kRtpRecordBytes);
  EXPECT_EQ(record->datagram[kRtpRecordBytes - 1], 0x41);
}

TEST(RtpFrameQueuePrebuffer, NeedsTenPacketsAndFourHundredMs) {
  RtpFrameQueue few;
  for (int i = 0; i < 9; ++i) Put(&few, static_cast<uint16_t>(i), i * 60 * kTicksPerMs);
  EXPECT_EQ(Take(&few, 0, 1000), -1);  // 480 ms but nine packets
  Put(&few, 9, 9 * 60 * kTicksPerMs);
  EXPECT_EQ(Take(&few, 0, 1000), 0);

  RtpFrameQueue shortSpan;
  for (int i = 0; i < 12; ++i) Put(&shortSpan, static_cast<uint16_t>(i), i * 30 * kTicksPerMs);
  EXPECT_EQ(Take(&shortSpan, 0, 1000), -1);  // 330 ms
  Put(&shortSpan, 12, 400 * kTicksPerMs);
  EXPECT_EQ(Take(&shortSpan, 0, 1000), 0);
}

TEST(RtpFrameQueuePlayout, AnchorsFirstReleaseToItsTick) {
  RtpFrameQueue queue;
  const uint32_t base = 0xFFFFF000;  // timestamps wrap during the test
  for (int i = 0; i < 12; ++i) Put(&queue, static_cast<uint16_t>(i), base + i * 40 * kTicksPerMs);
  const uint32_t start = 77777;
  EXPECT_EQ(Take(&queue, 0, start), 0);
  EXPECT_EQ(Take(&queue, 1, start + 39), -1);
  EXPECT_EQ(Take(&queue, 1, start + 40), 1);
  EXPECT_EQ(Take(&queue, 1, start + 40), -1);
  EXPECT_EQ(Take(&queue, 1, start + 200), 2);  // late: released one per call, in key order
  EXPECT_EQ(Take(&queue, 1, start + 200), 3);
  EXPECT_EQ(Take(&queue, 1, start + 200), 4);
  EXPECT_EQ(Take(&queue, 1, start + 200), 5);
  EXPECT_EQ(Take(&queue, 1, start + 200), -1);
}

TEST(RtpFrameQueuePlayout, PacketFarAheadIsNotDue) {
  RtpFrameQueue queue;
  for (int i = 0; i < 10; ++i) Put(&queue, static_cast<uint16_t>(i), i * 50 * kTicksPerMs);
  EXPECT_EQ(Take(&queue, 0, 0), 0);
  for (int i = 1; i < 10; ++i) EXPECT_EQ(Take(&queue, 1, 450), i);
  Put(&queue, 10, 0x08000000);  // far ahead, within the 2^28 window
  EXPECT_EQ(Take(&queue, 1, 10000), -1);
}

TEST(RtpFrameQueuePlayout, CatchUpEveryFiveHundredCalls) {
  RtpFrameQueue queue;
  // Two seconds of packets, one every 20 ms, anchored with the first at tick 1000.
  for (int i = 0; i <= 100; ++i) Put(&queue, static_cast<uint16_t>(i), i * 20 * kTicksPerMs);
  EXPECT_EQ(Take(&queue, 0, 1000), 0);
  for (int call = 0; call < 500; ++call) EXPECT_EQ(Take(&queue, 1, 1000), -1) << call;
  // The 501st call jumps the clock: the newest packet (2000 ms) becomes due 400 ms from now,
  // so everything up to 1600 ms is due at once.
  for (int i = 1; i <= 80; ++i) ASSERT_EQ(Take(&queue, 1, 1000), i);
  EXPECT_EQ(Take(&queue, 1, 1000), -1);
  EXPECT_EQ(Take(&queue, 1, 1020), 81);
}

TEST(RtpFrameQueuePlayout, NoCatchUpWithinHundredMsOfLag) {
  RtpFrameQueue queue;
  for (int i = 0; i <= 25; ++i) Put(&queue, static_cast<uint16_t>(i), i * 20 * kTicksPerMs);
  EXPECT_EQ(Take(&queue, 0, 0), 0);
  for (int call = 0; call < 600; ++call) EXPECT_EQ(Take(&queue, 1, 0), -1);
  EXPECT_EQ(Take(&queue, 1, 20), 1);
}

}  // namespace
