#include "tools/orvix/dvr_simulator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/net/net.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;

// A stand-in simulator: a shell script that prints what dvrsim prints.
class FakeSimulator : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvix_sim_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Script(const std::string& body) {
    fs::path path = dir_ / "dvrsim";
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
  }

  fs::path dir_;
};

TEST_F(FakeSimulator, WaitsForTheReadyLineAndStopsTheSimulator) {
  std::string program = Script(
      "echo \"args $*\" > \"$(dirname \"$0\")/args\"\n"
      "echo encoding...\n"
      "sleep 0.2\n"
      "echo dvrsim ready on port 15554\n"
      "exec sleep 30\n");
  std::string error;
  testing::internal::CaptureStdout();
  auto sim = DvrSimulator::Start(program, 0, 4, {"--audio"}, 10000, &error);
  std::string out = testing::internal::GetCapturedStdout();
  ASSERT_NE(sim, nullptr) << error;
  EXPECT_EQ(sim->port(), 15554);
  EXPECT_EQ(out, "dvrsim: encoding...\ndvrsim: dvrsim ready on port 15554\n");
  std::ifstream args(dir_ / "args");
  std::string line;
  std::getline(args, line);
  EXPECT_EQ(line, "args --port 0 --bind 127.0.0.1 --channels 4 --audio");
  EXPECT_EQ(sim->Stop(), 128 + 15);
}

TEST_F(FakeSimulator, FailuresAreTold) {
  std::string error;
  auto early =
      DvrSimulator::Start(Script("echo cannot bind >&2; exit 4\n"), 554, 4, {}, 10000, &error);
  EXPECT_EQ(early, nullptr);
  EXPECT_EQ(error, "dvrsim ended before it was ready (exit status 4)");

  auto slow = DvrSimulator::Start(Script("exec sleep 30\n"), 554, 4, {}, 300, &error);
  EXPECT_EQ(slow, nullptr);
  EXPECT_EQ(error, "dvrsim was not ready within 0 seconds");

  EXPECT_EQ(DvrSimulator::Start((dir_ / "none").string(), 554, 4, {}, 300, &error), nullptr);
  EXPECT_NE(error.find("cannot start"), std::string::npos);
}

TEST(DvrSimulatorLookup, ReadyLineAndPorts) {
  EXPECT_EQ(ReadyPort("dvrsim ready on port 554"), 554);
  EXPECT_EQ(ReadyPort("dvrsim ready on port 0"), -1);
  EXPECT_EQ(ReadyPort("dvrsim ready on port 70000"), -1);
  EXPECT_EQ(ReadyPort("dvrsim ready on port 55x"), -1);
  EXPECT_EQ(ReadyPort("dvrsim ready on port "), -1);
  EXPECT_EQ(ReadyPort("encoding channel 1"), -1);

  EXPECT_EQ(FindDvrsim("/given/dvrsim"), "/given/dvrsim");

  // A port someone holds cannot be bound; a free one can.
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(s, 1), 0);
  int length = sizeof a;
  ASSERT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&a), &length), 0);
  EXPECT_FALSE(CanBindLoopbackPort(ntohs(a.sin_port)));
  closesocket(s);
  EXPECT_TRUE(CanBindLoopbackPort(0));
}

}  // namespace
}  // namespace orvix
