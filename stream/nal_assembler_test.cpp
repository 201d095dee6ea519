#include "stream/nal_assembler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "stream/playout_test_support.h"

namespace {

// Feeds datagrams to AssembleNal with consecutive keys from `firstKey`, as the playout
// thread does after a release.
class Assembler {
 public:
  void Feed(const std::vector<uint8_t>& datagram, uint32_t key) {
    RtpPacketRecord record;
    record.key = key;
    record.length = static_cast<int>(datagram.size());
    std::memcpy(record.datagram, datagram.data(), datagram.size());
    AssembleNal(&queue, previous_, &record);
    previous_ = key;
  }
  void Feed(const std::vector<uint8_t>& datagram) { Feed(datagram, previous_ + 1); }

  UnitRecorder recorder;
  RtpFrameQueue queue{TestChannel(), RecordUnit};

 private:
  uint32_t previous_ = 0;
};

std::vector<uint8_t> WithStartCode(std::vector<uint8_t> unit) {
  unit.insert(unit.begin(), {0, 0, 0, 1});
  return unit;
}

TEST(NalAssemblerUnits, AggregationPacketsPassWholeAndPositionStaysAfterDelivery) {
  Assembler a;
  // STAP-A (type 24): not taken apart, one unit with its sizes.
  std::vector<uint8_t> stap = {0x78, 0x00, 0x03, 0x67, 0x42, 0x00, 0x00, 0x02, 0x68, 0xCE};
  a.Feed(RtpPacket(1, 0, stap));
  // A one-byte payload is a unit of its own too.
  a.Feed(RtpPacket(2, 0, {0x09}));
  auto units = a.recorder.Units();
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0], WithStartCode(stap));
  EXPECT_EQ(units[1], WithStartCode({0x09}));
  EXPECT_EQ(a.queue.position, 5);
}

TEST(NalAssemblerFragments, EveryFragmentTypeUsesTheFuALayout) {
  for (uint8_t type : {28, 29, 30, 31}) {
    Assembler a;
    a.Feed(FragmentPacket(1, 0, static_cast<uint8_t>(0x20 | type), 0x81, 20, 0xAA));
    a.Feed(FragmentPacket(2, 0, type, 0x41, 16, 0xBB));
    auto units = a.recorder.Units();
    ASSERT_EQ(units.size(), 1u) << int{type};
    std::vector<uint8_t> expected = {0x61};
    expected.insert(expected.end(), 6, 0xAA);
    expected.insert(expected.end(), 2, 0xBB);
    EXPECT_EQ(units[0], WithStartCode(expected));
  }
}

TEST(NalAssemblerFragments, FragmentsWithoutTheirStartAreDropped) {
  Assembler a;
  a.Feed(FragmentPacket(1, 0, 0x7C, 0x01, 100, 1));  // middle, no start seen
  a.Feed(FragmentPacket(2, 0, 0x7C, 0x41, 100, 1));  // end, no start seen
  EXPECT_EQ(a.recorder.Count(), 0u);
  // A start after a gap begins a clean unit; a start after a start restarts it.
  a.Feed(FragmentPacket(1, 0, 0x7C, 0x85, 30, 2), 9);
  a.Feed(FragmentPacket(1, 0, 0x7C, 0x85, 30, 3));
  a.Feed(FragmentPacket(1, 0, 0x7C, 0x45, 30, 4));
  auto units = a.recorder.Units();
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].size(), 4u + 1 + 16 + 16);
  EXPECT_EQ(units[0][5], 3);
}

TEST(NalAssemblerFragments, ShortFragmentsAreDroppedNotCopied) {
  Assembler a;
  a.Feed(FragmentPacket(1, 0, 0x7C, 0x85, 20, 1));
  // Only the indicator: no FU header to read, nothing to copy.
  a.Feed(RtpPacket(2, 0, {0x7C}));
  EXPECT_EQ(a.queue.position, 4 + 1 + 6);
  // Indicator and header, no data: the end arrives and the unit goes out as it stands.
  a.Feed(RtpPacket(3, 0, {0x7C, 0x45}));
  auto units = a.recorder.Units();
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].size(), 11u);
}

TEST(NalAssemblerFragments, UnitLongerThanTheBufferDropsTheOverflowingFragments) {
  Assembler a;
  constexpr int kData = kRtpRecordBytes - kFuHeaderBytes;
  a.Feed(FragmentPacket(1, 0, 0x7C, 0x85, kRtpRecordBytes, 1));
  int fitting = (kUnitBufferBytes - 5) / kData - 1;  // middles that fit after the start
  for (int i = 0; i < fitting; ++i) a.Feed(FragmentPacket(0, 0, 0x7C, 0x05, kRtpRecordBytes, 2));
  int full = a.queue.position;
  EXPECT_EQ(full, 5 + (fitting + 1) * kData);
  a.Feed(FragmentPacket(0, 0, 0x7C, 0x05, kRtpRecordBytes, 3));
  EXPECT_EQ(a.queue.position, full);
  // The end fragment that still fits completes the unit, without the dropped part.
  int room = kUnitBufferBytes - full;
  a.Feed(FragmentPacket(0, 0, 0x7C, 0x45, kFuHeaderBytes + room, 4));
  auto units = a.recorder.Units();
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(static_cast<int>(units[0].size()), kUnitBufferBytes);
  EXPECT_EQ(units[0].back(), 4);
  EXPECT_EQ(units[0][full - 1], 2);
}

TEST(NalAssemblerUnits, QueueWithoutChannelDeliversNothing) {
  UnitRecorder recorder;
  RtpFrameQueue queue;
  RtpPacketRecord record;
  auto datagram = SinglePacket(1, 0, 100);
  record.key = 1;
  record.length = 100;
  std::memcpy(record.datagram, datagram.data(), 100);
  AssembleNal(&queue, 0, &record);
  EXPECT_EQ(recorder.Count(), 0u);
  EXPECT_EQ(queue.position, 92);
}

}  // namespace

namespace {

// Datagrams with CSRCs, an extension or padding: the unit is the payload they frame.
TEST(NalAssemblerHeaders, PayloadIsWhatTheHeaderFrames) {
  Assembler a;
  auto withCsrc = RtpPacket(1, 0, {0, 0, 0, 9, 0x65, 1, 2});
  withCsrc[0] = 0x81;
  a.Feed(withCsrc);
  auto padded = RtpPacket(2, 0, {0x41, 7, 0, 2});
  padded[0] = 0xA0;
  a.Feed(padded);
  auto units = a.recorder.Units();
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0], WithStartCode({0x65, 1, 2}));
  EXPECT_EQ(units[1], WithStartCode({0x41, 7}));
}

TEST(NalAssemblerHeaders, RefusedHeaderCarriesNothingButStillBreaksTheUnit) {
  Assembler a;
  a.Feed(FragmentPacket(1, 0, 0x7C, 0x85, 20, 1));
  EXPECT_EQ(a.queue.position, 4 + 1 + 6);
  // Fifteen CSRCs announced in a datagram that carries eight bytes after the header.
  auto hostile = FragmentPacket(2, 0, 0x7C, 0x45, 20, 2);
  hostile[0] = 0x8F;
  a.Feed(hostile);
  EXPECT_EQ(a.queue.position, 4 + 1 + 6);
  EXPECT_EQ(a.recorder.Count(), 0u);
  // After a gap the refused datagram still drops what was gathered.
  a.Feed(hostile, 9);
  EXPECT_EQ(a.queue.position, 0);
}

// The builder on a buffer of the caller's, as small as it likes.
TEST(NalBuilder, UnitsThatDoNotFitTheCallersBufferAreDropped) {
  uint8_t buffer[12] = {};
  int position = 0;
  const uint8_t single[] = {0x65, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_TRUE(BuildNal(single, true, buffer, &position));
  EXPECT_EQ(position, 12);
  const uint8_t tooLong[] = {0x65, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_FALSE(BuildNal(tooLong, true, buffer, &position));
  EXPECT_EQ(position, 12);
  const uint8_t start[] = {0x7C, 0x85, 1, 2, 3};
  const uint8_t longEnd[] = {0x7C, 0x45, 4, 5, 6, 7, 8};
  const uint8_t end[] = {0x7C, 0x45, 4, 5, 6, 7};
  EXPECT_FALSE(BuildNal(start, false, buffer, &position));
  EXPECT_EQ(position, 8);
  EXPECT_FALSE(BuildNal(longEnd, true, buffer, &position));  // 8 + 5 does not fit
  EXPECT_EQ(position, 8);
  EXPECT_TRUE(BuildNal(end, true, buffer, &position));
  EXPECT_EQ(position, 12);
  EXPECT_EQ(buffer[4], 0x65);
  EXPECT_FALSE(BuildNal({}, false, buffer, &position));
  EXPECT_EQ(position, 0);
}

}  // namespace
