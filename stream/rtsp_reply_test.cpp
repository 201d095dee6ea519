#include "stream/rtsp_reply.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ReplyHeader::Step PushAll(ReplyHeader* header, const std::string& bytes) {
  ReplyHeader::Step step = ReplyHeader::Step::kMore;
  for (char c : bytes) {
    step = header->Push(c);
    if (step != ReplyHeader::Step::kMore) break;
  }
  return step;
}

TEST(ReplyHeader, EndsAtBlankLineAndCountsFromFirstR) {
  ReplyHeader header(1000);
  std::string text = "RTSP/1.0 200 OK\r\nCSeq: 2\r\n\r\n";
  EXPECT_EQ(PushAll(&header, "\r\n\r" + text + "body"), ReplyHeader::Step::kComplete);
  EXPECT_STREQ(header.Text(), text.c_str());
  EXPECT_EQ(header.Count(), static_cast<int>(text.size()));
}

TEST(ReplyHeader, FullBufferStaysTerminatedInside) {
  ReplyHeader header(16);
  EXPECT_EQ(PushAll(&header, "RTSP/1.0 200 OK and on and on"), ReplyHeader::Step::kFull);
  EXPECT_EQ(header.Count(), 15);
  EXPECT_EQ(std::string(header.Text()), "RTSP/1.0 200 OK");
  EXPECT_EQ(header.Push('x'), ReplyHeader::Step::kFull);
  EXPECT_EQ(header.Count(), 15);
}

TEST(ReplyHeader, NoRMeansNoReply) {
  ReplyHeader header(100);
  PushAll(&header, "\x01\x02\r\n\r\n");
  EXPECT_EQ(header.Count(), 0);
  EXPECT_STREQ(header.Text(), "");
}

TEST(ReplyParse, StatusCode) {
  EXPECT_EQ(ParseStatusCode("RTSP/1.0 200 OK\r\n"), 200u);
  EXPECT_EQ(ParseStatusCode("RTSP/1.0 454 Session Not Found\r\nCSeq: 3\r\n"), 454u);
  EXPECT_EQ(ParseStatusCode("RTSP/1.0\r\n200 OK\r\n"), std::nullopt);
  EXPECT_EQ(ParseStatusCode("RTSP/1.0 OK"), std::nullopt);
  EXPECT_EQ(ParseStatusCode(""), std::nullopt);
}

TEST(ReplyParse, ContentLengthBothSpellings) {
  EXPECT_EQ(FindContentLength("RTSP/1.0 200 OK\r\nContent-Length: 512\r\n\r\n"), 512);
  EXPECT_EQ(FindContentLength("RTSP/1.0 200 OK\nContent-length: 7\n\n"), 7);
  EXPECT_EQ(FindContentLength("RTSP/1.0 200 OK\r\nContent-Type: application/sdp\r\n\r\n"),
            std::nullopt);
  EXPECT_EQ(FindContentLength("RTSP/1.0 200 OK\r\nX-Content-Length: 5\r\n\r\n"), std::nullopt);
}

TEST(ReplyParse, SessionTokenKeepsTimeout) {
  EXPECT_EQ(FindSessionToken("RTSP/1.0 200 OK\r\nSession: 1A2B;timeout=60\r\n\r\n"),
            "1A2B;timeout=60");
  EXPECT_EQ(FindSessionToken("RTSP/1.0 200 OK\r\nSession:77 trailing\r\n\r\n"), "77");
  EXPECT_EQ(FindSessionToken("RTSP/1.0 200 OK\r\nCSeq: 2\r\n\r\n"), std::nullopt);
}

TEST(ReplyParse, ServerPorts) {
  int rtp = -1, rtcp = -1;
  EXPECT_TRUE(FindServerPorts(
      "Transport: RTP/AVP;unicast;client_port=5000-5001;server_port=6970-6971;ssrc=1\r\n", &rtp,
      &rtcp));
  EXPECT_EQ(rtp, 6970);
  EXPECT_EQ(rtcp, 6971);
  rtp = rtcp = -1;
  EXPECT_FALSE(FindServerPorts("Transport: RTP/AVP;server_port=6970\r\n", &rtp, &rtcp));
  EXPECT_FALSE(FindServerPorts("Transport: RTP/AVP;server_port=6970-6971", &rtp, &rtcp));
  EXPECT_FALSE(FindServerPorts("Transport: RTP/AVP\r\n", &rtp, &rtcp));
  EXPECT_EQ(rtp, -1);
  EXPECT_EQ(rtcp, -1);
}

}  // namespace
