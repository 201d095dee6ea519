#include "videolib/frame_fifo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
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
  fifo.SetReader(true);
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
  fifo.SetReader(true);
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

TEST_F(FrameFifoTest, WithoutAReaderNothingWaitsForGood) {
  auto big = Frame(200000, 6);
  // No reader: a record that does not fit is refused at once.
  ASSERT_EQ(fifo.PutRecord(big.data(), static_cast<int>(big.size())), 1);
  EXPECT_EQ(fifo.PutRecord(big.data(), static_cast<int>(big.size())), 0);
  // With one, the wait has the bound it is given.
  fifo.SetReader(true);
  EXPECT_EQ(fifo.PutRecord(big.data(), static_cast<int>(big.size()), 30), 0);
  // A producer waiting without a bound is let go when the reader goes.
  std::atomic<int> put{-1};
  std::thread producer([&] { put = fifo.PutRecord(big.data(), static_cast<int>(big.size())); });
  Sleep(30);
  EXPECT_EQ(put.load(), -1);
  fifo.SetReader(false);
  producer.join();
  EXPECT_EQ(put.load(), 0);
  // A consumer waiting on an empty ring is woken when the reader goes, and takes what is
  // whole before that.
  fifo.Flush();
  fifo.SetReader(true);
  std::vector<uint8_t> buffer(414720);
  std::atomic<int> got{-1};
  int length = -1;
  std::thread consumer([&] { got = fifo.GetRecord(buffer.data(), 414720, &length) ? 1 : 0; });
  Sleep(30);
  EXPECT_EQ(got.load(), -1);
  fifo.SetReader(false);
  consumer.join();
  EXPECT_EQ(got.load(), 0);
  EXPECT_EQ(length, 0);
  ASSERT_EQ(fifo.PutRecord(big.data(), 10), 1);
  EXPECT_TRUE(fifo.GetRecord(buffer.data(), 414720, &length));
  EXPECT_EQ(length, 10);
}

TEST_F(FrameFifoTest, FlushesBetweenThreadsNeverLeaveHalfARecord) {
  // A record is its length and its bytes: a flush between the two used to leave a consumer
  // waiting for bytes that never came, or reading a length as data.
  fifo.SetReader(true);
  std::atomic<bool> run{true};
  std::thread producer([&] {
    std::mt19937 random(9);
    uint8_t seed = 0;
    while (run) {
      // Each record tells its own length in its first bytes so the consumer can check it.
      auto frame = Frame(8 + static_cast<int>(random() % 50000), seed++);
      const int n = static_cast<int>(frame.size());
      std::memcpy(frame.data(), &n, 4);
      fifo.PutRecord(frame.data(), n, 20);
    }
  });
  std::thread flusher([&] {
    while (run) {
      fifo.Flush();
      std::this_thread::yield();
    }
  });
  std::vector<uint8_t> buffer(414720);
  int records = 0;
  for (int i = 0; i < 3000; ++i) {
    int length = 0;
    ASSERT_TRUE(fifo.GetRecord(buffer.data(), static_cast<int>(buffer.size()), &length));
    int told = 0;
    std::memcpy(&told, buffer.data(), 4);
    ASSERT_EQ(told, length) << "record " << i;
    const uint8_t seed = buffer[4] - 28;  // Frame puts seed + 4 * 7 at index 4
    for (int k = 4; k < length; ++k)
      ASSERT_EQ(buffer[static_cast<size_t>(k)], static_cast<uint8_t>(seed + k * 7)) << i;
    ++records;
  }
  run = false;
  fifo.SetReader(false);
  producer.join();
  flusher.join();
  EXPECT_EQ(records, 3000);
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
