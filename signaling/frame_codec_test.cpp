#include "signaling/frame_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace sigbus {
namespace {

using Bytes = std::vector<std::uint8_t>;

vq_msg make(const char* dir, const char* type, std::map<std::string, std::string> body = {}) {
  vq_msg msg;
  msg.frame = std::move(body);
  msg.frame[kKeyDir] = dir;
  msg.frame[kKeyType] = type;
  return msg;
}

Bytes to_stream(const vq_msg& msg, std::uint32_t sequence = 0) {
  auto frame = std::make_unique<wire_frame>();
  if (!build_frame(msg, sequence, *frame) || !stuff_frame(*frame)) return {};
  return Bytes(frame->stuffed, frame->stuffed + frame->stuffed_length);
}

// Feeds bytes in one read and returns every message that comes out, in order.
std::vector<vq_msg> receive(frame_assembler& assembler, const Bytes& bytes) {
  append_received(assembler, bytes.data(), bytes.size());
  std::vector<vq_msg> out;
  auto frame = std::make_unique<wire_frame>();
  while (extract_frame(assembler, *frame)) {
    if (auto msg = parse_frame(*frame)) out.push_back(*msg);
  }
  return out;
}

TEST(FrameCodec, WorkedKeepaliveExampleByteForByte) {
  vq_msg msg = make("CLIENT_TO_CONTROL", "KEEPALIVE");
  auto frame = std::make_unique<wire_frame>();
  ASSERT_TRUE(build_frame(msg, 0, *frame));
  ASSERT_TRUE(stuff_frame(*frame));
  const std::string doc =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><Message><IE_HEADER MessageType=\"KEEPALIVE\" "
      "MessageDir=\"CLIENT_TO_CONTROL\" /><IE_BODY  /></Message>";
  ASSERT_EQ(doc.size(), 137u);
  constexpr std::uint8_t kHeader[] = {0x2B, 0x6C, 0x00, 0x00, 0x00, 0x00, 0x52, 0x02, 0x00, 0x89};
  EXPECT_EQ(frame->frame_length, 147);
  EXPECT_EQ(Bytes(frame->frame, frame->frame + 10), Bytes(std::begin(kHeader), std::end(kHeader)));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(frame->frame + 10)), doc);
  EXPECT_EQ(frame->stuffed_length, 149);
  EXPECT_EQ(frame->stuffed[0], kFlag);
  EXPECT_EQ(frame->stuffed[148], kFlag);
  EXPECT_EQ(0, std::memcmp(frame->stuffed + 1, frame->frame, 147));
}

TEST(FrameCodec, BodyAttributesInKeyOrderAndSequenceBigEndian) {
  vq_msg msg = make("CLIENT_TO_CONTROL", "LIVE_MEDIA_REQ",
                    {{"puid", "p"}, {"channel", "2"}, {"clientid", "c"}, {"proto_no", "9"}});
  std::string doc;
  ASSERT_TRUE(write_document(msg, doc));
  EXPECT_NE(doc.find("<IE_BODY  channel=\"2\" clientid=\"c\" puid=\"p\" /></Message>"),
            std::string::npos);
  EXPECT_EQ(doc.find("proto_no"), std::string::npos);
  auto frame = std::make_unique<wire_frame>();
  ASSERT_TRUE(build_frame(msg, 0x01020304, *frame));
  EXPECT_EQ(Bytes(frame->frame + 2, frame->frame + 8), (Bytes{1, 2, 3, 4, 0, 9}));
}

TEST(FrameCodec, ProtoNoRules) {
  frame_assembler assembler;
  vq_msg msg = make("CLIENT_TO_CONTROL", "KEEPALIVE", {{"proto_no", "70000"}});
  auto got = receive(assembler, to_stream(msg));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].frame["proto_no"], "4464");

  msg.frame["proto_no"] = "0";
  got = receive(assembler, to_stream(msg));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].frame["proto_no"], std::to_string(0x5202));

  got = receive(assembler, to_stream(make("NOWHERE_TO_ANYWHERE", "KEEPALIVE")));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].frame["proto_no"], "65535");
}

TEST(FrameCodec, MessageWithoutBodyParsesToReservedKeysOnly) {
  frame_assembler assembler;
  auto got = receive(assembler, to_stream(make("CLIENT_TO_CONTROL", "KEEPALIVE")));
  ASSERT_EQ(got.size(), 1u);
  std::map<std::string, std::string> expected = {
      {"MessageDir", "CLIENT_TO_CONTROL"}, {"MessageType", "KEEPALIVE"}, {"proto_no", "20994"}};
  EXPECT_EQ(got[0].frame, expected);
  EXPECT_TRUE(got[0].header.empty());
}

TEST(FrameCodec, FlagAndEscapeBytesAreStuffedAndRestored) {
  // Sequence 0x7E7D0000 puts both special bytes in the header; the body carries them too.
  vq_msg msg = make("CLIENT_TO_CONTROL", "LOGIN", {{"key", "a~b}c~~"}});
  auto frame = std::make_unique<wire_frame>();
  ASSERT_TRUE(build_frame(msg, 0x7E7D0000, *frame));
  ASSERT_TRUE(stuff_frame(*frame));
  int specials = 0;
  for (int i = 0; i < frame->frame_length; ++i) {
    specials += frame->frame[i] == kFlag || frame->frame[i] == kEscape;
  }
  EXPECT_GE(specials, 6);
  EXPECT_EQ(frame->stuffed_length, frame->frame_length + 2 + specials);
  for (int i = 1; i + 1 < frame->stuffed_length; ++i) EXPECT_NE(frame->stuffed[i], kFlag);

  frame_assembler assembler;
  Bytes stream(frame->stuffed, frame->stuffed + frame->stuffed_length);
  append_received(assembler, stream.data(), stream.size());
  auto back = std::make_unique<wire_frame>();
  ASSERT_TRUE(extract_frame(assembler, *back));
  ASSERT_EQ(back->frame_length, frame->frame_length);
  EXPECT_EQ(0, std::memcmp(back->frame, frame->frame, frame->frame_length));
  EXPECT_EQ(parse_frame(*back)->frame["key"], "a~b}c~~");
}

TEST(FrameCodec, BackToBackFramesAndSplitReads) {
  Bytes stream = to_stream(make("CLIENT_TO_CONTROL", "LOGIN", {{"n", "1"}}), 0);
  Bytes second = to_stream(make("CLIENT_TO_CONTROL", "LOGIN", {{"n", "2"}}), 1);
  stream.insert(stream.end(), second.begin(), second.end());

  frame_assembler whole;
  auto got = receive(whole, stream);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].frame["n"], "1");
  EXPECT_EQ(got[1].frame["n"], "2");
  EXPECT_EQ(whole.fill, 0u);

  frame_assembler bytewise;
  std::vector<std::string> order;
  for (std::uint8_t byte : stream) {
    for (auto& msg : receive(bytewise, Bytes{byte})) order.push_back(msg.frame["n"]);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"1", "2"}));
}

TEST(FrameCodec, GarbageBeforeAFlagDiscardsTheWholeBuffer) {
  Bytes good = to_stream(make("CLIENT_TO_CONTROL", "LOGIN"));
  Bytes stream = {'x', 'y'};
  stream.insert(stream.end(), good.begin(), good.end());
  frame_assembler assembler;
  EXPECT_TRUE(receive(assembler, stream).empty());
  EXPECT_EQ(assembler.fill, 0u);
  EXPECT_EQ(receive(assembler, good).size(), 1u);
}

TEST(FrameCodec, BadChecksumDropsOnlyThatFrame) {
  Bytes bad = to_stream(make("CLIENT_TO_CONTROL", "LOGIN", {{"n", "1"}}));
  bad[bad.size() - 5] ^= 0x01;
  Bytes good = to_stream(make("CLIENT_TO_CONTROL", "LOGIN", {{"n", "2"}}));
  frame_assembler assembler;
  Bytes stream = bad;
  stream.insert(stream.end(), good.begin(), good.end());
  // The corrupt frame is dropped; the good one waits in the buffer for the next read.
  EXPECT_TRUE(receive(assembler, stream).empty());
  auto got = receive(assembler, {});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].frame["n"], "2");
}

TEST(FrameCodec, IncompleteAndTinyFramesGiveNothing) {
  Bytes good = to_stream(make("CLIENT_TO_CONTROL", "LOGIN"));
  frame_assembler assembler;
  EXPECT_TRUE(receive(assembler, Bytes(good.begin(), good.end() - 1)).empty());
  EXPECT_EQ(assembler.fill, good.size() - 1);
  frame_assembler tiny;
  EXPECT_TRUE(receive(tiny, {kFlag, kFlag, kFlag, 0x00, kFlag}).empty());
  // A document without any attribute is dropped too.
  Bytes header_only = {kFlag, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kFlag};
  EXPECT_TRUE(receive(tiny, header_only).empty());
}

TEST(FrameCodec, OverlongDocumentIsRefused) {
  vq_msg msg = make("CLIENT_TO_CONTROL", "LOGIN", {{"data", std::string(2900, 'a')}});
  auto frame = std::make_unique<wire_frame>();
  EXPECT_TRUE(build_frame(msg, 0, *frame));
  EXPECT_LT(frame->frame_length, static_cast<int>(kFrameCapacity));
  msg.frame["data"] = std::string(3062 - 5 - 4, 'a');  // body check: 3062 or more fails
  EXPECT_FALSE(build_frame(msg, 0, *frame));
  EXPECT_FALSE(frame->valid);
  // Passes the body check but the whole document does not fit.
  msg.frame["data"] = std::string(3000, 'a');
  msg.frame["e"] = std::string(40, 'b');
  EXPECT_FALSE(build_frame(msg, 0, *frame));
}

TEST(FrameCodec, FrameThatStuffsBeyondTheBufferIsRefused) {
  vq_msg msg = make("CLIENT_TO_CONTROL", "LOGIN", {{"data", std::string(2000, '~')}});
  auto frame = std::make_unique<wire_frame>();
  ASSERT_TRUE(build_frame(msg, 0, *frame));
  EXPECT_FALSE(stuff_frame(*frame));
  EXPECT_EQ(frame->stuffed_length, 0);
  msg.frame["data"] = std::string(1400, '~');
  ASSERT_TRUE(build_frame(msg, 0, *frame));
  EXPECT_TRUE(stuff_frame(*frame));
  EXPECT_LE(frame->stuffed_length, static_cast<int>(kFrameCapacity));
}

TEST(FrameCodec, ReceivedFrameLongerThanTheBufferIsDropped) {
  Bytes stream = {kFlag};
  stream.insert(stream.end(), kFrameCapacity + 1, 'a');
  stream.push_back(kFlag);
  Bytes good = to_stream(make("CLIENT_TO_CONTROL", "LOGIN"));
  stream.insert(stream.end(), good.begin(), good.end());
  frame_assembler assembler;
  EXPECT_TRUE(receive(assembler, stream).empty());
  EXPECT_EQ(receive(assembler, {}).size(), 1u);
}

TEST(FrameCodec, ReceiveBufferKeepsAtMost6144Bytes) {
  frame_assembler assembler;
  Bytes big(7000, 'a');
  big[0] = kFlag;
  EXPECT_EQ(append_received(assembler, big.data(), big.size()), kReceiveCapacity);
  EXPECT_EQ(append_received(assembler, big.data(), 1), 0u);
  auto frame = std::make_unique<wire_frame>();
  EXPECT_FALSE(extract_frame(assembler, *frame));
  EXPECT_EQ(assembler.fill, kReceiveCapacity);
}

TEST(FrameCodec, ValuesWithSlashOrQuoteOnReceipt) {
  frame_assembler assembler;
  auto got = receive(assembler, to_stream(make("CLIENT_TO_CONTROL", "LOGIN",
                                               {{"a", "1"}, {"b", "x/y"}, {"c", "3"}})));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].frame["a"], "1");
  EXPECT_EQ(got[0].frame["b"], "");
  EXPECT_EQ(got[0].frame.count("c"), 0u);

  got = receive(assembler, to_stream(make("CLIENT_TO_CONTROL", "LOGIN", {{"q", "say\"hi"}})));
  ASSERT_EQ(got.size(), 1u);
  // The value runs from the first to the last quotation mark of its token.
  EXPECT_EQ(got[0].frame["q"], "say\"hi");
}

TEST(FrameCodec, BodyAttributeNamedMessageTypeReplacesTheHeaders) {
  vq_msg msg = make("CLIENT_TO_CONTROL", "LOGIN");
  std::string doc;
  ASSERT_TRUE(write_document(msg, doc));
  doc.replace(doc.find("<IE_BODY  />"), 12, "<IE_BODY MessageType=\"OTHER\" proto_no=\"7\" />");
  auto frame = std::make_unique<wire_frame>();
  std::memset(frame->frame, 0, sizeof frame->frame);
  frame->frame[6] = 0x12;
  frame->frame[7] = 0x34;
  std::memcpy(frame->frame + 10, doc.data(), doc.size());
  frame->frame_length = static_cast<int>(10 + doc.size());
  auto parsed = parse_frame(*frame);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->frame["MessageType"], "OTHER");
  EXPECT_EQ(parsed->frame["proto_no"], std::to_string(0x1234));
}

}  // namespace
}  // namespace sigbus
