// Two live channels from the simulator through sessions, decoding and windows: what the
// windows show, the snapshot files, the recordings, and pictures under packet loss.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/display/png_image.h"
#include "platform/vfw/avi_probe.h"
#include "tools/livepair/live_pair.h"
#include "tools/livepair/livepair_options.h"
#include "tools/livepair/picture_check.h"
#include "tools/orvix/dvr_simulator.h"

namespace livepair {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The simulator's counter runs 0..249, so readings a few seconds apart cannot wrap twice.
constexpr int kLoopFrames = 250;
constexpr int kRate = 25;
// Coding loss plus the colour round trip (YUV to RGB on the desktop or in the file, and back to
// luma here) stays well under this mean difference; another channel's or frame's picture or a
// picture upside down is far over it.
constexpr double kSamePicture = 6.0;

std::string TempDir() {
  std::random_device random;
  fs::path dir = fs::temp_directory_path() /
                 ("livepair_test_" + std::to_string(random()) + std::to_string(random()));
  fs::create_directories(dir);
  return dir.string();
}

// "livepair_CH<channel>_YYYYMMDD_HHMMSSmmm.bmp"
bool SnapshotName(const std::string& name, int channel) {
  const std::string lead = "livepair_CH" + std::to_string(channel) + "_";
  const std::string stamp = "dddddddd_ddddddddd.bmp";
  if (name.size() != lead.size() + stamp.size() || name.rfind(lead, 0) != 0) return false;
  for (size_t i = 0; i < stamp.size(); ++i) {
    const char c = name[lead.size() + i];
    if (stamp[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : c != stamp[i])
      return false;
  }
  return true;
}

int ToInt(const std::string& digits) { return digits.empty() ? -1 : std::stoi(digits); }

class LivePairTest : public ::testing::Test {
 protected:
  void Open(std::array<int, 2> channels, std::vector<std::string> extra = {}) {
    extra.insert(extra.end(), {"--loop-frames", std::to_string(kLoopFrames)});
    std::string error;
    const int count = std::max(channels[0], channels[1]);
    dvr_ = orvix::DvrSimulator::Start(orvix::FindDvrsim(""), 0, count, extra, 20000, &error);
    ASSERT_NE(dvr_, nullptr) << error;
    PairConfig config;
    config.port = dvr_->port();
    config.channels = channels;
    pair_ = LivePair::Open(config, &error);
    ASSERT_NE(pair_, nullptr) << error;
    ASSERT_TRUE(pair_->WaitForPictures(15000));
  }

  void TearDown() override {
    pair_.reset();
    dvr_.reset();
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // What window i shows now, at the size the simulator codes.
  LumaImage Shown(int i) {
    pair_->PumpFor(0);
    auto& fb = pair_->display().framebuffer();
    std::lock_guard<std::mutex> lock(fb.mutex());
    return CutLuma(fb.pixels(), fb.stride(), fb.height(), pair_->PictureRect(i), 352, 288);
  }

  // The counter window i shows, retried while a picture is being replaced; -1 when illegible.
  int ShownCounter(int i, int channel) {
    for (int tries = 0; tries < 20; ++tries) {
      PictureReading r = ReadPicture(Shown(i));
      if (ToInt(r.channel) == channel && !r.counter.empty()) return ToInt(r.counter);
      pair_->PumpFor(20);
    }
    return -1;
  }

  const std::string& Dir() {
    if (dir_.empty()) dir_ = TempDir();
    return dir_;
  }

  std::unique_ptr<orvix::DvrSimulator> dvr_;
  std::unique_ptr<LivePair> pair_;
  std::string dir_;
};

TEST_F(LivePairTest, EachWindowShowsItsOwnChannelAndItsCounterAdvances) {
  // Channels out of window order, so a session fed into the wrong window shows.
  Open({3, 1});
  pair_->PumpFor(500);
  int first[2], second[2];
  for (int i = 0; i < 2; ++i) {
    const int channel = pair_->config().channels[i];
    first[i] = ShownCounter(i, channel);
    ASSERT_GE(first[i], 0) << "window " << i << " reads \"" << ReadPicture(Shown(i)).channel
                           << "\"";
    LumaImage shown = Shown(i);
    const int counter = ToInt(ReadPicture(shown).counter);
    if (counter >= 0) {
      EXPECT_LT(MeanDifference(shown, ReferencePicture(352, 288, channel, counter)), kSamePicture);
    }
  }
  const auto start = Clock::now();
  std::string error;
  ASSERT_TRUE(pair_->Screenshot(Dir() + "/first.png", &error)) << error;
  pair_->PumpFor(1500);
  ASSERT_TRUE(pair_->Screenshot(Dir() + "/second.png", &error)) << error;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (int i = 0; i < 2; ++i) {
    second[i] = ShownCounter(i, pair_->config().channels[i]);
    ASSERT_GE(second[i], 0);
    // Pictures come at 25 per second; bursts of the playout and the moment of each reading
    // move that by a few frames.
    const int advanced = FramesBetween(first[i], second[i], kLoopFrames);
    EXPECT_NEAR(advanced, seconds * kRate, 10) << "window " << i;
  }
  // The files hold the desktop the windows were read from.
  auto png = platform::display::ReadPng(Dir() + "/second.png", &error);
  ASSERT_TRUE(png.has_value()) << error;
  LumaImage from_file =
      CutLuma(png->pixels.data(), png->width, png->height, pair_->PictureRect(1), 352, 288);
  EXPECT_EQ(ReadPicture(from_file).channel, "01");
}

TEST_F(LivePairTest, SnapshotsAreBmpFilesOfTheDecodedPicture) {
  Open({1, 2});
  for (int i = 0; i < 2; ++i) {
    const int channel = pair_->config().channels[i];
    const std::string path = pair_->Snapshot(i, Dir(), 5000);
    ASSERT_FALSE(path.empty()) << "channel " << channel;
    EXPECT_TRUE(SnapshotName(fs::path(path).filename().string(), channel)) << path;
    EXPECT_EQ(avi_probe::Run("ffprobe -v error -show_entries stream=codec_name,width,height -of "
                             "csv=p=0 '" +
                             path + "'"),
              "bmp,352,288\n");
    std::string error;
    auto picture = ReadBmpLuma(path, &error);
    ASSERT_TRUE(picture.has_value()) << error;
    PictureReading r = ReadPicture(*picture);
    EXPECT_EQ(ToInt(r.channel), channel);
    ASSERT_FALSE(r.counter.empty());
    EXPECT_LT(MeanDifference(*picture, ReferencePicture(352, 288, channel, ToInt(r.counter))),
              kSamePicture);
  }
}

// Frames ffmpeg decodes from `path`, and the picture of frame `index` as luma.
int DecodedFrames(const std::string& path) {
  std::string crc =
      avi_probe::Run("ffmpeg -v error -i '" + path + "' -map 0:v:0 -f framecrc - 2>&1");
  int frames = 0;
  for (size_t at = 0; at < crc.size();) {
    size_t end = crc.find('\n', at);
    if (end == std::string::npos) end = crc.size();
    if (crc[at] != '#' && end > at) ++frames;
    at = end + 1;
  }
  return frames;
}

LumaImage DecodedPicture(const std::string& path, int index) {
  std::string raw =
      avi_probe::Run("ffmpeg -v error -i '" + path + "' -vf 'select=eq(n\\," +
                     std::to_string(index) + ")' -frames:v 1 -f rawvideo -pix_fmt gray -");
  LumaImage image{352, 288, std::vector<uint8_t>(raw.begin(), raw.end())};
  if (image.y.size() != 352u * 288u) image.y.clear();
  return image;
}

TEST_F(LivePairTest, TenSecondRecordingsDecodeWithTheirFrameCount) {
  Open({1, 2});
  std::string error;
  const std::string paths[2] = {Dir() + "/ch1.avi", Dir() + "/ch2.avi"};
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(pair_->StartRecording(i, paths[i], 352, 288, &error));
  const auto start = Clock::now();
  pair_->PumpFor(10000);
  for (int i = 0; i < 2; ++i) pair_->StopRecording(i);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(avi_probe::Run("ffprobe -v error -select_streams v:0 -show_entries "
                             "stream=codec_tag_string,width,height -of csv=p=0 '" +
                             paths[i] + "'"),
              "YUY2,352,288\n");
    // The writer keeps the stream at 25 per second of the time stamps, standing in for missing
    // frames, so the count follows the time recorded; the playout hands pictures over in
    // bursts, so up to a few frames at each end may fall either side of start and stop.
    const int frames = DecodedFrames(paths[i]);
    std::printf("channel %d: %d frames in %.2f s\n", i + 1, frames, seconds);
    EXPECT_NEAR(frames, seconds * kRate, 5);
    PictureReading r = ReadPicture(DecodedPicture(paths[i], frames / 2));
    EXPECT_EQ(ToInt(r.channel), i + 1);
  }
}

TEST_F(LivePairTest, PicturesKeepComingWithPacketLoss) {
  Open({1, 2}, {"--loss", "0.05", "--seed", "7"});
  int shown_before[2] = {pair_->FramesShown(0), pair_->FramesShown(1)};
  // Lost packets spoil pictures until the next key frame, so readings are taken often and
  // only the legible ones count.
  std::vector<int> counters[2];
  for (int step = 0; step < 12; ++step) {
    for (int i = 0; i < 2; ++i) {
      PictureReading r = ReadPicture(Shown(i));
      if (ToInt(r.channel) == i + 1 && !r.counter.empty()) counters[i].push_back(ToInt(r.counter));
    }
    pair_->PumpFor(250);
  }
  for (int i = 0; i < 2; ++i) {
    ASSERT_GE(counters[i].size(), 2u) << "channel " << i + 1;
    const int advanced = FramesBetween(counters[i].front(), counters[i].back(), kLoopFrames);
    EXPECT_GE(advanced, 25) << "channel " << i + 1;
    EXPECT_GE(pair_->FramesShown(i) - shown_before[i], 40) << "channel " << i + 1;
  }
}

TEST(LivepairProgram, WritesAndNamesEveryFile) {
  const std::string dir = TempDir() + "/out";
  const std::string out = avi_probe::Run(
      std::string(LIVEPAIR_BINARY) + " --seconds 1 --record 2 --channels 2,1 --out '" + dir + "'");
  std::vector<std::string> written;
  for (size_t at = out.find("wrote "); at != std::string::npos; at = out.find("wrote ", at)) {
    at += 6;
    written.push_back(out.substr(at, out.find(' ', at) - at));
  }
  ASSERT_EQ(written.size(), 5u) << out;
  EXPECT_EQ(written[0], dir + "/livepair.png");
  EXPECT_NE(written[1].find("livepair_CH2_"), std::string::npos);
  EXPECT_NE(written[2].find("livepair_CH1_"), std::string::npos);
  EXPECT_EQ(written[3], dir + "/livepair_ch2.avi");
  for (const std::string& f : written) EXPECT_GT(fs::file_size(f), 10000u) << f;
  EXPECT_NE(out.find("window 1: channel 2, reads channel \"02\""), std::string::npos) << out;
  fs::remove_all(fs::path(dir).parent_path());
}

}  // namespace
}  // namespace livepair
