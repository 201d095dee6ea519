// The console: its commands, and a channel taken away and given back on a live server.
#include "tools/dvrsim/console.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "tools/dvrsim/media.h"
#include "tools/dvrsim/rtsp_server.h"
#include "tools/dvrsim/test_client.h"

namespace dvrsim {
namespace {

TEST(DvrsimConsole, ReadsStopStartAndRefusesBadLines) {
  std::string error;
  auto stop = ParseConsoleLine("  stop 2 ", 4, &error);
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->kind, ConsoleCommand::kStop);
  EXPECT_EQ(stop->channel, 2);
  auto start = ParseConsoleLine("start 4", 4, &error);
  ASSERT_TRUE(start);
  EXPECT_EQ(start->kind, ConsoleCommand::kStart);
  EXPECT_FALSE(ParseConsoleLine("", 4, &error));
  EXPECT_TRUE(error.empty());
  for (const char* bad : {"stop 5", "stop 0", "stop 2x", "stop", "stop 1 2", "halt 1"}) {
    EXPECT_FALSE(ParseConsoleLine(bad, 4, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_EQ(error, "unknown command \"halt 1\" (stop N, start N, help)");
}

TEST(DvrsimConsole, StoppedChannelIsClosedAndRefusedUntilStartedAgain) {
  Options o;
  o.port = 0;
  o.channels = 2;
  o.loopFrames = 25;
  RtspServer server(o, EncodeChannels(352, 288, 2, 25));
  server.Start();
  test::LiveSession one, two;
  ASSERT_EQ(one.Open(server.port(), 1), "");
  ASSERT_EQ(two.Open(server.port(), 2), "");

  std::ostringstream log;
  ApplyConsoleLine("stop 1", server, 2, log);
  EXPECT_EQ(log.str(), "dvrsim: channel 1 stopped\n");
  EXPECT_TRUE(one.rtsp.WaitClosed(2000));
  EXPECT_FALSE(two.video.Receive(300).empty());  // the other channel goes on
  test::LiveSession refused;
  EXPECT_NE(refused.Open(server.port(), 1), "");

  ApplyConsoleLine("start 1", server, 2, log);
  test::LiveSession again;
  ASSERT_EQ(again.Open(server.port(), 1), "");
  EXPECT_FALSE(again.video.Receive(300).empty());
}

TEST(DvrsimConsole, ReaderHandsOverEveryLineOnce) {
  static std::istringstream in("stop 1\nstart 1\n");  // the reader may outlive the test
  ConsoleReader reader(in);
  std::vector<std::string> lines;
  for (int i = 0; i < 100 && lines.size() < 2; ++i) {
    for (auto& line : reader.TakeLines()) lines.push_back(line);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"stop 1", "start 1"}));
  EXPECT_TRUE(reader.TakeLines().empty());
}

}  // namespace
}  // namespace dvrsim
