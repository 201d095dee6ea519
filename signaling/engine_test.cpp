// The transport over real loopback TCP: events and their header entries, failures, framing
// across reads, and the engine's lifecycle.

#include <thread>

#include "signaling/engine_test_support.h"
#include "signaling/frame_codec.h"
#include "signaling/tcp_server.h"
#include "signaling/vq_builders.h"
#include "signaling/vq_msg.h"

namespace sigbus::test {
namespace {

TEST_F(EngineTest, AcceptConnectFrameAndDisconnectEvents) {
  int server = open(0);
  int client = open(1);
  int port = listen(server, "srv-arg");
  int id = vq_connect(client, "127.0.0.1", port, "cli-arg");
  ASSERT_GT(id, 0);

  Event connected, accepted;
  ASSERT_TRUE(collectors[1].wait_event("connect", &connected));
  EXPECT_EQ(connected.header, (Map{{"event_name", "connect"},
                                   {"from", "transport"},
                                   {"connection", std::to_string(id)},
                                   {"user_arg", "cli-arg"},
                                   {"result", "0"}}));
  EXPECT_TRUE(connected.frame.empty());
  ASSERT_TRUE(collectors[0].wait_event("accept", &accepted));
  EXPECT_EQ(accepted.header.at("remote_ip"), "127.0.0.1");
  EXPECT_GT(std::stoi(accepted.header.at("remote_port")), 0);
  EXPECT_EQ(accepted.header.at("user_arg"), "srv-arg");
  EXPECT_EQ(accepted.header.at("from"), "transport");
  int server_side = std::stoi(accepted.header.at("connection"));
  EXPECT_NE(server_side, id);

  ASSERT_EQ(vq_send(client, id, vq_msg_login("CLIENT_TO_CONTROL", "c1", "pw", "t9")), 0);
  Event frame;
  ASSERT_TRUE(collectors[0].wait_event("frame", &frame));
  EXPECT_EQ(frame.header.at("connection"), std::to_string(server_side));
  EXPECT_EQ(frame.header.at("user_arg"), "srv-arg");
  EXPECT_EQ(frame.header.at("remote_ip"), "127.0.0.1");
  EXPECT_EQ(frame.frame.at("MessageType"), "LOGIN");
  EXPECT_EQ(frame.frame.at("passwd"), "pw");
  EXPECT_EQ(frame.frame.at("proto_no"), std::to_string(0x5201));

  ASSERT_EQ(vq_send(server, server_side, vq_msg_login_ack("CONTROL_TO_CLIENT", 0)), 0);
  ASSERT_TRUE(collectors[1].wait_event("frame", &frame));
  // A connection made by vq_connect has no remote address of its own.
  EXPECT_EQ(frame.header.at("remote_ip"), "");
  EXPECT_EQ(frame.header.at("remote_port"), "0");
  EXPECT_EQ(frame.header.at("user_arg"), "cli-arg");

  // A local close gives no event on this side and "recv error 2" (end of stream) on the other.
  ASSERT_EQ(vq_close(server, server_side), 0);
  Event gone;
  ASSERT_TRUE(collectors[1].wait_event("disconnect", &gone));
  EXPECT_EQ(gone.header.at("reason"), "recv error 2");
  EXPECT_EQ(gone.header.at("user_arg"), "cli-arg");
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(collectors[0].count("disconnect"), 0u);
}

TEST_F(EngineTest, RefusedPortReportsTheErrorAndForgetsTheId) {
  int port;
  {
    RawListener closed_again;
    port = closed_again.port();
  }
  int client = open(0);
  int id = vq_connect(client, "127.0.0.1", port, "x");
  Event connected;
  ASSERT_TRUE(collectors[0].wait_event("connect", &connected));
  EXPECT_EQ(connected.header.at("result"), std::to_string(ECONNREFUSED));
  EXPECT_EQ(vq_send(client, id, vq_msg_keepalive("CLIENT_TO_CONTROL")), 0);
  EXPECT_TRUE(wait_log("send fail,no connection " + std::to_string(id)));
}

TEST_F(EngineTest, UnresolvableNameKeepsItsIdUntilClosed) {
  int client = open(0);
  int id = vq_connect(client, "no-such-host.invalid", 80, "x");
  ASSERT_GT(id, 0);
  Event connected;
  ASSERT_TRUE(collectors[0].wait_event("connect", &connected));
  EXPECT_NE(connected.header.at("result"), "0");
  std::string no_connection = "send fail,no connection " + std::to_string(id);
  vq_send(client, id, vq_msg_keepalive("CLIENT_TO_CONTROL"));
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(log_contains(no_connection));
  vq_close(client, id);
  vq_send(client, id, vq_msg_keepalive("CLIENT_TO_CONTROL"));
  EXPECT_TRUE(wait_log(no_connection));
  EXPECT_EQ(collectors[0].events().size(), 1u);
}

TEST_F(EngineTest, CloseDuringAPendingConnectGivesNoEvent) {
  // A listener whose accept queue is full drops new handshakes, so a connect stays pending.
  boost::asio::io_context io;
  boost::asio::ip::tcp::acceptor full(io);
  full.open(boost::asio::ip::tcp::v4());
  full.bind({boost::asio::ip::address_v4::loopback(), 0});
  full.listen(0);
  int port = full.local_endpoint().port();
  RawPeer filler;  // takes the one place in the queue
  filler.connect(port);
  int client = open(0);
  int id = vq_connect(client, "127.0.0.1", port, "x");
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(collectors[0].events().size(), 0u) << "the connect did not stay pending";
  vq_close(client, id);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(collectors[0].events().size(), 0u);
  EXPECT_TRUE(wait_log("close context " + std::to_string(id) + ", local close"));
}

TEST_F(EngineTest, SendToUnknownOrClosedIdsIsDropped) {
  int handle = open(0);
  EXPECT_EQ(vq_send(handle, 999999, vq_msg_keepalive("CLIENT_TO_CONTROL")), 0);
  vq_msg* kept = vq_msg_keepalive("CLIENT_TO_CONTROL");
  EXPECT_EQ(vq_send(handle + 1000, 1, kept), -1);
  vq_msg_release(kept);  // still the caller's
  EXPECT_EQ(vq_close(handle + 1000, 1), -1);
  EXPECT_EQ(vq_connect(handle + 1000, "127.0.0.1", 1, "x"), -1);
  EXPECT_EQ(vq_listen(handle + 1000, 0, "x"), -1);
  EXPECT_TRUE(wait_log("send fail,no connection 999999"));
  EXPECT_TRUE(log_contains("close connection 1"));
  EXPECT_TRUE(collectors[0].events().empty());
}

TEST_F(EngineTest, FramesAcrossReadsArriveOnceAndInOrder) {
  int server = open(0);
  RawPeer peer;
  peer.connect(listen(server));
  ASSERT_TRUE(collectors[0].wait_event("accept"));
  Bytes two = frame_bytes(make_msg("CLIENT_TO_CONTROL", "LOGIN", {{"n", "1"}}), 0);
  Bytes second = frame_bytes(make_msg("CLIENT_TO_CONTROL", "LOGIN", {{"n", "2"}}), 1);
  two.insert(two.end(), second.begin(), second.end());
  peer.write(two);
  Bytes split = frame_bytes(make_msg("CLIENT_TO_CONTROL", "LOGIN", {{"n", "3"}}), 2);
  for (std::size_t at = 0; at < split.size(); at += 40) {
    peer.write(Bytes(split.begin() + at, split.begin() + std::min(split.size(), at + 40)));
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(collectors[0].wait_count(4));
  std::this_thread::sleep_for(30ms);
  auto events = collectors[0].events();
  ASSERT_EQ(events.size(), 4u);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(events[i].frame.at("n"), std::to_string(i));
}

TEST_F(EngineTest, GarbageIsDroppedAndAMidFrameCloseIsReported) {
  int server = open(0);
  RawPeer peer;
  peer.connect(listen(server));
  ASSERT_TRUE(collectors[0].wait_event("accept"));
  peer.write(Bytes{'g', 'a', 'r', 'b', 'a', 'g', 'e'});
  Bytes good = frame_bytes(make_msg("CLIENT_TO_CONTROL", "LOGIN"));
  std::this_thread::sleep_for(20ms);
  peer.write(good);
  ASSERT_TRUE(collectors[0].wait_event("frame"));
  peer.write(Bytes(good.begin(), good.begin() + 30));
  peer.close();
  Event gone;
  ASSERT_TRUE(collectors[0].wait_event("disconnect", &gone));
  EXPECT_EQ(gone.header.at("reason"), "recv error 2");
  EXPECT_EQ(collectors[0].count("frame"), 1u);
}

TEST_F(EngineTest, KeepaliveIsAnsweredAndNeverDelivered) {
  int server = open(0);
  RawPeer peer;
  peer.connect(listen(server));
  ASSERT_TRUE(collectors[0].wait_event("accept"));
  peer.write(frame_bytes(make_msg("CLIENT_TO_CONTROL", "KEEPALIVE"), 0));
  auto replies = peer.read_frames(1);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].frame.at("MessageType"), "KEEPALIVE_ACK");
  EXPECT_EQ(replies[0].frame.at("MessageDir"), "CONTROL_TO_CLIENT");
  EXPECT_EQ(replies[0].frame.at("proto_no"), std::to_string(0x2202));
  peer.write(frame_bytes(make_msg("CONTROL_TO_CLIENT", "KEEPALIVE_ACK"), 1));
  peer.write(frame_bytes(make_msg("CLIENT_TO_CONTROL", "LOGIN"), 2));
  ASSERT_TRUE(collectors[0].wait_event("frame"));
  auto events = collectors[0].events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].frame.at("MessageType"), "LOGIN");
}

TEST_F(EngineTest, BurstToASlowReaderArrivesWholeAndInOrder) {
  int server = open(0);
  RawPeer peer;
  peer.connect(listen(server));
  Event accepted;
  ASSERT_TRUE(collectors[0].wait_event("accept", &accepted));
  int id = std::stoi(accepted.header.at("connection"));
  // Far more than the socket buffers hold while the peer is not reading.
  constexpr int kCount = 6000;
  for (int i = 0; i < kCount; ++i) {
    vq_msg* msg = vq_msg_create("CONTROL_TO_CLIENT", "RECORD_QUERY_RESULT");
    vq_msg_set_frame_int(msg, "n", i);
    vq_msg_set_frame_string(msg, "data", std::string(200, 'd').c_str());
    vq_send(server, id, msg);
  }
  std::this_thread::sleep_for(200ms);
  auto frames = peer.read_frames(kCount, 10s);
  ASSERT_EQ(frames.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(frames[i].frame.at("n"), std::to_string(i));
}

TEST_F(EngineTest, OverlongMessageIsNotSent) {
  int server = open(0);
  RawPeer peer;
  peer.connect(listen(server));
  Event accepted;
  ASSERT_TRUE(collectors[0].wait_event("accept", &accepted));
  int id = std::stoi(accepted.header.at("connection"));
  vq_msg* big = vq_msg_create("CONTROL_TO_CLIENT", "LOGIN_RESULT");
  vq_msg_set_frame_string(big, "data", std::string(4000, 'x').c_str());
  vq_send(server, id, big);
  vq_send(server, id, vq_msg_login_ack("CONTROL_TO_CLIENT", 0));
  auto frames = peer.read_frames(2, 300ms);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].frame.at("MessageType"), "LOGIN_RESULT");
  EXPECT_EQ(frames[0].frame.count("data"), 0u);
}

TEST_F(EngineTest, ClosingAnEngineFromItsOwnEventFunctionIsRefused) {
  int server = open(0);
  collectors[0].set_on_event([server](const Event&) { vq_io_close(server); });
  RawPeer peer;
  peer.connect(listen(server));
  ASSERT_TRUE(collectors[0].wait_event("accept"));
  collectors[0].set_on_event(nullptr);
  // The engine still serves its connection.
  peer.write(frame_bytes(make_msg("CLIENT_TO_CONTROL", "LOGIN")));
  ASSERT_TRUE(collectors[0].wait_event("frame"));
  bool refused = false;
  for (const LogLine& line : captured_log()) {
    refused |= line.level == 4 && line.text.find("own event function") != std::string::npos;
  }
  EXPECT_TRUE(refused);
}

TEST_F(EngineTest, ClosingAnEngineEndsItsConnectionsWithoutEvents) {
  int server = open(0);
  RawPeer peer;
  peer.connect(listen(server));
  ASSERT_TRUE(collectors[0].wait_event("accept"));
  vq_io_close(server);
  EXPECT_TRUE(peer.wait_closed());
  EXPECT_EQ(collectors[0].events().size(), 1u);
  EXPECT_TRUE(log_contains("engine " + std::to_string(server) + " deleted"));
  EXPECT_EQ(vq_send(server, 1, nullptr), -1);
}

TEST_F(EngineTest, AcceptedSocketWithoutRemoteAddressIsSkipped) {
  boost::asio::io_context io;
  std::vector<trans_ptr> posted;
  std::mutex mutex;
  auto post = [&](trans_ptr msg) {
    std::lock_guard<std::mutex> lock(mutex);
    posted.push_back(std::move(msg));
  };
  auto server = std::make_shared<tcp_server>(io, 0, "arg", post);
  auto unconnected = std::make_shared<tcp_connection>(io, post);
  unconnected->socket().open(boost::asio::ip::tcp::v4());
  server->handle_accept(unconnected, {});
  EXPECT_TRUE(posted.empty());
  // The next accept was posted: a real peer is still taken.
  RawPeer peer;
  peer.connect(server->local_port());
  bool accepted = false;
  for (auto deadline = std::chrono::steady_clock::now() + 3s;
       !accepted && std::chrono::steady_clock::now() < deadline;) {
    io.run_one_for(50ms);
    std::lock_guard<std::mutex> lock(mutex);
    for (auto& msg : posted) accepted |= msg->kind == TRANS_ACCEPT;
  }
  EXPECT_TRUE(accepted);
}

TEST_F(EngineTest, ListenOnAPortInUseRaisesTheFailedStep) {
  RawListener taken;
  int handle = open(0);
  try {
    vq_listen(handle, taken.port(), "x");
    ADD_FAILURE() << "listening on a port in use succeeded";
  } catch (const boost::system::system_error& error) {
    EXPECT_EQ(std::string(error.what()).rfind("bind", 0), 0u) << error.what();
    EXPECT_EQ(error.code(), boost::asio::error::address_in_use);
  }
  // The engine is unharmed and listens elsewhere.
  EXPECT_GT(listen(handle), 0);
}

TEST(TransKind, NamesAsLogged) {
  EXPECT_STREQ(trans_kind_name(TRANS_RECV_RESULT), "TRANS_RECV_RESULT");
  EXPECT_STREQ(trans_kind_name(TRANS_TIMER), "TRANS_TIMER");
  EXPECT_STREQ(trans_kind_name(-1), "none");
}

}  // namespace
}  // namespace sigbus::test
