#include "videolib/frame_fifo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "platform/kernel/kernel.h"

namespace {

class FrameFifoTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fifo.Create()); }
  void TearDown() override { fifo.Destroy(); }
  FrameFifo fifo;
};

std::vector<uint8_t> Frame(int length, uint8_t seed) {
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  for (int i = 0; i < length; ++i)
    bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

TEST_F(FrameFifoTest, RecordsCrossTheEndOfTheRingIntactBetweenThreads) {
  // Sizes chosen so that lengths and bodies both wrap many times.
  std::mt19937 random(3);
  std::vector<std::vector<uint8_t>> sent;
  for (int i = 0; i < 400; ++i)
    sent.push_back(Frame(1 + static_cast<int>(random() % 60000), static_cast<uint8_t>(i)));
  std::thread producer([&] {
    for (const auto& frame : sent)
      ASSERT_EQ(fifo.PutRecord(frame.data(), static_cast<int>(frame.size())), 1);
  });
  std::vector<uint8_t> buffer(414720);
  for (size_t i = 0; i < sent.size(); ++i) {
    int length = -1;
    fifo.GetRecord(buffer.data(), static_cast<int>(buffer.size()), &length);
    ASSERT_EQ(static_cast<size_t>(length), sent[i].size()) << "record " << i;
    ASSERT_TRUE(std::equal(sent[i].begin(), sent[i].end(), buffer.begin())) << "record " << i;
  }
  producer.join();
  EXPECT_EQ(fifo.Used(), 0);
}

TEST_F(FrameFifoTest, FullRingHoldsTheProducerUntilTheConsumerTakes) {
  auto big = Frame(200000, 1);
  ASSERT_EQ(fifo.PutRecord(big.data(), static_cast<int>(big.size())), 1);
  std::atomic<bool> stored{false};
  std::thread producer([&] {
    fifo.PutRecord(big.data(), static_cast<int>(big.size()));
    stored = true;
  });
  Sleep(50);
  EXPECT_FALSE(stored.load());
  std::vector<uint8_t> buffer(414720);
  int length = 0;
  fifo.GetRecord(buffer.data(), static_cast<int>(buffer.size()), &length);
  producer.join();
  EXPECT_TRUE(stored.load());
  EXPECT_EQ(fifo.Used(), 200004);
}

TEST_F(FrameFifoTest, FramesThatCanNeverFitAreRefusedInsteadOfBlocking) {
  auto largest = Frame(FrameFifo::kMaxFrame, 2);
  EXPECT_EQ(fifo.PutRecord(largest.data(), FrameFifo::kMaxFrame + 1), 0);
  EXPECT_EQ(fifo.PutRecord(largest.data(), -5), 0);
  EXPECT_EQ(fifo.PutRecord(nullptr, 10), 0);
  EXPECT_EQ(fifo.Used(), 0);
  // The largest frame that does fit fills the ring exactly.
  EXPECT_EQ(fifo.PutRecord(largest.data(), FrameFifo::kMaxFrame), 1);
  EXPECT_EQ(fifo.Used(), FrameFifo::kSize);
}

TEST_F(FrameFifoTest, SinglePutsAreWholeOrNothing) {
  auto frame = Frame(100, 3);
  EXPECT_EQ(fifo.Put(frame.data(), 100, 1), 1);
  std::vector<uint8_t> out(100);
  EXPECT_EQ(fifo.Get(out.data(), 101), 0);  // more than is stored: nothing taken
  EXPECT_EQ(fifo.Used(), 100);
  EXPECT_EQ(fifo.Get(nullptr, 10), 0);
  EXPECT_EQ(WaitForSingleObject(fifo.spaceEvent, 0), WAIT_OBJECT_0);  // failed gets signal space
  auto huge = Frame(FrameFifo::kSize - 99, 4);
  EXPECT_EQ(fifo.Put(huge.data(), static_cast<int>(huge.size()), 1), 0);
  EXPECT_EQ(fifo.Used(), 100);
}

TEST_F(FrameFifoTest, ZeroLengthRecordAndFlush) {
  uint8_t byte = 0;
  EXPECT_EQ(fifo.PutRecord(&byte, 0), 1);
  std::vector<uint8_t> buffer(16);
  int length = -1;
  fifo.GetRecord(buffer.data(), 16, &length);
  EXPECT_EQ(length, 0);
  auto frame = Frame(1000, 5);
  fifo.PutRecord(frame.data(), 1000);
  fifo.Flush();
  EXPECT_EQ(fifo.Used(), 0);
  EXPECT_EQ(fifo.read, fifo.base);
  EXPECT_EQ(fifo.write, fifo.base);
}

TEST(FrameFifoUnmade, EveryOperationFailsOnARingThatWasNeverMade) {
  FrameFifo fifo;
  uint8_t byte = 1;
  EXPECT_FALSE(fifo.usable());
  EXPECT_EQ(fifo.Put(&byte, 1, 0), 0);
  EXPECT_EQ(fifo.Get(&byte, 1), 0);
  EXPECT_EQ(fifo.PutRecord(&byte, 1), 0);
  fifo.Flush();
  fifo.Destroy();
}

}  // namespace
