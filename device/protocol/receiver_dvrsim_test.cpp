// The panel's receive thread against the simulator's command side on loopback: requests go
// out through the socket utilities, replies come back through the thread into the video
// library's panel table and the sink.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "device/protocol/dvr_socket.h"
#include "device/protocol/panel_receiver.h"
#include "tools/dvrsim/command_server.h"
#include "videolib/channel.h"

namespace {

struct Sink : PanelReplySink {
  mutable std::mutex mutex;
  std::vector<std::string> calls;
  int32_t mask = 0;  // guarded by mutex
  void SetMask(int32_t m) {
    std::lock_guard<std::mutex> lock(mutex);
    mask = m;
  }
  void OnRelaySwitched() override { Add("relay switched"); }
  int32_t RelayMask() const override {
    std::lock_guard<std::mutex> lock(mutex);
    return mask;
  }
  void ShowText(int id) override { Add("text " + std::to_string(id)); }
  void Add(std::string call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(std::move(call));
  }
  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
  }
};

// Polls `done` for up to 3 s.
template <typename F>
bool Eventually(F done) {
  for (int i = 0; i < 300; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

std::string Value(const SW_SHOW_ST& record, const std::string& label) {
  for (const auto& e : record.entries) {
    if (label == e.label) return e.value;
  }
  return "(none)";
}

class ReceiverAgainstDvrsim : public testing::Test {
 protected:
  ReceiverAgainstDvrsim()
      : dvr("127.0.0.1", 0, 8, {}, 3, [](const std::string&) {}),
        sock(OpenDatagramSocket()),
        receiver(sock, &CChannel::m_swdata, &sink) {
    std::memset(&CChannel::m_swdata, 0, sizeof CChannel::m_swdata);
    dvr.Start();
    EXPECT_TRUE(receiver.Start());
  }
  ~ReceiverAgainstDvrsim() override {
    receiver.Stop();
    closesocket(sock);
  }
  bool Send(int kind, const void* values = nullptr) {
    return BuildAndSend(values, sock, "127.0.0.1", kind, dvr.port());
  }
  void SendStatusRequests(int n) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(Send(kBuildStatusUser));
  }

  dvrsim::CommandServer dvr;
  Sink sink;
  SOCKET sock;
  PanelReceiver receiver;
};

TEST_F(ReceiverAgainstDvrsim, StatusRecordReachesThePanelTableAndRelaySwitches) {
  ASSERT_NE(sock, INVALID_SOCKET);
  ASSERT_TRUE(Send(kBuildStatusPeriodic));
  ASSERT_TRUE(Eventually([&] { return receiver.stats().statusRecords == 1; }));
  SW_SHOW_ST current = CurrentPanelRecord(CChannel::m_swdata);
  EXPECT_EQ(CChannel::m_swdata.count, 1u);
  EXPECT_EQ(std::strlen(current.entries[0].label), 4u);  // "Time"
  EXPECT_EQ(Value(current, "Time").size(), 19u);
  EXPECT_EQ(current.entries[0].mask, 0xFFu);  // every one of the 8 channels
  EXPECT_EQ(Value(current, "Relay 1"), "off");
  EXPECT_EQ(Value(current, "CH 8").empty(), false);

  // Relay output 1 on: the DVR answers 0, the receiver prints the mask and the sink redraws.
  int32_t mask = kRelayOutput1;
  sink.SetMask(mask);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(Send(kBuildRelay, &mask));
  ASSERT_TRUE(Eventually([&] { return !sink.Calls().empty(); }));
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(sink.Calls(), std::vector<std::string>{"relay switched"});
  EXPECT_NE(printed.find("have socket data!type:57\nset to new state :1!\r\n"), std::string::npos)
      << printed;
  EXPECT_EQ(dvr.status().relayMask(), 1);
  ASSERT_TRUE(Send(kBuildStatusUser));
  ASSERT_TRUE(Eventually([&] { return receiver.stats().statusRecords == 2; }));
  EXPECT_EQ(CChannel::m_swdata.count, 2u);
  EXPECT_EQ(Value(CurrentPanelRecord(CChannel::m_swdata), "Relay 1"), "on");

  // A relay request the DVR cannot obey ("can't control relay").
  const uint8_t half[] = {57, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0};
  ASSERT_TRUE(SendCommand(half, sock, sizeof half, "127.0.0.1", dvr.port()));
  ASSERT_TRUE(Eventually([&] { return sink.Calls().size() == 2; }));
  EXPECT_EQ(sink.Calls().back(), "text 649");
  EXPECT_EQ(receiver.stats().dropped, 0u);
}

// Cut and garbled replies never reach the table; the table keeps its last whole record.
TEST_F(ReceiverAgainstDvrsim, TruncatedAndGarbledRepliesAreCountedNotRead) {
  SendStatusRequests(1);
  ASSERT_TRUE(Eventually([&] { return receiver.stats().statusRecords == 1; }));
  SW_SHOW_ARR_ST before;
  std::memcpy(&before, &CChannel::m_swdata, sizeof before);

  dvrsim::CommandFaults faults;
  faults.truncate = 1;
  dvr.SetFaults(faults);
  SendStatusRequests(6);
  ASSERT_TRUE(Eventually([&] { return receiver.stats().datagrams == 7; }));
  faults = {};
  faults.garble = 1;
  dvr.SetFaults(faults);
  SendStatusRequests(6);
  ASSERT_TRUE(Eventually([&] { return receiver.stats().datagrams == 13; }));
  EXPECT_EQ(receiver.stats().dropped, 12u);
  EXPECT_EQ(receiver.stats().statusRecords, 1u);
  EXPECT_EQ(std::memcmp(&before, &CChannel::m_swdata, sizeof before), 0);
  EXPECT_TRUE(sink.Calls().empty());

  // Duplicated replies are whole: both are stored, alternating the slots.
  faults = {};
  faults.duplicate = 1;
  dvr.SetFaults(faults);
  SendStatusRequests(1);
  ASSERT_TRUE(Eventually([&] { return receiver.stats().statusRecords == 3; }));
  EXPECT_EQ(CChannel::m_swdata.count, 1u);

  // Unknown codes and dropped replies bring nothing at all.
  faults = {};
  faults.drop = 1;
  dvr.SetFaults(faults);
  SendStatusRequests(2);
  const uint8_t unknown[] = {99, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(SendCommand(unknown, sock, sizeof unknown, "127.0.0.1", dvr.port()));
  ASSERT_TRUE(Eventually([&] { return dvr.stats().received == 17; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(receiver.stats().datagrams, 15u);
}

}  // namespace
