// The real program, run as a person would run it, on the headless display.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/display/png_image.h"
#include "platform/net/net.h"
#include "platform/process/child_process.h"
#include "tools/orvix/placeholder_viewer.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using platform::process::ChildProcess;

class OrvixRun : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvix_run_test_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(std::hash<std::string>{}(fs::current_path().string())));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  // Starts orvix with its standard error joined to the output.
  std::unique_ptr<ChildProcess> Start(std::vector<std::string> args) {
    args.insert(args.begin(), {"-c", "exec \"$0\" \"$@\" 2>&1", ORVIX_BINARY});
    std::string error;
    auto child = ChildProcess::Spawn("/bin/sh", args, &error);
    EXPECT_NE(child, nullptr) << error;
    return child;
  }

  // Runs to the end; gives the exit status and the output lines.
  int Run(std::vector<std::string> args, std::vector<std::string>* lines) {
    auto child = Start(std::move(args));
    if (!child) return -1;
    std::string line;
    while (child->ReadLine(&line, 30000)) lines->push_back(line);
    return child->Wait(30000);
  }

  static bool Has(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& l : lines) {
      if (l.find(text) != std::string::npos) return true;
    }
    return false;
  }

  fs::path dir_;
};

TEST_F(OrvixRun, HelpAndOneLineErrors) {
  std::vector<std::string> out;
  EXPECT_EQ(Run({"--help"}, &out), 0);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[0], "Usage: orvix [options]");

  out.clear();
  EXPECT_EQ(Run({"--channels", "12", "--display", "headless"}, &out), 2);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], "orvix: --channels needs a whole number from 1 to 8, got \"12\" (try --help)");

  std::ofstream(File("bad.txt")) << "0.5 move 1 1\n1 wiggle 3 4\n";
  out.clear();
  EXPECT_EQ(Run({"--input", File("bad.txt")}, &out), 2);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].rfind("orvix: " + File("bad.txt") + ":2: unknown action", 0), 0u) << out[0];

  out.clear();
  EXPECT_EQ(Run({"--page", File("missing.html")}, &out), 2);
  ASSERT_EQ(out.size(), 1u);
}

TEST_F(OrvixRun, HeadlessScreenshotShowsTheGridBesideThePanelStrip) {
  std::ofstream(File("page.html"))
      << "<html><body><object id=v><param name=DvrAddr value=127.0.0.1>"
         "<param name=DvrChnNum value=4><param name=DefChShow value=-1></object></body></html>";
  std::vector<std::string> out;
  ASSERT_EQ(Run({"--display", "headless", "--page", File("page.html"), "--screenshot",
                 File("shot.png"), "--after", "1"},
                &out),
            0);
  EXPECT_TRUE(Has(out, "get lang:"));  // the viewer read its settings
  EXPECT_TRUE(Has(out, "orvix: screenshot " + File("shot.png")));
  std::string error;
  auto image = platform::display::ReadPng(File("shot.png"), &error);
  ASSERT_TRUE(image) << error;
  ASSERT_EQ(image->width, 874);
  ASSERT_EQ(image->height, 576);
  auto at = [&](int x, int y) { return image->pixels[static_cast<size_t>(y) * 874 + x]; };
  // 2 x 2 cells of 352 x 288 from (2, 2); the strip from 704 to the right edge.
  EXPECT_EQ(at(0, 0), kPlaceholderBackground);
  EXPECT_EQ(at(2, 2), kPlaceholderCellFrame);
  EXPECT_EQ(at(100, 100), kPlaceholderCell);
  EXPECT_EQ(at(500, 400), kPlaceholderCell);
  EXPECT_EQ(at(351, 100), kPlaceholderCellFrame);
  EXPECT_EQ(at(353, 100), kPlaceholderBackground);  // the 2-pixel gap
  EXPECT_EQ(at(354, 100), kPlaceholderCellFrame);
  EXPECT_EQ(at(703, 500), kPlaceholderCellFrame);
  EXPECT_EQ(at(704, 10), kPlaceholderPanel);
  EXPECT_EQ(at(873, 575), kPlaceholderPanel);
}

TEST_F(OrvixRun, ScriptedInputScreenshotsAndTheEnd) {
  std::ofstream(File("input.txt")) << "0.1 move 10 10\n0.2 dblclick 100 100\n0.3 rclick 5 5\n"
                                      "0.4 screenshot "
                                   << File("early.png") << "\n";
  std::vector<std::string> out;
  ASSERT_EQ(Run({"--display", "headless", "--dvr", "127.0.0.1", "--channels", "9", "--size",
                 "640x480", "--input", File("input.txt"), "--answer", "ok", "--after", "0.8"},
                &out),
            2);  // more channels than the eight session slots are refused up front
  out.clear();
  ASSERT_EQ(Run({"--display", "headless", "--dvr", "127.0.0.1", "--channels", "8", "--size",
                 "640x480", "--input", File("input.txt"), "--answer", "ok", "--after", "0.8"},
                &out),
            0);
  std::string error;
  auto image = platform::display::ReadPng(File("early.png"), &error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->width, 640);
  // A 3 x 3 grid in 470 pixels: cells 156 wide; the strip from 470.
  EXPECT_EQ(image->pixels[100 * 640 + 100], kPlaceholderCell);
  EXPECT_EQ(image->pixels[100 * 640 + 500], kPlaceholderPanel);
}

TEST_F(OrvixRun, TerminationRequestEndsTheRunCleanly) {
  auto child = Start({"--display", "headless", "--dvr", "127.0.0.1"});
  ASSERT_NE(child, nullptr);
  std::string line;
  bool shown = false;
  while (!shown && child->ReadLine(&line, 10000)) {
    shown =
        line.find("placeholder viewer of 127.0.0.1 on the headless display") != std::string::npos;
  }
  ASSERT_TRUE(shown);
  EXPECT_EQ(child->Terminate(10000), 0);
}

TEST_F(OrvixRun, StartsTheSimulatorWithoutADvrAndStopsItAtTheEnd) {
  fs::path sim = dir_ / "dvrsim";
  std::ofstream(sim) << "#!/bin/sh\necho $$ > \"$(dirname \"$0\")/pid\"\necho \"args $*\"\n"
                        "echo dvrsim ready on port 15554\nexec sleep 30\n";
  fs::permissions(sim, fs::perms::owner_all);
  std::vector<std::string> out;
  ASSERT_EQ(
      Run({"--display", "headless", "--dvrsim", sim.string(), "--channels", "2", "--after", "0.5"},
          &out),
      0);
  EXPECT_TRUE(Has(out, "--bind 127.0.0.1 --channels 2"));
  EXPECT_TRUE(Has(out, "placeholder viewer of 127.0.0.1"));
  std::string pid;
  std::ifstream(dir_ / "pid") >> pid;
  ASSERT_FALSE(pid.empty());
  std::string error;
  auto probe = ChildProcess::Spawn("/bin/sh", {"-c", "kill -0 " + pid + " 2>/dev/null"}, &error);
  ASSERT_NE(probe, nullptr) << error;
  EXPECT_NE(probe->Wait(5000), 0);  // the simulator is gone
}

TEST_F(OrvixRun, TheRealSimulatorOnATakenPortFallsBackToAFreeOne) {
#ifndef ORVIX_DVRSIM_BINARY
  GTEST_SKIP() << "dvrsim is not part of this build";
#else
  // Hold 554 where we may, so that the run has to move elsewhere.
  SOCKET holder = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(554);
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  bool holding =
      bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(holder, 1) == 0;
  std::vector<std::string> out;
  EXPECT_EQ(Run({"--display", "headless", "--dvrsim", ORVIX_DVRSIM_BINARY, "--channels", "2",
                 "--after", "1"},
                &out),
            0);
  closesocket(holder);
  EXPECT_TRUE(Has(out, "dvrsim: dvrsim ready on port "));
  if (holding) {
    EXPECT_TRUE(Has(out, "dvrsim takes a free port instead"));
    EXPECT_FALSE(Has(out, "dvrsim ready on port 554"));
  }
  EXPECT_TRUE(Has(out, "placeholder viewer of 127.0.0.1"));
#endif
}

}  // namespace
}  // namespace orvix
