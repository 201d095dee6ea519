// Plug-in pages through the host, as a person runs them: orvix --page loads nporvicam.dll for
// the page's <embed>, and the page's script drives it.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/display/png_image.h"
#include "platform/process/child_process.h"
#include "platform/registry/winreg.h"
#include "tools/orvix/cell_reader.h"
#include "tools/orvix/dvr_simulator.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using platform::process::ChildProcess;

class PluginRun : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plugin_run_test_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("ORVIX_REGISTRY_DIR", File("registry").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORVIX_REGISTRY_DIR");
    if (!HasFailure()) fs::remove_all(dir_);
  }

  // The plug-in's keys as the installer writes them.
  static void RegisterPlugin() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\MozillaPlugins\\orvicam", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string path = NPORVICAM_DIR "/nporvicam.dll";
    ASSERT_EQ(RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>(path.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "SOFTWARE\\MozillaPlugins\\orvicam\\MimeTypes\\application/nporvicam",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  // Runs orvix to its end with the plug-in's folder on the module path; the output lines.
  int Run(std::vector<std::string> args, std::vector<std::string>* lines) {
    args.insert(args.begin(), {"-c", "exec \"$0\" \"$@\" 2>&1", ORVIX_BINARY});
    std::string error;
    auto child = ChildProcess::Spawn("/bin/sh", args, &error);
    if (!child) {
      ADD_FAILURE() << error;
      return -1;
    }
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

// The page's script meets the plug-in's object and the plug-in meets the page: the "=" rule,
// "Add", "Version", "Name", the paragraph the instance appends, "foof", alerts, errors with
// their page lines, and "Start" without a number refused while the next block still runs.
TEST_F(PluginRun, PageScriptAndPluginReachEachOther) {
  std::ofstream(File("page.html"))
      << "<html><body>\n"                                       // 1
         "<embed id=\"cam\" type=\"application/nporvicam\">\n"  // 2
         "<div id=\"result\"></div><p id=\"out\"></p>\n"        // 3
         "<script>\n"                                           // 4
         "var cam = document.getElementById('cam');\n"          // 5
         "cam.Name = 'abc';\n"                                  // 6
         "var p = document.createElement('p');\n"               // 7
         "p.appendChild(document.createTextNode('sum=' + cam.Add(2, '3') + ' ' + cam.Version +\n"
         "  ' name=' + cam.Name + ' foof=' + window.foof + ' obj=' + typeof pluginobj));\n"
         "document.getElementById('out').appendChild(p);\n"                  // 10
         "alert('hello');\n"                                                 // 11
         "cam.Start(null);\n"                                                // 12
         "</script>\n"                                                       // 13
         "<script>\n"                                                        // 14
         "cam.HostAddr('10.255.255.1='); cam.Preview(0); cam.Start('4');\n"  // 15
         "var broken = ;\n"                                                  // 16
         "</script>\n"
         "</body></html>\n";
  std::vector<std::string> out;
  // Found only through the registry, as a browser finds plug-ins.
  EXPECT_NE(Run({"--display", "headless", "--dvr", "10.255.255.1", "--page", File("page.html"),
                 "--after", "0.2"},
                &out),
            0);
  EXPECT_TRUE(Has(out, "orvix: no plug-in takes application/nporvicam"));
  out.clear();
  RegisterPlugin();
  ASSERT_EQ(Run({"--display", "headless", "--dvr", "10.255.255.1", "--page", File("page.html"),
                 "--screenshot", File("grid.png"), "--after", "1"},
                &out),
            0);
  EXPECT_TRUE(Has(out, "orvix: plug-in " NPORVICAM_DIR "/nporvicam.dll for application/nporvicam"));
  EXPECT_TRUE(Has(out, "rval = 46"));
  EXPECT_TRUE(Has(out, "orvix: #result gets <p> The plug-in reached the page."));
  EXPECT_TRUE(Has(out, "orvix: #out gets <p> sum=5 Version 1.0 name=abc foof=46 obj=object"));
  EXPECT_TRUE(Has(out, "alert hello"));
  EXPECT_TRUE(Has(out, "start type:1"));
  EXPECT_TRUE(Has(out, "init lang:1"));  // "Start" with no "Lang" before it
  // A failure while a block runs is placed at the block's first line: the engine keeps no
  // line for it. A syntax error has its own line, and ends its whole block.
  EXPECT_TRUE(Has(out, "orvix: page.html:4: Error: the plug-in's Start() failed"));
  EXPECT_TRUE(Has(out, "orvix: page.html:16: SyntaxError:"));

  // The second block never ran, so no grid: the plug-in window's dark grey shows.
  std::string error;
  auto image = platform::display::ReadPng(File("grid.png"), &error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->pixels[100 * image->width + 100] & 0xFFFFFF, 0x404040u);
}

// Cell i of the 2 x 2 grid as the reader takes it: the reader skips a title strip at the top,
// which the plug-in's channels do not have.
RECT Cell(int i) {
  int x = i % 2 * 352, y = i / 2 * 288;
  return RECT{x + 2, y + 2 - kCellTitle, x + 352, y + 288};
}

// The bundled page views the simulator's four channels in a 2 x 2 grid without titles.
TEST_F(PluginRun, BundledPageViewsTheSimulator) {
  if (!CanBindLoopbackPort(554)) GTEST_SKIP() << "port 554 is taken or not ours to bind";
  RegisterPlugin();
  // After the pictures, a record search through the panel: the plug-in writes its steps to
  // the day's log beside the module.
  std::ofstream(File("input.txt")) << "4 screenshot " << File("grid.png")
                                   << "\n4.5 click 1004\n5 check 1089 on\n5.2 check 1066 on\n"
                                      "5.5 click 1095\n";
  const std::time_t now = std::time(nullptr);
  std::tm day{};
  localtime_r(&now, &day);
  char name[32];
  std::strftime(name, sizeof name, "Log_%Y%m%d.txt", &day);
  const fs::path log = fs::path(NPORVICAM_DIR) / name;
  fs::remove(log);
  std::vector<std::string> out;
  ASSERT_EQ(
      Run({"--display", "headless", "--channels", "4", "--dvrsim", ORVIX_DVRSIM_BINARY, "--page",
           ORVIX_PAGES "/plugin_viewer.html", "--input", File("input.txt"), "--after", "7"},
          &out),
      0);
  EXPECT_TRUE(Has(out, "prompt find "));
  std::ifstream in(log);
  std::vector<std::string> entries;
  for (std::string l; std::getline(in, l);) entries.push_back(l);
  EXPECT_TRUE(Has(entries, "record search: channels 0x01, types 0x1, storage 0,"));
  EXPECT_TRUE(Has(entries, "record search: query sent to 127.0.0.1"));
  EXPECT_TRUE(Has(entries, " record(s) found")) << log;
  EXPECT_TRUE(Has(out, "orvix: #result gets <p> Version 1.0, Add(2, \"3\") = 5, foof = 46"));
  EXPECT_TRUE(Has(out, "init lang:0"));  // "Lang" "en" before "Start" keeps English
  EXPECT_FALSE(Has(out, "init lang:1"));
  std::string error;
  auto grid = platform::display::ReadPng(File("grid.png"), &error);
  ASSERT_TRUE(grid) << error;
  for (int i = 0; i < 4; ++i) {
    char expect[12];
    std::snprintf(expect, sizeof expect, "%02d", i + 1);
    EXPECT_EQ(ReadCell(*grid, Cell(i), 0), expect) << "cell " << i;
  }
}

// Without preview the channels wait for the reconnect thread's next round, about 10 seconds
// after "Start": black before it, the simulator's pictures after it.
TEST_F(PluginRun, WithoutPreviewTheReconnectThreadStartsTheChannels) {
  if (!CanBindLoopbackPort(554)) GTEST_SKIP() << "port 554 is taken or not ours to bind";
  RegisterPlugin();
  std::ofstream(File("page.html"))
      << "<embed id=cam type=application/nporvicam>\n<script>\n"
         "var cam = document.getElementById('cam');\n"
         "cam.HostAddr('127.0.0.1='); cam.Lang('en'); cam.Preview(0); cam.Start(4);\n"
         "</script>\n";
  std::ofstream(File("input.txt"))
      << "8 screenshot " << File("before.png") << "\n13 screenshot " << File("after.png") << "\n";
  std::vector<std::string> out;
  ASSERT_EQ(Run({"--display", "headless", "--channels", "4", "--dvrsim", ORVIX_DVRSIM_BINARY,
                 "--page", File("page.html"), "--input", File("input.txt"), "--after", "13.5"},
                &out),
            0);
  std::string error;
  auto before = platform::display::ReadPng(File("before.png"), &error);
  auto after = platform::display::ReadPng(File("after.png"), &error);
  ASSERT_TRUE(before && after) << error;
  for (int i = 0; i < 4; ++i) {
    char expect[12];
    std::snprintf(expect, sizeof expect, "%02d", i + 1);
    EXPECT_EQ(ReadCell(*before, Cell(i), 0), "") << "cell " << i;
    EXPECT_EQ(ReadCell(*after, Cell(i), 0), expect) << "cell " << i;
  }
}

}  // namespace
}  // namespace orvix
