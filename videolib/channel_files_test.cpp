// What the channel writes to disk: BMP snapshots through the capture thread and AVI
// recordings through the recording step, read back with FFmpeg's tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/vfw/vfw.h"
#include "videolib/channel.h"
#include "videolib/channel_test_support.h"

namespace channel_test {
namespace {

constexpr int kW = 176;
constexpr int kH = 144;

std::vector<std::string> Bmps(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".bmp") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> DecodeToRgb(const std::string& path) {
  std::string raw = path + ".rgb";
  std::string command =
      "ffmpeg -v error -y -i '" + path + "' -f rawvideo -pix_fmt rgb24 '" + raw + "'";
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream in(raw, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The share of pixels of a file that match the picture.
double FileMatch(const std::string& path, const Picture& picture) {
  auto rgb = DecodeToRgb(path);
  if (rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3) return 0;
  return MatchShare(
      picture,
      [&](int x, int y) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
        return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
      },
      24);
}

std::string ProbeSize(const std::string& path) {
  return RunCommand(
      "ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 '" +
      path + "'");
}

using ChannelFilesTest = ChannelFixture;

TEST_F(ChannelFilesTest, ThreeSnapsGiveThreeBmpFilesOfTheNextThreePictures) {
  OpenChannel(kW, kH);
  std::string dir = TempDir("snap");
  CChannel::SetCapturePath(VIDEOLIB_GDI_TEXT ? dir : dir + "/");
#if VIDEOLIB_GDI_TEXT
  CChannel::m_SipName = "dvr";
  CChannel::m_capchn = 4;
#endif
  EXPECT_EQ(channel_->GetCapturePath(), VIDEOLIB_GDI_TEXT ? dir : dir + "/");
  static const h264test::Clip clip = h264test::MakeClip(kW, kH, 8);
  auto reference = ReferenceDecode(clip);
  channel_->Snap();
  channel_->Snap();
  channel_->Snap();
  ASSERT_EQ(channel_->StartDecode(), 1);
  std::thread producer = Produce(channel_.get(), clip);
  producer.join();
  // Paused with the decoder still running: the picture shown last, read from its planes.
  ASSERT_TRUE(WaitFor([&] { return channel_->m_nFrames == 8; }, 10000));
  ASSERT_TRUE(WaitFor([&] { return Bmps(dir).size() >= 3; }, 10000));
  EXPECT_EQ(channel_->PutPauseFifo(), 1);
  ASSERT_TRUE(WaitFor([&] { return Bmps(dir).size() >= 4; }, 10000));
  Sleep(100);
  EXPECT_GE(FileMatch(Bmps(dir).back(), reference.back()), 0.9);
  std::filesystem::remove(Bmps(dir).back());
  channel_->StopDecode(1);
  EXPECT_EQ(channel_->m_nSnap, 0);
  Sleep(100);
  auto files = Bmps(dir);
  ASSERT_EQ(files.size(), 3u);
#if VIDEOLIB_GDI_TEXT
  const std::regex name(R"(dvr_CH5_\d{8}_\d{9}\.bmp)");
#else
  const std::regex name(R"(\d{17}\.bmp)");
#endif
  for (size_t i = 0; i < files.size(); ++i) {
    std::string base = std::filesystem::path(files[i]).filename().string();
    EXPECT_TRUE(std::regex_match(base, name)) << base;
    EXPECT_EQ(ProbeSize(files[i]), "176,144\n");
    EXPECT_GE(FileMatch(files[i], reference[i]), 0.9) << base;
  }

  // Paused once the decoder is gone: the same picture, kept.
  EXPECT_EQ(channel_->PutPauseFifo(), 1);
  ASSERT_TRUE(WaitFor([&] { return Bmps(dir).size() >= 4; }, 10000));
  Sleep(100);
  files = Bmps(dir);
  EXPECT_GE(FileMatch(files.back(), reference.back()), 0.9);
  std::filesystem::remove_all(dir);
}

TEST_F(ChannelFilesTest, PauseSnapshotNeedsAPicture) {
  OpenChannel(kW, kH);
  EXPECT_EQ(channel_->PutPauseFifo(), 0);
}

TEST_F(ChannelFilesTest, RecordingThroughRunWritesEveryPacedPicture) {
  OpenChannel(kW, kH);
  std::string dir = TempDir("rec");
  std::string path = dir + "/record.avi";
  static const h264test::Clip clip = h264test::MakeClip(kW, kH, 20);
  CAviWriter::tagVideoStreamInfo info{kW, kH, 25, MAKEFOURCC('Y', 'U', 'Y', '2')};
  ASSERT_EQ(channel_->CAviWriter::Open(path.c_str(), &info, nullptr), 1);
  channel_->m_bSaving = 1;
  ASSERT_EQ(channel_->CThread::Create(), 1);
  // Pictures paced at 25 per second by the multimedia timer, so that the recording step
  // takes each one before the next arrives.
  channel_->SetTestFileStream(1);
  channel_->SetFrameRate(25);
  ASSERT_EQ(channel_->StartDecode(), 1);
  std::thread producer = Produce(channel_.get(), clip);
  producer.join();
  channel_->StopDecode(1);
  Sleep(100);
  channel_->m_bSaving = 0;
  channel_->CThread::Exit(INFINITE);
  channel_->CAviWriter::Close();
  EXPECT_EQ(RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                       "stream=nb_read_frames,width,height -of csv=p=0 '" +
                       path + "'"),
            "176,144,20\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace channel_test
