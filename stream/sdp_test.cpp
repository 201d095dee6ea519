#include "stream/sdp.h"

#include <gtest/gtest.h>

namespace {

constexpr char kTwoTracks[] =
    "v=0\r\n"
    "o=- 0 0 IN IP4 0.0.0.0\r\n"
    "s=recording\r\n"
    "a=range:npt=0-3600.5\r\n"
    "m=video 0 RTP/AVP 96\r\n"
    "a=rtpmap:96 H264/90000\r\n"
    "a=control:trackID=0\r\n"
    "a=fmtp:96 profile-level-id=42001E; Config=000001B0F5\r\n"
    "m=audio 0 RTP/AVP 97\r\n"
    "a=rtpmap:97 L16/8000/2\r\n"
    "a=control:trackID=1\r\n";

SdpDescription Parse(const char* text, bool expect = true, std::string* output = nullptr) {
  SdpDescription sdp;
  testing::internal::CaptureStdout();
  bool ok = ParseSdp(text, &sdp);
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(ok, expect) << printed;
  if (output) *output = printed;
  return sdp;
}

TEST(Sdp, TwoTracks) {
  std::string output;
  SdpDescription sdp = Parse(kTwoTracks, true, &output);
  ASSERT_EQ(sdp.subsessions.size(), 2u);
  const MediaSubsession& video = sdp.subsessions[0];
  EXPECT_EQ(video.medium, "video");
  EXPECT_EQ(video.codecName, "H264");
  EXPECT_EQ(video.clockRate, 90000u);
  EXPECT_EQ(video.payloadType, 96u);
  EXPECT_EQ(video.controlPath, "trackID=0");
  EXPECT_EQ(video.config, "000001b0f5");
  const MediaSubsession& audio = sdp.subsessions[1];
  EXPECT_EQ(audio.codecName, "L16");
  EXPECT_EQ(audio.clockRate, 8000u);
  EXPECT_EQ(audio.channels, 2u);
  EXPECT_EQ(audio.controlPath, "trackID=1");
  EXPECT_EQ(sdp.videoClock, 90000u);
  EXPECT_EQ(sdp.videoPayloadType, 96u);
  EXPECT_EQ(sdp.audioClock, 8000u);
  EXPECT_EQ(sdp.audioPayloadType, 97u);
  EXPECT_EQ(sdp.fMaxPlayEndTime, 3600500u);
  EXPECT_EQ(output, "fMaxPlayEndTime is 3600500\n");
}

TEST(Sdp, OneTrackAndRtpmapForms) {
  SdpDescription one = Parse("v=0\nm=video 0 RTP/AVP 96\na=rtpmap: 96 H264/90000\n");
  ASSERT_EQ(one.subsessions.size(), 1u);
  EXPECT_EQ(one.subsessions[0].channels, 1u);
  EXPECT_EQ(one.fMaxPlayEndTime, 0u);
  SdpDescription bare = Parse("m=audio 0 RTP/AVP 8\na=rtpmap:8 PCMA\n");
  EXPECT_EQ(bare.subsessions[0].codecName, "PCMA");
  EXPECT_EQ(bare.audioClock, 0u);  // not one of the audio codecs the session plays
}

TEST(Sdp, RangeScaling) {
  EXPECT_EQ(Parse("a=range:npt=0-75\r\n").fMaxPlayEndTime, 75000u);
  EXPECT_EQ(Parse("a=range:npt=0-1.23456\r\n").fMaxPlayEndTime, 1234u);
  EXPECT_EQ(Parse("a=range:npt=0-\r\n").fMaxPlayEndTime, 0u);
  EXPECT_EQ(Parse("a=range:npt=0-10\r\na=range:npt=0-20\r\n").fMaxPlayEndTime, 20000u);
}

TEST(Sdp, MalformedLinesFailTheParse) {
  std::string output;
  Parse("v=0\r\nbad line\r\n", false, &output);
  EXPECT_EQ(output, "Invalid SDP line \n");
  Parse("V=0\r\n", false, &output);
  EXPECT_EQ(output, "Invalid SDP line \n");
  Parse("m=video 0 RTP/AVP 128\r\n", false, &output);
  EXPECT_EQ(output, "Bad SDP line\n");
  Parse("m=video 0 RTP/AVP\r\n", false, &output);
  EXPECT_EQ(output, "Bad SDP line\n");
  Parse("m=video x RTP/AVP 96\r\n", false, &output);
  EXPECT_EQ(output, "Bad SDP line\n");
}

}  // namespace

// An H.265 track as GStreamer and cameras describe it: base64 parameter sets (case kept, one
// list with two sets), and a stream with decoding order numbers marked for refusal.
TEST(Sdp, H265ParameterSetsAndDecodingOrder) {
  SdpDescription sdp = Parse(
      "v=0\r\n"
      "m=video 0 RTP/AVP 96\r\n"
      "a=rtpmap:96 H265/90000\r\n"
      "a=fmtp:96 sprop-pps=RAHA8vA=; sprop-sps=QgEBAWA,QgEC;sprop-vps=QAEMAf//\r\n"
      "m=video 0 RTP/AVP 97\r\n"
      "a=rtpmap:97 H265/90000\r\n"
      "a=fmtp:97 sprop-max-don-diff=2;sprop-vps=QAE=\r\n"
      "m=video 0 RTP/AVP 98\r\n"
      "a=rtpmap:98 H265/90000\r\n"
      "a=fmtp:98 sprop-max-don-diff=0;sprop-vps=!!;sprop-sps=Q\r\n");
  ASSERT_EQ(sdp.subsessions.size(), 3u);
  const MediaSubsession& plain = sdp.subsessions[0];
  EXPECT_TRUE(IsVideoCodec(plain.codecName));
  EXPECT_FALSE(plain.decodingOrderNumbers);
  EXPECT_EQ(plain.parameterSets,
            (std::vector<std::string>{"QAEMAf//", "QgEBAWA", "QgEC", "RAHA8vA="}));
  const std::vector<uint8_t> annexB = {0, 0, 0, 1, 0x40, 0x01, 0x0C, 0x01, 0xFF, 0xFF,  // VPS
                                       0, 0, 0, 1, 0x42, 0x01, 0x01, 0x01, 0x60,        // SPS
                                       0, 0, 0, 1, 0x42, 0x01, 0x02,                    // SPS
                                       0, 0, 0, 1, 0x44, 0x01, 0xC0, 0xF2, 0xF0};       // PPS
  EXPECT_EQ(HevcParameterSets(plain), annexB);
  EXPECT_TRUE(sdp.subsessions[1].decodingOrderNumbers);
  // Zero means no decoding order numbers; sets that are not base64, or too short to be a
  // unit, are left out.
  EXPECT_FALSE(sdp.subsessions[2].decodingOrderNumbers);
  EXPECT_TRUE(HevcParameterSets(sdp.subsessions[2]).empty());
}
