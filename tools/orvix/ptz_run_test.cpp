// The PTZ controls and the picture dialog through the real program against the simulator's
// cameras, driven by scripted control actions on the headless display; what they did is read
// off the screenshots: how far a held button panned channel 1's picture, whether a preset
// brought the same view back, and how bright each channel's picture is.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "platform/display/png_image.h"
#include "platform/process/child_process.h"
#include "tools/orvix/cell_reader.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using platform::display::XrgbImage;
using platform::process::ChildProcess;

// The part of a cell of the 2 x 2 grid (874 x 576 window; two channels use the upper row) below the
// simulator's digit rows and the information panel's box: the scene alone.
RECT SceneBand(int cell) {
  int x = cell % 2 * 352, y = cell / 2 * 288;
  return RECT{x + 24, y + 200, x + 330, y + 278};
}

int LumaAt(const XrgbImage& image, int x, int y) {
  return Luma(image.pixels[static_cast<size_t>(y) * image.width + x]);
}

double MeanLuma(const XrgbImage& image, RECT r) {
  double sum = 0;
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x, ++n) sum += LumaAt(image, x, y);
  }
  return n ? sum / n : 0;
}

constexpr int kVertical = 8;  // rows a match may be displaced by

struct Shift {
  int dx = 0, dy = 0;
  double difference = 0;  // mean absolute luma difference at that shift
};

// The mean absolute luma difference inside `r` between `before` and `after` displaced by
// (dx, dy), on every other pixel; `margin` keeps the displaced points inside the cell.
double Difference(const XrgbImage& before, const XrgbImage& after, RECT r, int dx, int dy,
                  int margin) {
  double sum = 0;
  int n = 0;
  for (int y = r.top + kVertical; y < r.bottom - kVertical; y += 2) {
    for (int x = r.left + margin; x < r.right - margin; x += 2, ++n) {
      sum += std::abs(LumaAt(before, x, y) - LumaAt(after, x + dx, y + dy));
    }
  }
  return n ? sum / n : 0;
}

// The displacement of `after` against `before` inside `r` that matches best: the picture's
// content at (x, y) before is at (x + dx, y + dy) after. The scene's movers and noise change
// between two pictures; its still, textured background decides.
Shift BestShift(const XrgbImage& before, const XrgbImage& after, RECT r, int reach) {
  Shift best{0, 0, 1e9};
  for (int dy = -kVertical; dy <= kVertical; ++dy) {
    for (int dx = -reach; dx <= reach; ++dx) {
      double d = Difference(before, after, r, dx, dy, reach);
      if (d < best.difference) best = Shift{dx, dy, d};
    }
  }
  return best;
}

std::optional<XrgbImage> Png(const fs::path& path) {
  std::string error;
  auto image = platform::display::ReadPng(path.string(), &error);
  EXPECT_TRUE(image) << error;
  return image;
}

TEST(PtzRun, HeldButtonsPanPresetsReturnAndPictureModesBrightenTheChannels) {
  const fs::path dir = fs::temp_directory_path() / ("ptz_run_test_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  // Each state is looked at twice, 3.5 and 5 s after the action that made it: the pictures
  // reach the screen through the coder, the network and the decoder, late on a busy machine,
  // and the two looks tell whether the picture has settled.
  std::ofstream script(dir / "script.txt");
  double t = 0;
  auto at = [&](double delay, const std::string& action) {
    t += delay;
    script << t << " " << action << "\n";
  };
  auto look = [&](const std::string& name) {
    at(3.5, "screenshot " + (dir / (name + "1.png")).string());
    at(1.5, "screenshot " + (dir / (name + ".png")).string());
  };
  // The slowest control speed, so that a second's pan stays inside the picture.
  at(2, "click 1001");
  at(1, "choose 275 0");
  at(0.5, "click 236");
  at(1, "click 237");
  // A stop makes channel 1 a live camera; the dialog's "copy" of channel 1's settings (the
  // defaults) makes channel 2 live too.
  at(0.5, "press 1019");
  at(0.2, "release 1019");
  at(0.3, "click 1008");
  at(1.5, "click 199");
  at(0.5, "key escape");
  look("base");
  // "left" held for a second, its view stored as preset 1; "right" held; preset 1 again.
  at(0.5, "press 1018");
  at(1, "release 1018");
  look("left");
  at(0.5, "click 181");
  at(0.5, "press 1020");
  at(1, "release 1020");
  look("right");
  at(0.5, "click 180");
  look("preset");
  // "bright" on channel 1; then "bright", "copy" and "default" on channel 1.
  at(0.5, "click 1008");
  at(1.5, "click 312");
  at(0.5, "key escape");
  look("bright");
  at(0.5, "click 1008");
  at(1.5, "click 312");
  at(0.5, "click 199");
  at(0.5, "click 190");
  at(0.5, "key escape");
  look("copied");
  // Channel 1's luminance slider dragged up, as a script slides it.
  at(0.5, "click 1008");
  at(1.5, "move 10 10");
  at(0.5, "slide 306 100");
  at(0.5, "key escape");
  look("slid");
  script.close();
  std::vector<std::string> args = {"-c",
                                   "exec \"$0\" \"$@\" 2>&1",
                                   ORVIX_BINARY,
                                   "--display",
                                   "headless",
                                   "--lang",
                                   "en",
                                   "--input",
                                   (dir / "script.txt").string(),
                                   "--after",
                                   std::to_string(t + 0.5),
                                   "--channels",
                                   "2",
                                   "--dvrsim",
                                   ORVIX_DVRSIM_BINARY};
  std::string error;
  auto child = ChildProcess::Spawn("/bin/sh", args, &error);
  ASSERT_NE(child, nullptr) << error;
  std::vector<std::string> lines;
  std::string line;
  while (child->ReadLine(&line, 60000)) lines.push_back(line);
  const int status = child->Wait(30000);
  for (const auto& l : lines) {
    if (status != 0 && l.rfind("orvix:", 0) == 0) ADD_FAILURE() << l;
  }
  ASSERT_EQ(status, 0);
  auto has = [&](const std::string& text) {
    for (const auto& l : lines) {
      if (l.find(text) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("prompt setting success!"));
  EXPECT_TRUE(has("ptz config: channel 1 set: PELCO-D, address 1, speed 1"));
  const char* names[] = {"base", "left", "right", "preset", "bright", "copied", "slid"};
  std::vector<XrgbImage> images;
  for (const char* name : names) {
    auto early = Png(dir / (std::string(name) + "1.png"));
    auto late = Png(dir / (std::string(name) + ".png"));
    ASSERT_TRUE(early && late) << name;
    Shift settled = BestShift(*early, *late, SceneBand(0), 20);
    EXPECT_TRUE(settled.dx == 0 && settled.dy == 0) << name << ": still moving";
    images.push_back(std::move(*late));
  }
  const XrgbImage &base = images[0], &left = images[1], &right = images[2], &preset = images[3],
                  &bright = images[4], &copied = images[5], &slid = images[6];

  // Panning left moves the scene to the right in the picture, by about a tenth of its width
  // for the second held; the other way, then preset 1, which was stored at `left`.
  const RECT band = SceneBand(0);
  Shift panned = BestShift(base, left, band, 60);
  EXPECT_GE(panned.dx, 15) << panned.dx << "," << panned.dy;
  EXPECT_LE(std::abs(panned.dy), 2);
  Shift back = BestShift(left, right, band, 60);
  EXPECT_LE(back.dx, -15) << back.dx;
  Shift recalled = BestShift(left, preset, band, 60);
  EXPECT_LE(std::abs(recalled.dx), 1) << recalled.dx;
  EXPECT_LE(std::abs(recalled.dy), 1) << recalled.dy;
  // Back at the stored view the picture matches it better than the view it left did.
  EXPECT_LT(recalled.difference, Difference(left, right, band, 0, 0, 60));
  // The other channels did not move.
  Shift still = BestShift(base, left, SceneBand(1), 20);
  EXPECT_LE(std::abs(still.dx), 1);

  // "bright" raises channel 1 alone; after "copy", channel 2 too; "default" brings channel 1
  // back.
  double before[2], lit[2], after[2];
  for (int c = 0; c < 2; ++c) {
    before[c] = MeanLuma(preset, SceneBand(c));
    lit[c] = MeanLuma(bright, SceneBand(c));
    after[c] = MeanLuma(copied, SceneBand(c));
  }
  std::printf(
      "pan %+d,%+d  back %+d  preset %+d,%+d (%.2f)  luma 1: %.1f %.1f %.1f  2: %.1f %.1f %.1f\n",
      panned.dx, panned.dy, back.dx, recalled.dx, recalled.dy, recalled.difference, before[0],
      lit[0], after[0], before[1], lit[1], after[1]);
  EXPECT_GT(lit[0], before[0] + 20) << before[0] << " -> " << lit[0];
  EXPECT_NEAR(after[0], before[0], 6);
  EXPECT_NEAR(lit[1], before[1], 6);
  // Dragged to 100, give or take the pixel the thumb lands on.
  const std::string slide = "image: channel 1 (index 0) set: colour 0, contrast 100, luminance ";
  EXPECT_TRUE(has(slide + "99,") || has(slide + "100,") || has(slide + "101,"));
  EXPECT_GT(MeanLuma(slid, SceneBand(0)), after[0] + 20);
  EXPECT_GT(after[1], before[1] + 20) << before[1] << " -> " << after[1];
  if (!testing::Test::HasFailure()) fs::remove_all(dir);  // a failed run keeps its pictures
}

}  // namespace
}  // namespace orvix
