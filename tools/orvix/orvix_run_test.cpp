// The real program, run as a person would run it, on the headless display.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <thread>

#include "platform/display/png_image.h"
#include "platform/kernel/win_types.h"
#include "platform/net/net.h"
#include "platform/process/child_process.h"
#include "tools/dvrsim/picture.h"
#include "tools/orvix/cell_reader.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using platform::display::XrgbImage;
using platform::process::ChildProcess;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kFocusGreen = 0x00FF00;
constexpr int kTitle = kCellTitle;

// Whether every pixel of the picture part of `cell` is black.
bool CellBlack(const XrgbImage& image, RECT cell) {
  for (int y = cell.top + kTitle + 4; y < cell.bottom - 4; y += 3) {
    for (int x = cell.left + 4; x < cell.right - 4; x += 3) {
      if (image.pixels[static_cast<size_t>(y) * image.width + x] != kBlack) return false;
    }
  }
  return true;
}

uint32_t At(const XrgbImage& image, int x, int y) {
  return image.pixels[static_cast<size_t>(y) * image.width + x] & 0xFFFFFF;
}

double MeanLuma(const XrgbImage& image, RECT r) {
  double sum = 0;
  int n = 0;
  for (int y = r.top; y < r.bottom; y += 2) {
    for (int x = r.left; x < r.right; x += 2, ++n) sum += Luma(At(image, x, y));
  }
  return n ? sum / n : 0;
}

// The control panel in the strip from `left`: the dialogs' dark background at its foot, and
// the PTZ "up" button at the top.
bool PanelInStrip(const XrgbImage& image, int left) {
  constexpr uint32_t kPanelBackground = 0x203040;  // RGB(32, 48, 64)
  return At(image, left + 4, image.height - 4) == kPanelBackground &&
         At(image, left + 160, image.height / 2) == kPanelBackground &&
         At(image, left + 86, 23) != kPanelBackground;
}

// Whether the DVR's information panel record is drawn over the picture of `cell` (a cell of
// the 2 x 2 grid): its half-transparent box darkens the picture below the upper right corner,
// down to about 185 pixels for channel 1's six rows.
bool InfoBox(const XrgbImage& image, RECT cell) {
  double box =
      MeanLuma(image, RECT{cell.left + 248, cell.top + 73, cell.left + 298, cell.top + 138});
  double below =
      MeanLuma(image, RECT{cell.left + 248, cell.top + 200, cell.left + 298, cell.top + 256});
  return box < 0.65 * below;
}

// The relay lamps dvrsim draws in the upper right corner of channel 1's picture (cell 0 of
// the 874 x 576 grid): lit ones are bright red.
int Lamps(const XrgbImage& image) {
  auto lit = [&](int x) { return (At(image, x, 49) >> 16) > 200; };
  return (lit(289) ? 1 : 0) | (lit(319) ? 2 : 0);
}

// Whether two screenshots show the same picture in `cell`.
bool SameCell(const XrgbImage& a, const XrgbImage& b, RECT cell) {
  for (int y = cell.top + kTitle; y < cell.bottom; ++y) {
    for (int x = cell.left; x < cell.right; ++x) {
      if (At(a, x, y) != At(b, x, y)) return false;
    }
  }
  return true;
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& text, size_t from = 0) {
  for (size_t i = from; i < lines.size(); ++i) {
    if (lines[i].find(text) != std::string::npos) return i;
  }
  return lines.size();
}

int CountOf(const std::vector<std::string>& lines, const std::string& text) {
  int n = 0;
  for (const auto& l : lines) n += l.find(text) != std::string::npos ? 1 : 0;
  return n;
}

std::optional<XrgbImage> Png(const std::string& path) {
  std::string error;
  auto image = platform::display::ReadPng(path, &error);
  EXPECT_TRUE(image) << error;
  return image;
}

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
  // A failed case leaves its screenshots and files for a look.
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  // Starts orvix with its standard error joined to the output.
  // `env`: "NAME=value " settings in front of it.
  std::unique_ptr<ChildProcess> Start(std::vector<std::string> args, const std::string& env = "") {
    args.insert(args.begin(), {"-c", env + "exec \"$0\" \"$@\" 2>&1", ORVIX_BINARY});
    std::string error;
    auto child = ChildProcess::Spawn("/bin/sh", args, &error);
    EXPECT_NE(child, nullptr) << error;
    return child;
  }

  // Runs to the end; gives the exit status and the output lines.
  int Run(std::vector<std::string> args, std::vector<std::string>* lines,
          const std::string& env = "") {
    auto child = Start(std::move(args), env);
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

  // An action on a control no dialog has fails the run, saying so in one line.
  std::ofstream(File("control.txt")) << "0.5 click 4242\n";
  out.clear();
  // No simulator for this one (127.0.0.2 has no DVR): the run needs none to fail.
  EXPECT_EQ(Run({"--display", "headless", "--dvr", "127.0.0.2", "--input", File("control.txt"),
                 "--after", "5"},
                &out),
            1);
  EXPECT_TRUE(Has(out, "orvix: input line 1: no control 4242 in the top dialog"));
}

// The cell of channel i in a 2 x 2 grid of the default 874 x 576 desktop.
RECT Cell(int i) {
  int x = i % 2 * 352, y = i / 2 * 288;
  return RECT{x + 2, y + 2, x + 352, y + 288};
}

TEST_F(OrvixRun, FourLiveChannelsInTheGridBesideThePanel) {
  std::ofstream(File("page.html"))
      << "<html><body><object id=v><param name=DvrChnNum value=4>"
         "<param name=Preview value=1><param name=DefChShow value=-1></object></body></html>";
  std::ofstream(File("input.txt"))
      << "3.5 screenshot " << File("grid.png") << "\n3.6 dblclick 500 150\n5 screenshot "
      << File("large.png") << "\n";
  std::vector<std::string> out;
  ASSERT_EQ(Run({"--display", "headless", "--page", File("page.html"), "--input", File("input.txt"),
                 "--after", "5.2"},
                &out),
            0);
  EXPECT_TRUE(Has(out, "get lang:"));  // the viewer read its settings
  auto grid = Png(File("grid.png"));
  ASSERT_TRUE(grid);
  ASSERT_EQ(grid->width, 874);
  ASSERT_EQ(grid->height, 576);
  for (int i = 0; i < 4; ++i) {
    char expect[12];
    std::snprintf(expect, sizeof expect, "%02d", i + 1);
    EXPECT_EQ(ReadCell(*grid, Cell(i), 0), expect) << "cell " << i;
    EXPECT_EQ(ReadCell(*grid, Cell(i), 1).size(), 4u) << "cell " << i;  // a frame counter
  }
  EXPECT_EQ(grid->pixels[2 * 874 + 2], kFocusGreen);  // channel 1 is the current one
  EXPECT_TRUE(PanelInStrip(*grid, 704));

  // The double click made channel 2 current and gave it the whole video area.
  auto large = Png(File("large.png"));
  ASSERT_TRUE(large);
  RECT whole{2, 2, 704, 576};
  EXPECT_EQ(ReadCell(*large, RECT{whole.left + 2, whole.top, whole.right - 2, whole.bottom - 2}, 0),
            "02");
  EXPECT_TRUE(PanelInStrip(*large, 704));
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
                 "640x480", "--default-channel", "-1", "--input", File("input.txt"), "--answer",
                 "ok", "--after", "0.8"},
                &out),
            0);
  auto image = Png(File("early.png"));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 640);
  // The double click gave channel 1 the whole video area left of the strip from 470 (a 3 x 3
  // grid of cells 156 wide): its title strip across the top, its focus frame at the right.
  EXPECT_NE(image->pixels[10 * 640 + 400], kBlack);
  EXPECT_EQ(image->pixels[300 * 640 + 467], kFocusGreen);
  EXPECT_TRUE(PanelInStrip(*image, 470));
}

TEST_F(OrvixRun, TerminationRequestEndsTheRunCleanly) {
  auto child = Start({"--display", "headless", "--dvr", "127.0.0.1"});
  ASSERT_NE(child, nullptr);
  std::string line;
  bool shown = false;
  while (!shown && child->ReadLine(&line, 10000)) {
    shown = line.find("control viewer of 127.0.0.1 on the headless display") != std::string::npos;
  }
  ASSERT_TRUE(shown);
  EXPECT_EQ(child->Terminate(10000), 0);
}

// The capture directory and "config.txt" live beside the video library: a copy of it in the
// test's directory keeps them there.
TEST_F(OrvixRun, SnapshotConfigAndAChannelKilledAndBroughtBack) {
#ifndef ORVIX_DVRSIM_BINARY
  GTEST_SKIP() << "dvrsim is not part of this build";
#else
  fs::copy_file(ORVIX_VIDEO_LIBRARY, dir_ / fs::path(ORVIX_VIDEO_LIBRARY).filename());
  std::string env = "LD_LIBRARY_PATH=" + dir_.string() + " ";
  std::string shots = File("shots") + "/";
  std::vector<std::string> out;
  ASSERT_EQ(
      Run({"--display", "headless", "--dvr", "127.0.0.1", "--capture-dir", shots, "--after", "0.2"},
          &out, env),
      0);
  std::ifstream config(File("config.txt"), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(config)), {});
  EXPECT_EQ(text, "play_back_rec_cap_dir:" + shots);

  // dvrsim's console is a file the test appends to.
  fs::path sim = dir_ / "dvrsim";
  std::ofstream(File("console")).close();
  std::ofstream(sim) << "#!/bin/sh\ntail -s 0.1 -f \"" << File("console") << "\" | exec \""
                     << ORVIX_DVRSIM_BINARY << "\" \"$@\"\n";
  fs::permissions(sim, fs::perms::owner_all);
  std::ofstream input(File("input.txt"));
  input << "3.4 click 316 12\n";  // the snapshot button of channel 1
  for (int i = 4; i <= 26; ++i) input << i << " screenshot " << File(std::to_string(i)) << "\n";
  input.close();
  // The digits are read off the pictures all along: no information panel over them.
  auto child = Start({"--display",         "headless", "--dvrsim",     sim.string(),
                      "--channels",        "4",        "--preview",    "1",
                      "--default-channel", "-1",       "--sip-name",   "cam",
                      "--answer",          "ok",       "--input",      File("input.txt"),
                      "--after",           "26.2",     "--dvrsim-arg", "--cmd-drop",
                      "--dvrsim-arg",      "1"},
                     env);
  ASSERT_NE(child, nullptr);
  auto command = [&](const char* line) { std::ofstream(File("console"), std::ios::app) << line; };
  // A channel whose stream is gone turns black at the next reconnect tick, and comes back
  // at the tick after the DVR serves it again.
  int stopped = -1, black = -1, back = -1;
  std::string line;
  std::smatch m;
  std::regex shot("^orvix: screenshot .*/([0-9]+)$");
  while (child->ReadLine(&line, 30000)) {
    out.push_back(line);
    if (!std::regex_match(line, m, shot)) continue;
    int n = std::stoi(m[1]);
    auto image = Png(File(m[1]));
    if (!image) break;
    if (stopped < 0) {
      EXPECT_EQ(ReadCell(*image, Cell(1), 0), "02");
      EXPECT_EQ(ReadCell(*image, Cell(3), 0), "04");
      command("stop 2\n");
      stopped = n;
    } else if (black < 0 && CellBlack(*image, Cell(1))) {
      black = n;
      EXPECT_EQ(ReadCell(*image, Cell(0), 0), "01");  // the others go on
      command("start 2\n");
    } else if (black >= 0 && back < 0 && ReadCell(*image, Cell(1), 0) == "02") {
      back = n;
    }
  }
  EXPECT_EQ(child->Wait(30000), 0);
  EXPECT_TRUE(Has(out, "set cap dir:" + shots));  // config.txt read back at the start
  EXPECT_TRUE(Has(out, "success,picture store in:"));
  EXPECT_TRUE(Has(out, "dvrsim: closing"));
  ASSERT_GE(black, 0) << "channel 2 never went black";
  EXPECT_LE(black - stopped, 12);  // the reconnect timer's 10 s
  ASSERT_GE(back, 0) << "channel 2 did not come back";
  EXPECT_LE(back - black, 12);  // the next tick, and the first picture

  int bitmaps = 0;
  for (const auto& entry : fs::directory_iterator(shots)) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex("cam_CH1_[0-9]{8}_[0-9]{9}\\.bmp"))) << name;
    std::ifstream bmp(entry.path(), std::ios::binary);
    char magic[2] = {};
    bmp.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "BM");
    EXPECT_GT(fs::file_size(entry.path()), 54u + 352u * 288u);
    ++bitmaps;
  }
  EXPECT_EQ(bitmaps, 1);
#endif
}

// The panel against the simulator, by its buttons: the relays by the mask rule from
// "RelayState" 2, and the information panel refreshed on demand.
TEST_F(OrvixRun, ThePanelsRelayAndRefreshButtonsDriveTheSimulator) {
#ifndef ORVIX_DVRSIM_BINARY
  GTEST_SKIP() << "dvrsim is not part of this build";
#else
  std::ofstream input(File("input.txt"));
  input << "1.0 click 246\n"  // output 1: mask 2 -> 1
        << "2.6 screenshot " << File("p0") << "\n"
        << "2.7 click 246\n3.3 click 246\n"  // mask 1 -> 0 -> 1
        << "3.9 click 203\n"                 // output 2: mask 1 -> 2
        << "5.5 screenshot " << File("p1") << "\n"
        << "5.6 click 188\n"  // "refresh code"
        << "8.5 screenshot " << File("p2") << "\n";
  input.close();
  std::vector<std::string> out;
  ASSERT_EQ(Run({"--display",
                 "headless",
                 "--dvrsim",
                 ORVIX_DVRSIM_BINARY,
                 "--channels",
                 "4",
                 "--preview",
                 "1",
                 "--default-channel",
                 "-1",
                 "--relay-state",
                 "2",
                 "--lang",
                 "en",
                 "--answer",
                 "ok",
                 "--input",
                 File("input.txt"),
                 "--after",
                 "8.7"},
                &out),
            0);
  auto p0 = Png(File("p0")), p1 = Png(File("p1")), p2 = Png(File("p2"));
  ASSERT_TRUE(p0 && p1 && p2);
  EXPECT_TRUE(PanelInStrip(*p0, 704));

  // Each relay button set the mask to the complement of its own bit alone; channel 1's
  // picture shows the outputs, and so do the buttons: output 2's lamp lit, output 1's dark.
  size_t at = 0;
  for (const char* state : {"output 1 on, output 2 off", "output 1 off, output 2 off",
                            "output 1 on, output 2 off", "output 1 off, output 2 on"}) {
    at = IndexOf(out, std::string("dvrsim: relay: ") + state, at);
    ASSERT_LT(at, out.size()) << state;
    ++at;
  }
  EXPECT_EQ(CountOf(out, "dvrsim: relay: "), 4);
  EXPECT_TRUE(Has(out, "set to new state :2!"));
  EXPECT_EQ(Lamps(*p0), 1);
  EXPECT_EQ(Lamps(*p1), 2);
  EXPECT_GT((At(*p1, 803, 500) >> 8) & 0xFF, 180u);
  EXPECT_LT((At(*p1, 759, 500) >> 8) & 0xFF, 120u);

  // The record came with "refresh code", before the 10 s timer's first request.
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ReadCell(*p0, Cell(i), 0), "0" + std::to_string(i + 1)) << i;
    EXPECT_FALSE(InfoBox(*p1, Cell(i))) << i;
    EXPECT_TRUE(InfoBox(*p2, Cell(i))) << i;
  }
  EXPECT_GT(IndexOf(out, "command 54 (status)"), IndexOf(out, "screenshot " + File("p1")));
  EXPECT_EQ(CountOf(out, "command 54 (status)"), 1);
#endif
}

// The capture directory chosen in the panel's dialog takes the next snapshot and stays in
// "config.txt"; "EN" is not "en", so the panel speaks Chinese; "stop preview" and "start
// preview"; and the information panel comes with the 10 s timer alone.
TEST_F(OrvixRun, CaptureDirectoryPreviewAndPeriodicRefreshFromThePanelInChinese) {
#ifndef ORVIX_DVRSIM_BINARY
  GTEST_SKIP() << "dvrsim is not part of this build";
#else
  fs::copy_file(ORVIX_VIDEO_LIBRARY, dir_ / fs::path(ORVIX_VIDEO_LIBRARY).filename());
  std::string env = "LD_LIBRARY_PATH=" + dir_.string() + " ";
  fs::create_directories(dir_ / "chosen");
  std::ofstream input(File("input.txt"));
  // The dialogs come last: a channel window that a dialog covered has been seen to go on
  // without its title icons and information panel.
  input << "5.8 screenshot " << File("q0") << "\n"
        << "6.0 click 1006\n"  // "stop preview"
        << "6.8 screenshot " << File("q1") << "\n7.3 screenshot " << File("q2") << "\n"
        << "7.5 click 1006\n"  // "start preview", well before the reconnect timer's tick
        << "12.0 screenshot " << File("q3") << "\n12.5 screenshot " << File("q4") << "\n"
        << "12.7 click 1009\n"  // "capture dir..."
        << "13.7 click 189\n"   // "browse..."
        << "14.7 file \"" << File("chosen") << "\"\n"
        << "15.7 click 1\n"        // OK
        << "16.7 click 316 12\n";  // the snapshot button of channel 1
  input.close();
  std::vector<std::string> out;
  ASSERT_EQ(Run({"--display",
                 "headless",
                 "--dvrsim",
                 ORVIX_DVRSIM_BINARY,
                 "--channels",
                 "4",
                 "--preview",
                 "1",
                 "--default-channel",
                 "-1",
                 "--lang",
                 "EN",
                 "--sip-name",
                 "cam",
                 "--answer",
                 "ok",
                 "--input",
                 File("input.txt"),
                 "--after",
                 "17.5"},
                &out, env),
            0);
  EXPECT_TRUE(Has(out, "init lang:1"));
  std::ifstream config(File("config.txt"), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(config)), {});
  EXPECT_EQ(text, "play_back_rec_cap_dir:" + File("chosen") + "/");
  // "抓拍成功，图片" in GBK, the box's text.
  EXPECT_TRUE(Has(out, "\xD7\xA5\xC5\xC4\xB3\xC9\xB9\xA6\xA3\xAC\xCD\xBC\xC6\xAC"));
  int bitmaps = 0;
  for (const auto& entry : fs::directory_iterator(dir_ / "chosen")) {
    EXPECT_TRUE(std::regex_match(entry.path().filename().string(),
                                 std::regex("cam_CH1_[0-9]{8}_[0-9]{9}\\.bmp")))
        << entry.path();
    ++bitmaps;
  }
  EXPECT_EQ(bitmaps, 1);

  auto q0 = Png(File("q0")), q1 = Png(File("q1")), q2 = Png(File("q2")), q3 = Png(File("q3")),
       q4 = Png(File("q4"));
  ASSERT_TRUE(q0 && q1 && q2 && q3 && q4);
  EXPECT_TRUE(PanelInStrip(*q0, 704));

  // "stop preview" tore every session down and the pictures stood still; "start preview"
  // played them all again at once, before the reconnect timer would have.
  EXPECT_EQ(CountOf(out, "OnBnClickedBtnPreview-------"), 2);
  EXPECT_EQ(CountOf(out, "ContinuePlayVideo-----------"), 1);
  size_t stopped = IndexOf(out, "OnBnClickedBtnPreview");
  size_t still = IndexOf(out, "screenshot " + File("q1"));
  int teardowns = 0;
  for (size_t i = stopped; i < still && i < out.size(); ++i) {
    teardowns += out[i].find(" tears down session ") != std::string::npos ? 1 : 0;
  }
  EXPECT_EQ(teardowns, 4);
  EXPECT_EQ(CountOf(out, " plays channel "), 8);
  size_t replayed = IndexOf(out, " plays channel ");  // the eighth play: the last replay
  for (int i = 1; i < 8; ++i) replayed = IndexOf(out, " plays channel ", replayed + 1);
  EXPECT_LT(replayed, IndexOf(out, "reconnect rtsp chn="));
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(SameCell(*q1, *q2, Cell(i))) << "still moving: " << i;
    EXPECT_FALSE(SameCell(*q3, *q4, Cell(i))) << "not moving again: " << i;
    // No record before the timer's first request, 10 s after the panel opened; one after.
    EXPECT_FALSE(InfoBox(*q0, Cell(i))) << i;
    EXPECT_TRUE(InfoBox(*q4, Cell(i))) << i;
  }
  EXPECT_GT(IndexOf(out, "command 54 (status)"), IndexOf(out, "screenshot " + File("q2")));
#endif
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
  EXPECT_TRUE(Has(out, "control viewer of 127.0.0.1"));
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
  EXPECT_TRUE(Has(out, "control viewer of 127.0.0.1"));

  // A simulator that refuses its arguments is not retried on another port.
  out.clear();
  EXPECT_NE(Run({"--display", "headless", "--dvrsim", ORVIX_DVRSIM_BINARY, "--dvrsim-arg", "--size",
                 "--dvrsim-arg", "huge", "--after", "1"},
                &out),
            0);
  EXPECT_FALSE(Has(out, "dvrsim takes a free port instead"));
  EXPECT_FALSE(Has(out, "control viewer of"));
#endif
}

// GStreamer's RTSP server (stream/gst_rtsp_test_server.py) as a child; its port, or 0.
class GstServer {
 public:
  GstServer() {
    pipe_ = popen("/usr/bin/python3 " GST_RTSP_TEST_SERVER " --lifetime 60 2>/dev/null", "r");
    char line[64] = {};
    if (pipe_ && std::fgets(line, sizeof line, pipe_)) port_ = std::atoi(line);
  }
  ~GstServer() {
    if (pipe_) pclose(pipe_);
  }
  int port() const { return port_; }

 private:
  FILE* pipe_ = nullptr;
  int port_ = 0;
};

// The colour bars of GStreamer's test pattern in `cell`: white first, yellow second, blue
// last, across the upper part of the picture.
bool ShowsBars(const XrgbImage& image, RECT cell) {
  const int top = cell.top + kTitle;
  const int width = cell.right - cell.left;
  const int y = top + (cell.bottom - top) / 4;
  auto at = [&](int seventh) {
    uint32_t p = image.pixels[static_cast<size_t>(y) * image.width + cell.left +
                              width * (2 * seventh + 1) / 14];
    return std::array<int, 3>{static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF),
                              static_cast<int>(p & 0xFF)};
  };
  auto white = at(0), yellow = at(1), blue = at(6);
  return white[0] > 160 && white[1] > 160 && white[2] > 160 && yellow[0] > 160 && yellow[1] > 160 &&
         yellow[2] < 90 && blue[0] < 90 && blue[1] < 90 && blue[2] > 160;
}

// Cells 5 and 6 of a 3 x 3 grid show the H.264 and H.265 streams of a server nobody here wrote,
// one named by the page and one by --url, beside the simulator's four channels; the password
// of the page's URL is in no line the program prints and not in the cell's title.
TEST_F(OrvixRun, UrlCellsOfAnotherServerBesideTheDvrChannels) {
  if (std::system("/usr/bin/python3 -c \"import gi; gi.require_version('GstRtspServer','1.0')\" "
                  ">/dev/null 2>&1 && gst-inspect-1.0 x265enc >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs GStreamer's RTSP server for Python and x265enc";
  GstServer server;
  ASSERT_GT(server.port(), 0);
  const std::string base = "rtsp://127.0.0.1:" + std::to_string(server.port());
  std::ofstream(File("page.html"))
      << "<object><param name=DvrChnNum value=4><param name=Preview value=1>"
         "<param name=DefChShow value=-1><param name=Url value=\"5=rtsp://viewer:Pa55-w0rd@"
      << base.substr(7) << "/test\"></object>";
  std::ofstream(File("input.txt")) << "7 screenshot " << File("grid.png") << "\n";
  std::vector<std::string> out;
  ASSERT_EQ(Run({"--display", "headless", "--page", File("page.html"), "--url",
                 "6=" + base + "/h265", "--input", File("input.txt"), "--after", "7.2"},
                &out),
            0);
  for (const auto& line : out) EXPECT_EQ(line.find("Pa55-w0rd"), std::string::npos) << line;
  EXPECT_TRUE(Has(out, "orvix: cell 5 shows rtsp://viewer@127.0.0.1:"));
  EXPECT_TRUE(Has(out, "orvix: cell 6 shows " + base + "/h265"));
  auto grid = Png(File("grid.png"));
  ASSERT_TRUE(grid);
  // A 3 x 3 grid: cells 234 x 192 left of the strip.
  auto cell = [](int i) {
    int x = i % 3 * 234, y = i / 3 * 192;
    return RECT{x + 2, y + 2, x + 234, y + 192};
  };
  for (int i = 0; i < 4; ++i) {
    char expect[12];
    std::snprintf(expect, sizeof expect, "%02d", i + 1);
    EXPECT_EQ(ReadCell(*grid, cell(i), 0), expect) << "cell " << i;
  }
  EXPECT_TRUE(ShowsBars(*grid, cell(4))) << "the H.264 cell";
  EXPECT_TRUE(ShowsBars(*grid, cell(5))) << "the H.265 cell";
  EXPECT_TRUE(CellBlack(*grid, cell(6)));
  // The title strip of cell 5 holds the user's name and no password: some text is drawn in it.
  bool text = false;
  for (int x = cell(4).left + 2; x < cell(4).left + 100; ++x)
    text =
        text || Luma(grid->pixels[static_cast<size_t>(cell(4).top + 10) * grid->width + x]) > 200;
  EXPECT_TRUE(text);
}

// Whether something accepts TCP connections on 127.0.0.1:`port` within `ms`.
bool Listening(int port, int ms) {
  for (int waited = 0; waited < ms; waited += 200) {
    SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    bool up = connect(sock, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    closesocket(sock);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

// VLC's RTSP server (it refuses root, so it runs as nobody) serving an H.265 file made by
// GStreamer's encoder: the cell's session takes VLC's forms after one retry each and shows the
// bars beside the simulator's channels. The clip lasts 40 s: VLC closes its sessions' connections
// when a looped file starts again.
TEST_F(OrvixRun, H265FileServedByVlcInACell) {
  if (std::system("command -v cvlc >/dev/null && command -v runuser >/dev/null && "
                  "gst-inspect-1.0 x265enc >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs cvlc (vlc-bin, vlc-plugin-base), runuser and x265enc";
  const std::string clip = File("clip.ts");
  ASSERT_EQ(std::system(("gst-launch-1.0 -q videotestsrc num-buffers=1000 pattern=smpte100 ! "
                         "video/x-raw,format=I420,width=352,height=288,framerate=25/1 ! x265enc "
                         "key-int-max=25 speed-preset=ultrafast ! h265parse ! mpegtsmux ! "
                         "filesink location=" +
                         clip + " >/dev/null 2>&1 && chmod 755 " + dir_.string() +
                         " && chmod 644 " + clip)
                            .c_str()),
            0);
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int size = sizeof a;
  getsockname(probe, reinterpret_cast<sockaddr*>(&a), &size);
  const int port = ntohs(a.sin_port);
  closesocket(probe);
  const std::string url = "rtsp://127.0.0.1:" + std::to_string(port) + "/clip.ts";
  std::string error;
  auto vlc = ChildProcess::Spawn(
      "/bin/sh",
      {"-c", "exec runuser -u nobody -- timeout 60 cvlc -I dummy --no-audio " + clip +
                 " --loop --sout '#rtp{sdp=" + url + "}' >/dev/null 2>&1"},
      &error);
  ASSERT_NE(vlc, nullptr) << error;
  ASSERT_TRUE(Listening(port, 15000));
  std::ofstream(File("input.txt")) << "7 screenshot " << File("grid.png") << "\n";
  std::vector<std::string> out;
  ASSERT_EQ(Run({"--display", "headless", "--url", "5=" + url, "--input", File("input.txt"),
                 "--after", "7.2"},
                &out),
            0);
  vlc->Terminate(5000);
  auto count = [&](const std::string& text) {
    return std::count_if(out.begin(), out.end(),
                         [&](const std::string& l) { return l.find(text) != std::string::npos; });
  };
  EXPECT_EQ(count("retrying on the control URL"), 1);
  EXPECT_EQ(count("Session token without its parameters"), 1);
  EXPECT_EQ(count("without the trailing slash"), 1);
  auto grid = Png(File("grid.png"));
  ASSERT_TRUE(grid);
  EXPECT_EQ(ReadCell(*grid, RECT{2, 2, 234, 192}, 0), "01");
  EXPECT_TRUE(ShowsBars(*grid, RECT{236, 194, 468, 384}));
}

}  // namespace
}  // namespace orvix
