#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "signaling/frame_codec.h"
#include "signaling/proto_table.h"
#include "signaling/vq_builders.h"

namespace sigbus {
namespace {

using Map = std::map<std::string, std::string>;
using Keys = std::set<std::string>;

// Sends msg through build, stuff, extract and parse and releases it; returns what arrived.
Map round_trip(vq_msg* msg) {
  auto frame = std::make_unique<wire_frame>();
  EXPECT_TRUE(build_frame(*msg, 7, *frame));
  EXPECT_TRUE(stuff_frame(*frame));
  frame_assembler assembler;
  append_received(assembler, frame->stuffed, frame->stuffed_length);
  auto back = std::make_unique<wire_frame>();
  EXPECT_TRUE(extract_frame(assembler, *back));
  auto parsed = parse_frame(*back);
  Map sent = msg->frame;
  vq_msg_release(msg);
  if (!parsed) return {};
  Map got = parsed->frame;
  // Everything sent arrives unchanged, apart from the protocol number the frame carries.
  Map compare = got;
  compare.erase("proto_no");
  sent.erase("proto_no");
  EXPECT_EQ(compare, sent);
  return got;
}

Keys body_keys(const Map& frame) {
  Keys keys;
  for (const auto& [key, value] : frame) {
    if (key != "MessageType" && key != "MessageDir" && key != "proto_no") keys.insert(key);
  }
  return keys;
}

int proto(const Map& frame) { return std::stoi(frame.at("proto_no")); }

const char* kAllDirs[] = {"CONTROL_TO_TERMINAL",
                          "TERMINAL_TO_CONTROL",
                          "CLIENT_TO_CONTROL",
                          "CONTROL_TO_CLIENT",
                          "MEDIA_TO_CONTROL",
                          "CONTROL_TO_MEDIA",
                          "TERMINAL_TO_LOGINSERVER",
                          "LOGINSERVER_TO_TERMINAL",
                          "CLIENT_TO_LOGINSERVER",
                          "LOGINSERVER_TO_CLIENT",
                          "CONTROL_TO_LOGINSERVER",
                          "LOGINSERVER_TO_CONTROL",
                          "ELSEWHERE"};

// Every builder, with every direction, survives the wire unchanged.
TEST(Builders, EveryBuilderRoundTripsInEveryDirection) {
  std::vector<std::function<vq_msg*(const char*)>> builders = {
      [](const char* d) { return vq_msg_login(d, "c", "p", "t"); },
      [](const char* d) { return vq_msg_login_ack(d, 0); },
      [](const char* d) { return vq_msg_logouot(d); },
      [](const char* d) { return vq_msg_logout_ack(d); },
      [](const char* d) { return vq_msg_keepalive(d); },
      [](const char* d) { return vq_msg_keepalive_ack(d); },
      [](const char* d) { return vq_msg_query_control_server(d, "c", "t"); },
      [](const char* d) { return vq_msg_query_control_ack(d, 0, "1.2.3.4", 5, "t", 1); },
      [](const char* d) { return vq_msg_resource_usage_to_control(d, 1, 2, 3, 4); },
      [](const char* d) { return vq_msg_live_video(d, "u", 1, 2, "c", "t", "ip", 3, 4u, 5u); },
      [](const char* d) { return vq_msg_live_video_ack(d, "u", 0, "ip", 1, 2, 3, 25, 4); },
      [](const char* d) { return vq_msg_cancal_live_video(d, "u", 1, 2, 3u, 4u); },
      [](const char* d) { return vq_msg_cancel_live_video_ack(d, "u", 0); },
      [](const char* d) { return vq_msg_record_query(d, "u", "c", 1u, 2, 0, "b", "e"); },
      [](const char* d) {
        return vq_msg_record_query_ack(d, "u", 1u, 2, 0, "b", "e", 9, 0, 3, "x;y");
      },
      [](const char* d) {
        return vq_msg_record_download(d, "u", "c", 1, 2, 3, 4, 5, 6, "f", "ip", 7);
      },
      [](const char* d) { return vq_msg_record_download_ack(d, "u", 0, "ip", 1); },
      [](const char* d) { return vq_msg_record_cancel_download(d, "u", 1, 2, 3, 4, 5, 6, "f"); },
      [](const char* d) { return vq_msg_record_cancel_download_ack(d, "u", 0); },
      [](const char* d) {
        return vq_msg_record_replay(d, "u", "c", 1, 2, 3, 4, 5, 6, "f", "ip", 7, 8u, 9u, 10u, 11u);
      },
      [](const char* d) { return vq_msg_record_replay_ack(d, "u", 0, "ip", 1, 99, 2u, 3u); },
      [](const char* d) {
        return vq_msg_record_cancel_replay(d, "u", 1, 2, 3, 4, 5, 6, "f", 7u, 8u, 9u, 10u);
      },
      [](const char* d) { return vq_msg_record_cancel_replay_ack(d, "u", 0); },
  };
  ASSERT_EQ(builders.size(), 23u);
  for (const char* dir : kAllDirs) {
    for (auto& build : builders) {
      vq_msg* msg = build(dir);
      std::string type = vq_msg_get_frame_type(msg);
      Map got = round_trip(msg);
      ASSERT_FALSE(got.empty()) << dir << " " << type;
      EXPECT_EQ(proto(got), lookup_proto_no(dir, got["MessageType"])) << dir << " " << type;
    }
  }
}

TEST(Builders, LoginDependsOnTheDirectionText) {
  std::string dir = std::string("CLIENT") + "_TO_" + "CONTROL";
  Map got = round_trip(vq_msg_login(dir.c_str(), "c", "p", "t"));
  EXPECT_EQ(body_keys(got), (Keys{"clientid", "terminalid", "devicetype", "passwd"}));
  EXPECT_EQ(got["devicetype"], "client");
  got = round_trip(vq_msg_login("TERMINAL_TO_CONTROL", "c", "p", "t"));
  EXPECT_EQ(body_keys(got), (Keys{"clientid", "devicetype", "passwd"}));
  EXPECT_EQ(got["devicetype"], "terminal");
  EXPECT_EQ(round_trip(vq_msg_login("MEDIA_TO_CONTROL", "c", "p", "t"))["devicetype"], "media");
  EXPECT_EQ(round_trip(vq_msg_login("CONTROL_TO_LOGINSERVER", "c", "p", "t"))["devicetype"],
            "control");
  got = round_trip(vq_msg_login("TERMINAL_TO_LOGINSERVER", "c", "p", "t"));
  EXPECT_EQ(body_keys(got), Keys{"clientid"});
  EXPECT_EQ(proto(got), 0x4001);
}

TEST(Builders, LiveVideoCases) {
  Map got = round_trip(
      vq_msg_live_video("CONTROL_TO_MEDIA", "u", 1, 2, "c", "t", "ip", 3, 4000000000u, 5u));
  EXPECT_EQ(got["MessageType"], "LIVE_START_REQ");
  EXPECT_EQ(proto(got), 0x2605);
  EXPECT_EQ(got["client_ssrc"], "-294967296");
  EXPECT_EQ(body_keys(got), (Keys{"puid", "channel", "mediatype", "clientid", "terminalid",
                                  "client_ssrc", "terminal_ssrc"}));
  got = round_trip(vq_msg_live_video("CLIENT_TO_CONTROL", "u", 1, 2, "c", "t", "ip", 3, 4u, 5u));
  EXPECT_EQ(got["MessageType"], "LIVE_MEDIA_REQ");
  EXPECT_EQ(got["type"], "1");
  EXPECT_EQ(proto(got), 0x5205);
  got = round_trip(vq_msg_live_video("CONTROL_TO_TERMINAL", "u", 1, 2, "c", "t", "ip", 3, 4u, 5u));
  EXPECT_EQ(got["media_ssrc"], "5");
  EXPECT_EQ(got.count("terminalid"), 0u);

  got = round_trip(vq_msg_live_video_ack("MEDIA_TO_CONTROL", "u", 0, "ip", 11, 12, 13, 25, 4));
  EXPECT_EQ(got["MessageType"], "LIVE_START_ACK");
  EXPECT_EQ(got["mediaserver_client_port"], "11");
  EXPECT_EQ(body_keys(got),
            (Keys{"puid", "result", "mediaserver_client_port", "mediaserver_terminal_port"}));
}

TEST(Builders, StopBuildersKeepTheirOddTypes) {
  Map got = round_trip(vq_msg_cancal_live_video("TERMINAL_TO_CONTROL", "u", 1, 2, 3u, 4u));
  EXPECT_EQ(got["MessageType"], "LIVE_STOP_REQ");
  EXPECT_EQ(body_keys(got), (Keys{"puid", "channel", "mediatype"}));
  got = round_trip(vq_msg_cancal_live_video("ELSEWHERE", "u", 1, 2, 3u, 4u));
  EXPECT_EQ(got["MessageType"], "LIVE_MEDIA_REQ");
  EXPECT_EQ(body_keys(got), Keys{"puid"});

  EXPECT_EQ(round_trip(vq_msg_cancel_live_video_ack("CONTROL_TO_CLIENT", "u", 0))["MessageType"],
            "LIVE_STOP_REQ");
  got = round_trip(vq_msg_cancel_live_video_ack("CONTROL_TO_MEDIA", "u", 0));
  EXPECT_EQ(got["MessageType"], "LIVE_STOP_ACK");
  EXPECT_EQ(proto(got), 0xFFFF);  // CONTROL_TO_MEDIA LIVE_STOP_ACK is not in the table

  got = round_trip(vq_msg_record_cancel_download_ack("MEDIA_TO_CONTROL", "u", 0));
  EXPECT_EQ(got["MessageType"], "DOWNLOAD_STOP_ACK");
  EXPECT_EQ(proto(got), 0x300A);
  got = round_trip(vq_msg_record_cancel_download_ack("CLIENT_TO_CONTROL", "u", 0));
  EXPECT_EQ(got["MessageType"], "RECORD_DOWNLOAD_REQ");
  EXPECT_EQ(got["type"], "0");
}

TEST(Builders, RecordBuilders) {
  Map got = round_trip(vq_msg_record_replay("CONTROL_TO_TERMINAL", "u", "c", 1, 2, 3, 4, 5, 6, "f",
                                            "ip", 7, 8u, 9u, 10u, 11u));
  EXPECT_EQ(got["videossrc"], "11");
  EXPECT_EQ(got["audiossrc"], "10");
  EXPECT_EQ(got["ntp"], "6");
  EXPECT_EQ(got.count("start_no"), 0u);
  got = round_trip(vq_msg_record_replay("CONTROL_TO_MEDIA", "u", "c", 1, 2, 3, 4, 5, 6, "f", "ip",
                                        7, 8u, 9u, 10u, 11u));
  EXPECT_EQ(got["MessageType"], "REPALY_START_REQ");
  EXPECT_EQ(got["client_video_ssrc"], "9");
  EXPECT_EQ(proto(got), 0x2607);

  got = round_trip(vq_msg_record_replay_ack("CLIENT_TO_CONTROL", "u", 0, "ip", 1, 99, 2u, 3u));
  EXPECT_EQ(body_keys(got), (Keys{"puid", "result", "type", "mediaserver_ip", "mediaserver_port",
                                  "videossrc", "audiossrc"}));
  got = round_trip(
      vq_msg_record_download("CLIENT_TO_CONTROL", "u", "c", 1, 2, 3, 4, 5, 6, "f", "ip", 7));
  EXPECT_EQ(got.count("clientid"), 0u);
  EXPECT_EQ(got["start_no"], "6");
  got =
      round_trip(vq_msg_record_query("CONTROL_TO_TERMINAL", "u", "c", 3000000000u, 2, 1, "b", "e"));
  EXPECT_EQ(got["clientid"], "c");
  EXPECT_EQ(got["channel"], "-1294967296");
}

TEST(Builders, ResourceUsageAndKeepaliveNumbers) {
  EXPECT_TRUE(
      body_keys(round_trip(vq_msg_resource_usage_to_control("CONTROL_TO_MEDIA", 1, 2, 3, 4)))
          .empty());
  EXPECT_EQ(body_keys(round_trip(vq_msg_resource_usage_to_control("MEDIA_TO_CONTROL", 1, 2, 3, 4)))
                .size(),
            4u);
  EXPECT_EQ(proto(round_trip(vq_msg_keepalive("CONTROL_TO_TERMINAL"))), 0xFFFF);
  EXPECT_EQ(proto(round_trip(vq_msg_keepalive("TERMINAL_TO_CONTROL"))), 0x4202);
}

TEST(ProtoTable, NumbersFollowTheDirectionAndTheFirstMatchWins) {
  std::map<std::string, int> high = {
      {"CONTROL_TO_TERMINAL", 0x20},     {"TERMINAL_TO_CONTROL", 0x42},
      {"CLIENT_TO_CONTROL", 0x52},       {"CONTROL_TO_CLIENT", 0x22},
      {"MEDIA_TO_CONTROL", 0x30},        {"CONTROL_TO_MEDIA", 0x26},
      {"TERMINAL_TO_LOGINSERVER", 0x40}, {"LOGINSERVER_TO_TERMINAL", 0x10},
      {"CLIENT_TO_LOGINSERVER", 0x50},   {"LOGINSERVER_TO_CLIENT", 0x12},
      {"CONTROL_TO_LOGINSERVER", 0x24},  {"LOGINSERVER_TO_CONTROL", 0x14}};
  std::set<std::pair<std::string_view, std::string_view>> pairs;
  for (const proto_entry& e : proto_table) {
    EXPECT_EQ(e.proto_no >> 8, high.at(std::string(e.dir))) << e.dir << " " << e.type;
    EXPECT_TRUE(pairs.emplace(e.dir, e.type).second) << e.dir << " " << e.type;
  }
  EXPECT_EQ(lookup_proto_no("CONTROL_TO_MEDIA", "TALKING_REQ"), 0x260A);
  EXPECT_EQ(lookup_proto_no("MEDIA_TO_CONTROL", "TALKING_ACK"), 0x300A);
  EXPECT_EQ(lookup_proto_no("CONTROL_TO_CLIENT", "TALKING_ACK"), 0x220B);
  EXPECT_EQ(lookup_proto_no("CLIENT_TO_CONTROL", "KEEPALIVE "), 0xFFFF);
}

TEST(ProtoTable, DirectionReversal) {
  EXPECT_EQ(reverse_direction("CLIENT_TO_CONTROL"), "CONTROL_TO_CLIENT");
  EXPECT_EQ(reverse_direction("CONTROL_TO_TERMINAL"), "TERMINAL_TO_CONTROL");
  EXPECT_EQ(reverse_direction("A_TO_B_TO_C"), "B_TO_C_TO_A");
  EXPECT_EQ(reverse_direction("NODIR"), "");
  EXPECT_EQ(reverse_direction("_TO_"), "_TO_");
}

}  // namespace
}  // namespace sigbus
