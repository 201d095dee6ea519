#include "signaling/vq_msg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct MsgDeleter {
  void operator()(vq_msg* msg) const { vq_msg_release(msg); }
};
using MsgPtr = std::unique_ptr<vq_msg, MsgDeleter>;

TEST(VqMsg, CreateFillsTypeAndDirectionOnly) {
  MsgPtr msg(vq_msg_create("CLIENT_TO_CONTROL", "LOGIN"));
  EXPECT_STREQ(vq_msg_get_frame_type(msg.get()), "LOGIN");
  EXPECT_STREQ(vq_msg_get_frame_dir(msg.get()), "CLIENT_TO_CONTROL");
  EXPECT_EQ(vq_msg_get_frame(msg.get()).size(), 2u);
  EXPECT_FALSE(vq_msg_header_exist(msg.get(), "MessageType"));
  vq_msg_set_frame_type(msg.get(), "TERMDOWN");
  vq_msg_set_frame_dir(msg.get(), "A_TO_B");
  EXPECT_STREQ(vq_msg_get_frame_string(msg.get(), "MessageType"), "TERMDOWN");
  EXPECT_STREQ(vq_msg_get_frame_string(msg.get(), "MessageDir"), "A_TO_B");
  vq_msg_release(nullptr);
}

TEST(VqMsg, HeaderAndFrameMapsAreIndependent) {
  MsgPtr msg(vq_msg_create("D", "T"));
  vq_msg_set_header_string(msg.get(), "key", "header");
  vq_msg_set_frame_string(msg.get(), "key", "frame");
  EXPECT_STREQ(vq_msg_get_header_string(msg.get(), "key"), "header");
  EXPECT_STREQ(vq_msg_get_frame_string(msg.get(), "key"), "frame");
  vq_msg_set_header_string(msg.get(), "key", "replaced");
  EXPECT_STREQ(vq_msg_get_header_string(msg.get(), "key"), "replaced");
  EXPECT_TRUE(vq_msg_header_exist(msg.get(), "key"));
  EXPECT_TRUE(vq_msg_frame_exist(msg.get(), "key"));
  EXPECT_FALSE(vq_msg_frame_exist(msg.get(), "other"));
  EXPECT_STREQ(vq_msg_get_header_string(msg.get(), "absent"), "");
  EXPECT_EQ(vq_msg_get_header_int(msg.get(), "absent"), 0);
  EXPECT_STREQ(vq_msg_get_frame_string(msg.get(), "absent"), "");
  EXPECT_EQ(vq_msg_get_frame_int(msg.get(), "absent"), 0);
}

TEST(VqMsg, IntegersUsePercentDAndAtoi) {
  MsgPtr msg(vq_msg_create("D", "T"));
  vq_msg_set_frame_int(msg.get(), "n", -42);
  EXPECT_STREQ(vq_msg_get_frame_string(msg.get(), "n"), "-42");
  vq_msg_set_header_int(msg.get(), "big", static_cast<int>(4000000000u));
  EXPECT_STREQ(vq_msg_get_header_string(msg.get(), "big"), "-294967296");
  const char* cases[][2] = {{"  12ab", "12"}, {"\t-7", "-7"}, {"+5", "5"},
                            {"x9", "0"},      {"", "0"},      {"3 4", "3"}};
  for (auto& c : cases) {
    vq_msg_set_frame_string(msg.get(), "v", c[0]);
    EXPECT_EQ(vq_msg_get_frame_int(msg.get(), "v"), std::atoi(c[1])) << c[0];
  }
}

TEST(VqMsg, ProtoNoIsTakenModulo65536) {
  MsgPtr msg(vq_msg_create("D", "T"));
  EXPECT_EQ(vq_msg_get_frame_proto_no(msg.get()), 0);
  vq_msg_set_frame_proto_no(msg.get(), 65535);
  EXPECT_STREQ(vq_msg_get_frame_string(msg.get(), "proto_no"), "65535");
  vq_msg_set_frame_string(msg.get(), "proto_no", "70000");
  EXPECT_EQ(vq_msg_get_frame_proto_no(msg.get()), 4464);
}

TEST(VqMsg, SetFrameReplacesEverythingIncludingReservedKeys) {
  MsgPtr msg(vq_msg_create("D", "T"));
  vq_msg_set_frame(msg.get(), {{"a", "1"}, {"MessageDir", "X_TO_Y"}});
  EXPECT_STREQ(vq_msg_get_frame_type(msg.get()), "");
  EXPECT_FALSE(vq_msg_frame_exist(msg.get(), "MessageType"));
  EXPECT_STREQ(vq_msg_get_frame_dir(msg.get()), "X_TO_Y");
  auto copy = vq_msg_get_frame(msg.get());
  copy["a"] = "changed";
  EXPECT_STREQ(vq_msg_get_frame_string(msg.get(), "a"), "1");
}

TEST(VqMsg, StringifyNeedsTwoBytesBeyondTheText) {
  MsgPtr msg(vq_msg_create("CLIENT_TO_CONTROL", "LOGIN"));
  vq_msg_set_header_string(msg.get(), "event_name", "frame");
  vq_msg_set_frame_string(msg.get(), "clientid", "c1");
  const std::string expected =
      "event_name:frame\nMessageDir:CLIENT_TO_CONTROL\nMessageType:LOGIN\nclientid:c1\n";
  const int length = vq_msg_stringify(msg.get(), nullptr, 0);
  ASSERT_EQ(length, static_cast<int>(expected.size()));

  std::string buf(length + 2, '#');
  EXPECT_EQ(vq_msg_stringify(msg.get(), buf.data(), length + 2), length);
  EXPECT_EQ(std::string(buf.c_str()), expected);

  std::string small(length + 1, '#');
  EXPECT_EQ(vq_msg_stringify(msg.get(), small.data(), length + 1), -1);
  // The lines that fitted stay, NUL-terminated, and nothing is written past the buffer.
  EXPECT_EQ(std::string(small.c_str()), expected.substr(0, expected.rfind("clientid")));

  char none[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(vq_msg_stringify(msg.get(), none, 0), -1);
  EXPECT_EQ(none[0], '#');
}

TEST(VqMsg, StringifyOfAnEmptyMessageWritesNothing) {
  MsgPtr msg(vq_msg_create("D", "T"));
  vq_msg_set_frame(msg.get(), {});
  char buf[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(vq_msg_stringify(msg.get(), nullptr, 0), 0);
  EXPECT_EQ(vq_msg_stringify(msg.get(), buf, sizeof buf), 0);
  EXPECT_EQ(buf[0], '#');
}

}  // namespace
