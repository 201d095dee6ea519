#include "stream/rtp_header.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Version 2, marker, type 96, sequence 0x1234, timestamp 0x01020304, SSRC 0xA1B2C3D4.
constexpr uint8_t kPlain[] = {0x80, 0xE0, 0x12, 0x34, 0x01, 0x02, 0x03, 0x04,
                              0xA1, 0xB2, 0xC3, 0xD4, 0x65, 0x88, 0x84};

std::vector<uint8_t> Datagram(uint8_t first, std::vector<uint8_t> after) {
  std::vector<uint8_t> d(kPlain, kPlain + kRtpHeaderBytes);
  d[0] = first;
  d.insert(d.end(), after.begin(), after.end());
  return d;
}

TEST(RtpHeaderFields, EveryFixedFieldIsRead) {
  auto h = ParseRtpHeader(kPlain);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->version, 2);
  EXPECT_FALSE(h->padding);
  EXPECT_FALSE(h->extension);
  EXPECT_EQ(h->csrcCount, 0);
  EXPECT_TRUE(h->marker);
  EXPECT_EQ(h->payloadType, 96);
  EXPECT_EQ(h->sequence, 0x1234);
  EXPECT_EQ(h->timestamp, 0x01020304u);
  EXPECT_EQ(h->ssrc, 0xA1B2C3D4u);
  EXPECT_EQ(h->payloadOffset, 12u);
  EXPECT_EQ(h->payloadLength, 3u);
  EXPECT_EQ(h->Payload(kPlain)[0], 0x65);
  // The version is reported, not judged.
  auto zero = ParseRtpHeader(Datagram(0x00, {1}));
  ASSERT_TRUE(zero);
  EXPECT_EQ(zero->version, 0);
  EXPECT_EQ(zero->payloadLength, 1u);
}

TEST(RtpHeaderFields, CsrcsExtensionAndPaddingAreSkipped) {
  // Two CSRCs, an extension of one word, three payload bytes, two bytes of padding.
  auto d = Datagram(0x80 | 0x20 | 0x10 | 2, {0, 0, 0, 1, 0, 0,    0,    2,    0xBE, 0xDE, 0,
                                             1, 9, 9, 9, 9, 0x41, 0x42, 0x43, 0x00, 0x02});
  auto h = ParseRtpHeader(d);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->csrcCount, 2);
  EXPECT_EQ(h->payloadOffset, 12u + 8 + 8);
  EXPECT_EQ(h->payloadLength, 3u);
  auto payload = h->Payload(d);
  EXPECT_EQ(std::vector<uint8_t>(payload.begin(), payload.end()),
            (std::vector<uint8_t>{0x41, 0x42, 0x43}));
  // A header with nothing after it is whole; its payload is empty.
  auto bare = ParseRtpHeader(Datagram(0x80, {}));
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->payloadLength, 0u);
}

TEST(RtpHeaderHostile, HeadersPointingPastTheDatagramAreRefused) {
  for (size_t n = 0; n < kRtpHeaderBytes; ++n)
    EXPECT_FALSE(ParseRtpHeader(std::span(kPlain, n))) << n;
  // Fifteen CSRCs announced, three carried.
  EXPECT_FALSE(ParseRtpHeader(Datagram(0x8F, std::vector<uint8_t>(12, 0))));
  // Exactly the CSRCs announced: accepted, no payload.
  EXPECT_TRUE(ParseRtpHeader(Datagram(0x81, {0, 0, 0, 7})));
  // An extension flag without room for the extension header.
  EXPECT_FALSE(ParseRtpHeader(Datagram(0x90, {0xBE, 0xDE, 0})));
  // An extension whose length runs past the end (0xFFFF words).
  EXPECT_FALSE(ParseRtpHeader(Datagram(0x90, {0xBE, 0xDE, 0xFF, 0xFF, 1, 2, 3, 4})));
  // An extension that just fits, behind a CSRC.
  auto fits = ParseRtpHeader(Datagram(0x91, {0, 0, 0, 1, 0xBE, 0xDE, 0, 1, 1, 2, 3, 4}));
  ASSERT_TRUE(fits);
  EXPECT_EQ(fits->payloadLength, 0u);
}

TEST(RtpHeaderHostile, PaddingCountsThatEatTheHeaderAreRefused) {
  // Padding of zero bytes cannot be: the count counts itself.
  EXPECT_FALSE(ParseRtpHeader(Datagram(0xA0, {1, 2, 0})));
  // More padding than payload.
  EXPECT_FALSE(ParseRtpHeader(Datagram(0xA0, {1, 2, 4})));
  EXPECT_FALSE(ParseRtpHeader(Datagram(0xA0, {0xFF})));
  // Padding flag on a header without a byte after it.
  EXPECT_FALSE(ParseRtpHeader(Datagram(0xA0, {})));
  // All of the payload padding: accepted, empty.
  auto all = ParseRtpHeader(Datagram(0xA0, {0, 0, 3}));
  ASSERT_TRUE(all);
  EXPECT_EQ(all->payloadLength, 0u);
  // Padding behind an extension may not reach into the extension.
  EXPECT_FALSE(ParseRtpHeader(Datagram(0xB0, {0xBE, 0xDE, 0, 0, 1, 3})));
}

TEST(RtpHeaderFixed, ReadsTheFixedFieldsOfDatagramsTheFullReaderRefuses) {
  auto d = Datagram(0x8F, {});  // fifteen CSRCs announced, none carried
  EXPECT_FALSE(ParseRtpHeader(d));
  auto h = ParseRtpFixedHeader(d);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->sequence, 0x1234);
  EXPECT_EQ(h->ssrc, 0xA1B2C3D4u);
  EXPECT_EQ(h->payloadLength, 0u);
  EXPECT_FALSE(ParseRtpFixedHeader(std::span(kPlain, 11)));
}

}  // namespace
