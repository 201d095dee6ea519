// The simulator's command side against a client of the tests' own: raw datagrams over
// loopback, read with nothing of the viewer's.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <thread>

#include "tools/dvrsim/command_side.h"
#include "tools/dvrsim/net_util.h"
#include "tools/dvrsim/relay_lamps.h"
#include "tools/dvrsim/rtsp_server.h"
#include "tools/dvrsim/test_client.h"

namespace dvrsim {
namespace {

uint32_t Loopback() { return htonl(0x7F000001); }

std::vector<uint8_t> Words(std::initializer_list<int32_t> words) {
  std::vector<uint8_t> out;
  for (int32_t w : words) {
    for (int i = 0; i < 4; ++i)
      out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(w) >> 8 * i));
  }
  return out;
}

int32_t WordAt(const std::vector<uint8_t>& d, size_t offset) {
  int32_t v;
  std::memcpy(&v, d.data() + offset, 4);
  return v;
}

std::string TextAt(const std::vector<uint8_t>& d, size_t offset, size_t width) {
  std::string s(reinterpret_cast<const char*>(d.data() + offset), width);
  return s.substr(0, s.find('\0'));
}

// The entries of a panel record as label -> (value, mask).
std::map<std::string, std::pair<std::string, uint32_t>> Entries(const std::vector<uint8_t>& rec,
                                                                size_t at = 0) {
  std::map<std::string, std::pair<std::string, uint32_t>> out;
  for (int i = 0; i < kPanelEntries; ++i) {
    size_t e = at + i * kPanelEntryBytes;
    std::string label = TextAt(rec, e, kPanelLabelBytes);
    if (!label.empty()) {
      out[label] = {TextAt(rec, e + kPanelLabelBytes, kPanelValueBytes),
                    static_cast<uint32_t>(WordAt(rec, e + 60))};
    }
  }
  return out;
}

struct Client {
  Client() { sock = BindUdp(Loopback(), &port); }
  ~Client() { closesocket(sock); }
  void Send(const std::vector<uint8_t>& d, int to) {
    sockaddr_in a = MakeAddress(Loopback(), to);
    sendto(sock, reinterpret_cast<const char*>(d.data()), static_cast<int>(d.size()), 0,
           reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  void Command(int to, int32_t code, const std::vector<uint8_t>& payload) {
    auto d = Words({code, 1, 1, 1, static_cast<int32_t>(payload.size())});
    d.insert(d.end(), payload.begin(), payload.end());
    Send(d, to);
  }
  // Every datagram arriving within `ms`.
  std::vector<std::vector<uint8_t>> Receive(int ms) {
    std::vector<std::vector<uint8_t>> got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (true) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      end - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0 || WaitReadable(&sock, 1, static_cast<int>(left)) == 0) break;
      std::vector<uint8_t> b(70000);
      int n = recv(sock, reinterpret_cast<char*>(b.data()), static_cast<int>(b.size()), 0);
      if (n < 0) break;
      b.resize(static_cast<size_t>(n));
      got.push_back(std::move(b));
    }
    return got;
  }
  SOCKET sock = INVALID_SOCKET;
  int port = 0;
};

struct Commands {
  explicit Commands(CommandFaults faults = {})
      : server("127.0.0.1", 0, 4, faults, 7, [](const std::string&) {}) {
    server.Start();
  }
  CommandServer server;
  int port() const { return server.port(); }
};

TEST(DvrsimCommands, StatusRecordRelayAndSilenceForEverythingElse) {
  Commands c;
  Client client;
  client.Command(c.port(), kStatusCommand, {1});
  auto got = client.Receive(300);
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].size(), 20u + kPanelRecordBytes);
  EXPECT_EQ(std::vector<uint8_t>(got[0].begin(), got[0].begin() + 20),
            Words({54, 1, 1, 1, kPanelRecordBytes}));
  auto entries = Entries(got[0], 20);
  EXPECT_EQ(entries["Time"].first.size(), 19u);
  EXPECT_EQ(entries["Time"].second, 0xFu);  // every one of the 4 channels
  EXPECT_EQ(entries["Relay 1"], std::make_pair(std::string("off"), 1u));
  EXPECT_EQ(entries["CH 3"].second, 4u);
  EXPECT_EQ(entries.count("CH 5"), 0u);

  // Relay: output 1 and 2 on; the next record says so, in its entries and its last word.
  client.Command(c.port(), kRelayCommand, Words({3}));
  got = client.Receive(300);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], Words({57, 1, 1, 1, 4, 0}));
  EXPECT_EQ(c.server.status().relayMask(), 3);
  client.Command(c.port(), kStatusCommand, {2});
  got = client.Receive(300);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(Entries(got[0], 20)["Relay 2"].first, "on");
  EXPECT_EQ(WordAt(got[0], 20 + kPanelWordsOffset + 32), 3);
  // A relay request without a whole mask cannot be obeyed.
  client.Command(c.port(), kRelayCommand, {1, 0});
  got = client.Receive(300);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(WordAt(got[0], 20), 1);
  EXPECT_EQ(c.server.status().relayMask(), 3);

  // Unknown codes, datagrams shorter than a header and lengths past the end: no answer.
  client.Command(c.port(), 99, {});
  client.Send({54, 0, 0, 0, 1, 0, 0, 0}, c.port());
  auto lying = Words({54, 1, 1, 1, 5});
  lying.push_back(1);
  client.Send(lying, c.port());
  EXPECT_TRUE(client.Receive(300).empty());
  EXPECT_EQ(c.server.stats().refused, 2u);
}

TEST(DvrsimCommands, PanelRecordChangesOverTime) {
  DeviceStatus status(2, DeviceStatus::Clock::time_point(std::chrono::seconds(1000000)));
  auto t0 = DeviceStatus::Clock::time_point(std::chrono::seconds(1000000 + 5));
  auto a = Entries(status.PanelRecord(t0));
  auto b = Entries(status.PanelRecord(t0 + std::chrono::seconds(125)));
  EXPECT_EQ(a["Uptime"].first, "0:00:05");
  EXPECT_EQ(b["Uptime"].first, "0:02:10");
  EXPECT_EQ(a["Disk used"].first, "372/1000 GB");
  EXPECT_EQ(b["Disk used"].first, "374/1000 GB");
  EXPECT_NE(a["Time"].first, b["Time"].first);
  // Every channel sees motion a quarter of the time, and its state changes.
  std::set<std::string> states;
  for (int s = 0; s < 40; s += 10) {
    states.insert(Entries(status.PanelRecord(t0 + std::chrono::seconds(s)))["CH 1"].first);
  }
  EXPECT_EQ(states, (std::set<std::string>{"idle", "motion"}));
}

// Each fault switch on its own, through the options' faults and the console.
TEST(DvrsimCommands, FaultSwitchesOnReplies) {
  Commands c;
  Client client;
  std::ostringstream log;
  auto status = [&](int ms) {
    client.Command(c.port(), kStatusCommand, {1});
    return client.Receive(ms);
  };
  ASSERT_TRUE(ApplyCommandConsoleLine("cmd drop 1", &c.server, log));
  EXPECT_TRUE(status(300).empty());
  ASSERT_TRUE(ApplyCommandConsoleLine("cmd off", &c.server, log));
  ASSERT_TRUE(ApplyCommandConsoleLine("cmd duplicate 1", &c.server, log));
  auto got = status(300);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], got[1]);
  ApplyCommandConsoleLine("cmd off", &c.server, log);
  ApplyCommandConsoleLine("cmd truncate 1", &c.server, log);
  for (int i = 0; i < 3; ++i) {
    got = status(300);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_LT(got[0].size(), 20u + kPanelRecordBytes);
  }
  ApplyCommandConsoleLine("cmd off", &c.server, log);
  ApplyCommandConsoleLine("cmd garble 1", &c.server, log);
  for (int i = 0; i < 3; ++i) {
    got = status(300);
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].size(), 20u + kPanelRecordBytes);
    int32_t length = WordAt(got[0], 16);
    EXPECT_TRUE(length < 0 || length > kPanelRecordBytes) << length;
  }
  ApplyCommandConsoleLine("cmd off", &c.server, log);
  ApplyCommandConsoleLine("cmd delay 400", &c.server, log);
  client.Command(c.port(), kStatusCommand, {1});
  EXPECT_TRUE(client.Receive(150).empty());
  EXPECT_EQ(client.Receive(2000).size(), 1u);

  std::string text = log.str();
  EXPECT_NE(text.find("dvrsim: command replies: drop 1, delay 0 ms"), std::string::npos) << text;
  EXPECT_NE(text.find("delay 400 ms"), std::string::npos) << text;
  log.str("");
  EXPECT_FALSE(ApplyCommandConsoleLine("stop 1", &c.server, log));
  EXPECT_TRUE(ApplyCommandConsoleLine("cmd drop 2", &c.server, log));
  EXPECT_TRUE(ApplyCommandConsoleLine("cmd shake 1", &c.server, log));
  EXPECT_TRUE(ApplyCommandConsoleLine("cmd drop 1", nullptr, log));
  EXPECT_EQ(log.str(),
            "dvrsim: --cmd-drop needs a number from 0 to 1, got \"2\"\n"
            "dvrsim: unknown command \"cmd shake 1\" (cmd drop|duplicate|truncate|garble F, "
            "cmd delay MS, cmd off)\n"
            "dvrsim: the command side is not running\n");
  EXPECT_EQ(c.server.faults().delayMs, 400);
}

TEST(DvrsimCommands, OptionsOfTheCommandSide) {
  std::string args[] = {"dvrsim", "--cmd-drop", "0.5", "--cmd-delay=20", "--command-port",
                        "0",      "--camera",   "2",   "--camera=7"};
  char* argv[9];
  for (int i = 0; i < 9; ++i) argv[i] = args[i].data();
  Options o = ParseOptions(9, argv);
  EXPECT_EQ(o.commands.faults.drop, 0.5);
  EXPECT_EQ(o.commands.faults.delayMs, 20);
  EXPECT_EQ(o.commands.port, 0);
  EXPECT_EQ(o.commands.liveCameras, (std::set<int>{2, 7}));
  for (const char* option : {"--cmd-garble", "--camera"}) {
    for (const char* value : {"x", "9"}) {
      std::string bad[] = {"dvrsim", option, value};
      char* badv[3] = {bad[0].data(), bad[1].data(), bad[2].data()};
      EXPECT_THROW(ParseOptions(3, badv), std::invalid_argument) << option << " " << value;
    }
  }
}

// The relay outputs show in channel 1's picture from the next key frame on.
TEST(DvrsimCommands, RelayLampsInChannelOnesPicture) {
  Options o;
  o.port = 0;
  o.channels = 1;
  o.loopFrames = 25;
  auto loops = EncodeChannels(352, 288, 1, 25);
  std::ostringstream err;
  auto side = StartCommandSide(o, loops, err);
  ASSERT_NE(side, nullptr);
  EXPECT_NE(err.str().find("commands on UDP port " + std::to_string(side->port())),
            std::string::npos);
  RtspServer server(o, loops);
  server.Start();
  test::LiveSession live;
  ASSERT_EQ(live.Open(server.port(), 1), "");
  Client client;
  std::thread relay([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    client.Command(side->port(), kRelayCommand, Words({2}));
  });
  auto packets = live.video.Receive(2600);
  relay.join();
  auto seen = test::DecodeAndRead(test::Depacketize(packets, nullptr), 352, 288);
  ASSERT_GE(seen.size(), 50u);
  EXPECT_EQ(seen.front().relay, 0);
  EXPECT_EQ(seen.back().relay, 2);
  size_t switched = 0;
  while (switched < seen.size() && seen[switched].relay == 0) ++switched;
  EXPECT_EQ(switched % 25, 0u);  // at a key frame
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].relay, i < switched ? 0 : 2) << i;
    EXPECT_EQ(seen[i].channel, "01") << i;
  }
  Picture plain = DrawTestPicture(352, 288, 1, 0);
  EXPECT_EQ(ReadRelayLamps(plain.y.data(), 352, 352), -1);
  // The digit box (up to x = 208) stays the only dark area: readers of a scaled picture find it
  // so.
  for (int mask = 0; mask < 4; ++mask) {
    Picture lamps = DrawTestPicture(352, 288, 1, 0);
    DrawRelayLamps(lamps, mask);
    EXPECT_EQ(ReadRelayLamps(lamps.y.data(), 352, 352), mask);
    int darkOutsideTheDigits = 0;
    for (int y = 0; y < 288; ++y) {
      for (int x = 240; x < 352; ++x) darkOutsideTheDigits += lamps.y[y * 352 + x] < 35;
    }
    EXPECT_EQ(darkOutsideTheDigits, 0) << mask;
  }
}

}  // namespace
}  // namespace dvrsim
