// Playback of a recording through the real program on the headless display, driven by its
// scripted control actions against the simulator: a search, a double click on the row, then
// what a person sees of the playback dialog (its label and the time burnt into the pictures)
// while it plays, pauses, resumes, captures, seeks and reaches the end; and the simulator
// taken away in the middle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/display/png_image.h"
#include "platform/process/child_process.h"
#include "platform/vfw/avi_probe.h"
#include "tools/orvix/cell_reader.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using platform::process::ChildProcess;

constexpr int kRecordSeconds = 130;
constexpr int kVideoWindowId = 5033;  // the playback channel's window
constexpr int kLabelId = 1009;

struct Shown {
  std::string text;
  RECT at{0, 0, 0, 0};
};

// The run's output lines.
struct RunOutput {
  std::vector<std::string> lines;
  int status = -1;

  bool Has(const std::string& text) const {
    for (const auto& l : lines) {
      if (l.find(text) != std::string::npos) return true;
    }
    return false;
  }
  // Every "show ID" line of control `id`, in order.
  std::vector<Shown> Shows(int id) const {
    std::vector<Shown> out;
    std::regex line("control " + std::to_string(id) +
                    ": \"(.*)\" at (-?\\d+),(-?\\d+),(-?\\d+),(-?\\d+)");
    for (const auto& l : lines) {
      std::smatch m;
      if (!std::regex_search(l, m, line)) continue;
      out.push_back(Shown{m[1].str(), RECT{std::stoi(m[2].str()), std::stoi(m[3].str()),
                                           std::stoi(m[4].str()), std::stoi(m[5].str())}});
    }
    return out;
  }
};

// Seconds of a "m:ss/m:ss" label's position; -1 when it is not one.
int LabelSeconds(const std::string& label) {
  int m = 0, s = 0, tm = 0, ts = 0;
  if (std::sscanf(label.c_str(), "%d:%d/%d:%d", &m, &s, &tm, &ts) != 4) return -1;
  return m * 60 + s;
}

// The recording time the picture in `video` shows (its MMSS row), in seconds; -1 when unread.
int PictureSeconds(const fs::path& png, RECT video) {
  std::string error;
  auto image = platform::display::ReadPng(png.string(), &error);
  if (!image) return -1;
  // The reader skips a cell's title strip; the playback window has none.
  RECT cell{video.left, video.top - kCellTitle, video.right, video.bottom};
  std::string digits = ReadCell(*image, cell, 1);
  if (digits.size() != 4 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoi(digits.substr(0, 2)) * 60 + std::stoi(digits.substr(2));
}

void ExpectBmp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char magic[2] = {};
  in.read(magic, 2);
  EXPECT_EQ(std::string(magic, 2), "BM") << file;
  auto streams = avi_probe::Probe(file.string());
  ASSERT_EQ(streams.size(), 1u) << file;
  EXPECT_EQ(streams[0].width, 352) << file;
  EXPECT_EQ(streams[0].height, 288) << file;
}

class PlaybackRun : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = avi_probe::TempDir();
    fs::create_directories(dir_ / "captures");
    // One recording per channel and day, long enough to be dragged to 2:00.
    dvrsimArgs_ = {"--record-cache",    (dir_ / "cache").string(),
                   "--record-seconds",  std::to_string(kRecordSeconds),
                   "--records-per-day", "1"};
  }
  // A failed run keeps its folder, with what the program printed.
  void TearDown() override {
    if (!HasFailure()) return (void)fs::remove_all(dir_);
    std::ofstream out(dir_ / "output.txt");
    for (const auto& l : printed_) out << l << "\n";
    std::printf("the run's files are in %s\n", dir_.c_str());
  }

  // The search of channel 1's normal recordings and a double click on the first row, then
  // `rest`; the search's files are made while it runs.
  std::string Script(const std::string& rest) const {
    return "3 click 1004\n4 check 1089 on\n5 check 1066 on\n6 click 1095\n13 dblrow 1282 0\n" +
           rest;
  }

  std::unique_ptr<ChildProcess> Spawn(const std::string& script, double after,
                                      std::vector<std::string> extra) {
    std::ofstream(dir_ / "script.txt") << script;
    std::vector<std::string> args = {"-c",
                                     "exec \"$0\" \"$@\" 2>&1",
                                     ORVIX_BINARY,
                                     "--display",
                                     "headless",
                                     "--size",
                                     "1200x800",
                                     "--input",
                                     (dir_ / "script.txt").string(),
                                     "--after",
                                     std::to_string(after),
                                     "--capture-dir",
                                     (dir_ / "captures").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string error;
    auto child = ChildProcess::Spawn("/bin/sh", args, &error);
    EXPECT_NE(child, nullptr) << error;
    return child;
  }

  RunOutput Finish(ChildProcess& child) {
    RunOutput run;
    std::string line;
    while (child.ReadLine(&line, 60000)) run.lines.push_back(line);
    run.status = child.Wait(30000);
    printed_ = run.lines;
    return run;
  }

  std::vector<std::string> WithSimulator() const {
    std::vector<std::string> args = {"--dvrsim", ORVIX_DVRSIM_BINARY};
    for (const auto& a : dvrsimArgs_) args.push_back("--dvrsim-arg=" + a);
    return args;
  }

  fs::path dir_;
  std::vector<std::string> dvrsimArgs_;
  std::vector<std::string> printed_;
};

// Plays, counts, pauses (picture and label hold), resumes, captures paused and playing, is
// dragged to 2:00 (the picture and the label are there), and reaches the end, which closes it.
TEST_F(PlaybackRun, PlaysPausesCapturesSeeksAndEnds) {
  const fs::path p1 = dir_ / "play1.png", p2 = dir_ / "play2.png", h1 = dir_ / "pause1.png",
                 h2 = dir_ / "pause2.png", seek = dir_ / "seek.png";
  std::ostringstream s;
  s << "16 show 5033\n16.1 show 1009\n16.2 screenshot " << p1.string() << "\n"
    << "19 show 1009\n19.1 screenshot " << p2.string() << "\n"
    << "20 click 1003\n"
    << "21.5 show 1009\n21.6 screenshot " << h1.string() << "\n"
    << "24.5 show 1009\n24.6 screenshot " << h2.string() << "\n"
    << "25 click 184\n"
    << "26 click 1003\n"
    << "29 show 1009\n29.5 click 184\n"
    << "30.5 slide 1007 120\n"
    << "32.5 show 1009\n32.6 screenshot " << seek.string()
    << "\n"
    // Past the end (2:10): the dialog is gone, and so is its button.
    << "44 show 1003\n";
  auto child = Spawn(Script(s.str()), 46, WithSimulator());
  ASSERT_NE(child, nullptr);
  RunOutput run = Finish(*child);
  ASSERT_TRUE(run.Has("prompt find 1 records"));
  std::smatch url;
  bool printed = false;
  for (const auto& l : run.lines) {
    printed =
        printed ||
        std::regex_match(l, std::regex("rtsp://127\\.0\\.0\\.1:554/0_1_0_1_\\d{8}_\\d+_\\.avi"));
  }
  EXPECT_TRUE(printed) << "the recording's URL is printed";
  auto video = run.Shows(kVideoWindowId);
  auto labels = run.Shows(kLabelId);
  ASSERT_EQ(video.size(), 1u);
  ASSERT_EQ(labels.size(), 6u);
  // 352 x 288 pictures shown over all of the dialog but its bottom 100 pixels.
  EXPECT_GT(video[0].at.right - video[0].at.left, 352);
  EXPECT_EQ(labels[0].text.substr(labels[0].text.find('/')), "/2:10");
  const RECT v = video[0].at;

  // Playing: the label and the picture count on together.
  const int l1 = LabelSeconds(labels[0].text), l2 = LabelSeconds(labels[1].text);
  const int t1 = PictureSeconds(p1, v), t2 = PictureSeconds(p2, v);
  EXPECT_GE(l2 - l1, 2) << labels[0].text << " then " << labels[1].text;
  EXPECT_GE(t2 - t1, 2) << t1 << " then " << t2;
  EXPECT_LE(std::abs(t2 - l2), 1) << "picture " << t2 << " label " << labels[1].text;

  // Paused: both hold for three seconds.
  EXPECT_EQ(labels[2].text, labels[3].text);
  const int h1Seconds = PictureSeconds(h1, v);
  EXPECT_GE(h1Seconds, 0);
  EXPECT_EQ(h1Seconds, PictureSeconds(h2, v));
  // Resumed: on from where it held, not from the start and not twice as far.
  const int resumed = LabelSeconds(labels[4].text);
  EXPECT_GE(resumed, LabelSeconds(labels[3].text) + 1);
  EXPECT_LE(resumed, LabelSeconds(labels[3].text) + 4);

  // Dragged to 2:00: the picture is within a key frame's interval (a second) of it, counting
  // on since, and the label agrees.
  const int seekLabel = LabelSeconds(labels[5].text), seekPicture = PictureSeconds(seek, v);
  EXPECT_GE(seekPicture, 119) << labels[5].text;
  EXPECT_LE(seekPicture, 124) << labels[5].text;
  EXPECT_LE(std::abs(seekPicture - seekLabel), 1)
      << "picture " << seekPicture << " label " << labels[5].text;

  // The end of the recording: the message, the session torn down, the dialog closed.
  EXPECT_TRUE(run.Has("prompt End Video Playback!"));
  EXPECT_FALSE(run.Has("prompt Playback failed!"));
  EXPECT_TRUE(run.Has("no control 1003 in the top dialog"));

  // One capture paused, one playing, each a BMP of the recording's size.
  std::vector<fs::path> bmps;
  if (fs::exists(dir_ / "captures")) {
    for (const auto& e : fs::recursive_directory_iterator(dir_ / "captures"))
      if (e.path().extension() == ".bmp") bmps.push_back(e.path());
  }
  ASSERT_EQ(bmps.size(), 2u);
  for (const auto& b : bmps) ExpectBmp(b);
}

// The simulator goes away in the middle of a playback: the session ends and the dialog says
// the playback failed, not that it ended.
TEST_F(PlaybackRun, TheDvrGoneMidwayFailsThePlayback) {
  std::vector<std::string> args = {"--port", "554"};
  args.insert(args.end(), dvrsimArgs_.begin(), dvrsimArgs_.end());
  std::string error;
  auto dvr = ChildProcess::Spawn(ORVIX_DVRSIM_BINARY, args, &error);
  ASSERT_NE(dvr, nullptr) << error;
  std::string line;
  bool ready = false;
  while (!ready && dvr->ReadLine(&line, 30000))
    ready = line.find("dvrsim ready") != std::string::npos;
  ASSERT_TRUE(ready);
  auto child = Spawn(Script("17 show 1009\n"), 30, {"--dvr", "127.0.0.1"});
  ASSERT_NE(child, nullptr);
  RunOutput run;
  while (child->ReadLine(&line, 60000)) {
    run.lines.push_back(line);
    if (line.find("control 1009:") != std::string::npos) dvr->Terminate();
  }
  run.status = child->Wait(30000);
  printed_ = run.lines;
  auto labels = run.Shows(kLabelId);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_GT(LabelSeconds(labels[0].text), 0) << "it played before the DVR went";
  EXPECT_TRUE(run.Has("prompt Playback failed!"));
  EXPECT_FALSE(run.Has("prompt End Video Playback!"));
}

}  // namespace
}  // namespace orvix
