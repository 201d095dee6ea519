// The real deliverable through the host: OrviX.ocx registered with regsvr32, a page that names
// its class, and the control loaded from the registry viewing the simulator; an unregistered
// control and an unsafe one are refused with a line saying why.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/display/png_image.h"
#include "platform/process/child_process.h"
#include "tools/orvix/cell_reader.h"

namespace {

namespace fs = std::filesystem;
using platform::process::ChildProcess;

class ActiveXRun : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvix-activex-run-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("ORVIX_REGISTRY_DIR", (dir_ + "/registry").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORVIX_REGISTRY_DIR");
    if (!HasFailure()) fs::remove_all(dir_);  // a failed case keeps its screenshot
  }

  // Runs to the end with standard error joined to the output; gives the exit status.
  int Run(const std::string& program, std::vector<std::string> args, std::string* out) {
    args.insert(args.begin(), {"-c", "exec \"$0\" \"$@\" 2>&1", program});
    std::string error;
    auto child = ChildProcess::Spawn("/bin/sh", args, &error);
    if (!child) {
      ADD_FAILURE() << error;
      return -1;
    }
    std::string line;
    while (child->ReadLine(&line, 30000)) *out += line + "\n";
    return child->Wait(30000);
  }

  std::string Page(const std::string& classid) {
    const std::string path = dir_ + "/page-" + classid.substr(0, 8) + ".html";
    std::ofstream(path) << "<html><body><object classid=\"clsid:" << classid
                        << "\" width=874 height=576><param name=DvrChnNum value=4>"
                           "<param name=Preview value=1><param name=DefChShow value=-1>"
                           "</object></body></html>";
    return path;
  }

  std::string dir_;
};

constexpr char kControl[] = "E30E886F-1176-4F02-A0E0-387B2027076F";
constexpr char kUnsafe[] = "5E1B0A11-7C2D-4E8F-9A3B-1D2C3E4F5A6B";  // the COM test server

TEST_F(ActiveXRun, ARegisteredControlViewsTheSimulatorAndOthersAreRefused) {
  std::string out;
  EXPECT_EQ(
      Run(ORVIX_BINARY,
          {"--display", "headless", "--dvr", "127.0.0.2", "--page", Page(kControl), "--after", "1"},
          &out),
      1);
  EXPECT_NE(out.find("is not registered; register it with \"regsvr32 OrviX.ocx\""),
            std::string::npos)
      << out;

  out.clear();
  ASSERT_EQ(Run(REGSVR32_BINARY, {"/s", COM_TEST_SERVER}, &out), 0) << out;
  EXPECT_EQ(
      Run(ORVIX_BINARY,
          {"--display", "headless", "--dvr", "127.0.0.2", "--page", Page(kUnsafe), "--after", "1"},
          &out),
      1);
  EXPECT_NE(out.find("orvix: the control is not safe for untrusted callers and data; it is not "
                     "loaded"),
            std::string::npos)
      << out;

  out.clear();
  ASSERT_EQ(Run(REGSVR32_BINARY, {"/s", ORVIX_OCX}, &out), 0) << out;
  const std::string shot = dir_ + "/grid.png";
  std::ofstream(dir_ + "/input.txt") << "3.5 screenshot " << shot << "\n";
  out.clear();
  ASSERT_EQ(Run(ORVIX_BINARY,
                {"--display", "headless", "--dvrsim", ORVIX_DVRSIM_BINARY, "--page", Page(kControl),
                 "--input", dir_ + "/input.txt", "--after", "4"},
                &out),
            0)
      << out;
  EXPECT_NE(out.find("orvix: activex viewer of 127.0.0.1"), std::string::npos) << out;
  EXPECT_NE(out.find("get lang:"), std::string::npos);             // the params reached the control
  EXPECT_NE(out.find("COrviXCtrl----------"), std::string::npos);  // and its window went
  std::string error;
  auto image = platform::display::ReadPng(shot, &error);
  ASSERT_TRUE(image) << error;
  for (int i = 0; i < 4; ++i) {
    const int x = i % 2 * 352, y = i / 2 * 288;
    char expect[12];
    std::snprintf(expect, sizeof expect, "%02d", i + 1);
    EXPECT_EQ(orvix::ReadCell(*image, RECT{x + 2, y + 2, x + 352, y + 288}, 0), expect) << i;
  }
}

}  // namespace
