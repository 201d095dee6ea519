// Keep-alive with a clock the test drives and fast engine timers: the client's KEEPALIVE,
// the cut-off after 35 seconds without keep-alive, and the stalled receive buffer.

#include <thread>

#include "signaling/engine_test_support.h"
#include "signaling/vq_builders.h"

namespace sigbus::test {
namespace {

TEST_F(EngineTest, SilentPeerOfAServerIsCutOffAfter35Seconds) {
  int server = open(0);
  RawPeer peer;
  peer.connect(listen(server));
  ASSERT_TRUE(collectors[0].wait_event("accept"));
  let_timers_run();  // the first checks note the receive time, 1000
  set_clock(1035);
  let_timers_run();
  EXPECT_EQ(collectors[0].count("disconnect"), 0u);
  set_clock(1036);
  Event gone;
  ASSERT_TRUE(collectors[0].wait_event("disconnect", &gone));
  EXPECT_EQ(gone.header.at("reason"), "keepalive timeout");
  EXPECT_TRUE(peer.wait_closed());
}

TEST_F(EngineTest, ClientSendsKeepaliveAndIsCutOffWithoutAck) {
  RawListener listener;
  int client = open(0);
  vq_connect(client, "127.0.0.1", listener.port(), "cli");
  RawPeer peer;
  listener.accept(peer);
  ASSERT_TRUE(collectors[0].wait_event("connect"));
  let_timers_run();
  set_clock(1009);
  let_timers_run();
  EXPECT_TRUE(peer.read_frames(1, 50ms).empty());
  set_clock(1010);
  auto sent = peer.read_frames(1);
  ASSERT_EQ(sent.size(), 1u);
  // The same direction whatever the peers are, and no number in the table for it.
  EXPECT_EQ(sent[0].frame.at("MessageType"), "KEEPALIVE");
  EXPECT_EQ(sent[0].frame.at("MessageDir"), "CONTROL_TO_TERMINAL");
  EXPECT_EQ(sent[0].frame.at("proto_no"), "65535");
  EXPECT_EQ(sent[0].frame.size(), 3u);
  set_clock(1036);
  Event gone;
  ASSERT_TRUE(collectors[0].wait_event("disconnect", &gone));
  EXPECT_EQ(gone.header.at("reason"), "keepalive timeout");
  EXPECT_EQ(gone.header.at("user_arg"), "cli");
}

TEST_F(EngineTest, TwoEnginesKeepEachOtherAlive) {
  int server = open(0);
  int client = open(1);
  vq_connect(client, "127.0.0.1", listen(server), "cli");
  ASSERT_TRUE(collectors[1].wait_event("connect"));
  ASSERT_TRUE(collectors[0].wait_event("accept"));
  let_timers_run();
  for (std::int64_t now = 1000; now <= 1200; now += 10) {
    set_clock(now);
    let_timers_run();
  }
  EXPECT_EQ(collectors[0].count("disconnect"), 0u);
  EXPECT_EQ(collectors[1].count("disconnect"), 0u);
  // Neither KEEPALIVE nor its ACK ever reaches the application.
  EXPECT_EQ(collectors[0].count("frame"), 0u);
  EXPECT_EQ(collectors[1].count("frame"), 0u);
  bool answered = false;
  for (const LogLine& line : captured_log()) {
    answered |= line.text.find("send ka_ack") != std::string::npos;
  }
  EXPECT_TRUE(answered);
}

TEST_F(EngineTest, StalledReceiveBufferEndsInKeepaliveTimeout) {
  int server = open(0);
  RawPeer peer;
  peer.connect(listen(server));
  ASSERT_TRUE(collectors[0].wait_event("accept"));
  let_timers_run();
  Bytes stall(7000, 'a');
  stall[0] = 0x7E;
  peer.write(stall);
  // The buffer is full of one unfinished frame: KEEPALIVE no longer gets through.
  for (std::int64_t now = 1010; now <= 1030; now += 10) {
    set_clock(now);
    peer.write(frame_bytes(make_msg("CLIENT_TO_CONTROL", "KEEPALIVE")));
    let_timers_run();
  }
  EXPECT_TRUE(peer.read_frames(1, 50ms).empty());
  set_clock(1036);
  Event gone;
  ASSERT_TRUE(collectors[0].wait_event("disconnect", &gone));
  EXPECT_EQ(gone.header.at("reason"), "keepalive timeout");
}

TEST_F(EngineTest, KeepaliveFromThePeerPostponesTheCutOff) {
  int server = open(0);
  RawPeer peer;
  peer.connect(listen(server));
  ASSERT_TRUE(collectors[0].wait_event("accept"));
  let_timers_run();
  set_clock(1030);
  peer.write(frame_bytes(make_msg("TERMINAL_TO_CONTROL", "KEEPALIVE")));
  ASSERT_EQ(peer.read_frames(1).size(), 1u);
  // Other traffic does not count as keep-alive.
  set_clock(1060);
  peer.write(frame_bytes(make_msg("TERMINAL_TO_CONTROL", "LOGIN"), 1));
  let_timers_run();
  EXPECT_EQ(collectors[0].count("disconnect"), 0u);
  set_clock(1066);
  ASSERT_TRUE(collectors[0].wait_event("disconnect"));
}

}  // namespace
}  // namespace sigbus::test
