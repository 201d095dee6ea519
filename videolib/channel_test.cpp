// The channel pipeline end to end: frames through the ring, the decoder and the renderer onto
// the headless desktop.
#include "videolib/channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/kernel/clock.h"
#include "videolib/channel_test_support.h"

namespace channel_test {
namespace {

constexpr int kW = 176;
constexpr int kH = 144;

const h264test::Clip& Clip30() {
  static const h264test::Clip clip = h264test::MakeClip(kW, kH, 30);
  return clip;
}

using ChannelTest = ChannelFixture;

TEST_F(ChannelTest, ShowsEveryQueuedPictureAndTheWindowShowsTheLastOne) {
  OpenChannel(kW, kH);
  const auto& clip = Clip30();
  auto reference = ReferenceDecode(clip);
  ASSERT_EQ(reference.size(), clip.frames.size());
  ASSERT_EQ(channel_->StartDecode(), 1);
  EXPECT_EQ(channel_->m_bOptionBtn, 1);
  std::thread producer = Produce(channel_.get(), clip);
  producer.join();
  // keep 1: everything queued before the stop is decoded and shown first.
  channel_->StopDecode(1);
  EXPECT_EQ(channel_->m_nFrames, 30);
  EXPECT_EQ(channel_->IsDecodeing(), 0);
  EXPECT_EQ(channel_->m_bOptionBtn, 0);
  EXPECT_EQ(channel_->RingUsed(), 0);
  EXPECT_GE(ScreenMatch(reference.back()), 0.9);
  // An earlier picture of the moving pattern is not what the window shows.
  EXPECT_LT(ScreenMatch(reference[reference.size() - 5]), 0.8);
}

TEST_F(ChannelTest, StopMarkerFromTheProducerEndsTheThreadLikeStopDecode) {
  OpenChannel(kW, kH);
  const auto& clip = Clip30();
  ASSERT_EQ(channel_->StartDecode(), 1);
  std::thread producer = Produce(channel_.get(), clip, 0, 10);
  producer.join();
  const BYTE marker = CChannel::kStopMarker;
  ASSERT_EQ(channel_->PutOneFrame(&marker, 1), 1);
  ASSERT_TRUE(WaitFor([&] { return channel_->DecodeThreadEnded(); }, 10000));
  EXPECT_EQ(channel_->IsDecodeing(), 0);
  EXPECT_EQ(channel_->m_nFrames, 10);
  EXPECT_EQ(channel_->m_bOptionBtn, 0);
  // Frames put after the marker wait in the ring; StopDecode(0) drops them.
  producer = Produce(channel_.get(), clip, 10, 12);
  producer.join();
  EXPECT_GT(channel_->RingUsed(), 0);
  channel_->StopDecode(0);
  EXPECT_EQ(channel_->RingUsed(), 0);
  EXPECT_FALSE(channel_->HasDecodeThread());
}

TEST_F(ChannelTest, StopWithoutKeepDropsQueuedFramesAndARestartBeginsEmpty) {
  OpenChannel(kW, kH);
  const auto& clip = Clip30();
  // Frames queued while nothing decodes.
  std::thread producer = Produce(channel_.get(), clip, 0, 5);
  producer.join();
  EXPECT_GT(channel_->RingUsed(), 0);
  channel_->StopDecode(0);
  EXPECT_EQ(channel_->RingUsed(), 0);

  ASSERT_EQ(channel_->StartDecode(), 1);
  producer = Produce(channel_.get(), clip, 0, 20);
  producer.join();
  channel_->StopDecode(1);
  EXPECT_EQ(channel_->m_nFrames, 20);

  // A second run of the same channel starts from an empty ring too.
  channel_->m_nFrames = 0;
  ASSERT_EQ(channel_->StartDecode(), 1);
  producer = Produce(channel_.get(), clip, 0, 7);
  producer.join();
  channel_->StopDecode(1);
  EXPECT_EQ(channel_->m_nFrames, 7);
}

TEST_F(ChannelTest, EveryNewPictureSizeResizesTheChannelWithinARun) {
  OpenChannel(kW, kH);
  static const h264test::Clip small = h264test::MakeClip(128, 96, 6);
  static const h264test::Clip large = h264test::MakeClip(320, 240, 6);
  ASSERT_EQ(channel_->StartDecode(), 1);
  std::thread producer = Produce(channel_.get(), small);
  producer.join();
  ASSERT_TRUE(WaitFor([&] { return channel_->m_nFrames == 6; }, 10000));
  EXPECT_EQ(channel_->CheckVideoSize(128, 96), 1);
  EXPECT_EQ(channel_->m_videoFormat, 0);
  // The DVR changes its picture size in the same run: the buffers and surface follow and no
  // picture is lost.
  producer = Produce(channel_.get(), large);
  producer.join();
  channel_->StopDecode(1);
  EXPECT_EQ(channel_->Width(), 320);
  EXPECT_EQ(channel_->Height(), 240);
  EXPECT_EQ(channel_->m_nFrames, 12);

  // And back again in the next run.
  ASSERT_EQ(channel_->StartDecode(), 1);
  producer = Produce(channel_.get(), small);
  producer.join();
  channel_->StopDecode(1);
  EXPECT_EQ(channel_->CheckVideoSize(128, 96), 1);
  EXPECT_EQ(channel_->m_nFrames, 18);
}

TEST_F(ChannelTest, ResizeWithoutASurfaceDropsThePictures) {
  // Without the renderer no surface can be made for the new size.
  CChannel::UninitRender();
  OpenChannel(kW, kH);
  static const h264test::Clip other = h264test::MakeClip(160, 96, 5);
  ASSERT_EQ(channel_->StartDecode(), 1);
  std::thread producer = Produce(channel_.get(), other);
  producer.join();
  channel_->StopDecode(1);
  EXPECT_EQ(channel_->m_nFrames, 0);
  EXPECT_EQ(channel_->m_yuvBuf, nullptr);
  EXPECT_EQ(channel_->CheckVideoSize(0, 0), 1);
  channel_.reset();
  ASSERT_NE(CChannel::InitRender(), nullptr);
}

TEST_F(ChannelTest, FramesThatCanNeverBeStoredAreRefusedAndReportedOnce) {
  OpenChannel(kW, kH);
  std::vector<BYTE> frame(CChannel::kMaxFrameBytes + 1, 0);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(channel_->PutOneFrame(frame.data(), static_cast<int>(frame.size())), 0);
  EXPECT_EQ(channel_->PutOneFrame(frame.data(), 414721), 0);
  EXPECT_EQ(channel_->PutOneFrame(frame.data(), -5), 0);
  std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("refused"), out.rfind("refused")) << out;
  EXPECT_NE(out.find("refused"), std::string::npos) << out;
  EXPECT_EQ(channel_->RingUsed(), 0);
  // The largest frame the ring holds still goes in whole.
  EXPECT_EQ(channel_->PutOneFrame(frame.data(), CChannel::kMaxFrameBytes), 1);
  EXPECT_EQ(channel_->RingUsed(), FrameFifo::kSize);
  channel_->StopDecode(0);
  EXPECT_EQ(channel_->RingUsed(), 0);
}

TEST_F(ChannelTest, StopWhileTheProducerKeepsTheRingFullDoesNotHang) {
  OpenChannel(kW, kH);
  const auto& clip = Clip30();
  ASSERT_EQ(channel_->StartDecode(), 1);
  std::atomic<bool> run{true};
  std::atomic<bool> done{false};
  std::thread producer([&] {
    while (run) {
      for (const auto& frame : clip.frames) {
        for (const auto& nal : frame) {
          channel_->PutOneFrame(nal.data(), static_cast<int>(nal.size()));
        }
      }
    }
    done = true;
  });
  Sleep(200);
  // The flush makes room that the producer fills again before the stop marker goes in.
  channel_->StopDecode(0);
  EXPECT_FALSE(channel_->HasDecodeThread());
  EXPECT_EQ(channel_->IsDecodeing(), 0);
  run = false;
  while (!done) {
    channel_->StopDecode(0);  // nobody decodes now: make room until the producer is through
    Sleep(5);
  }
  producer.join();
}

TEST_F(ChannelTest, StopsAreBoundedAndNoProducerWaitsWithoutADecoder) {
  OpenChannel(kW, kH);
  const auto& clip = Clip30();
  // An idle thread waiting for its next frame ends at once when told.
  ASSERT_EQ(channel_->StartDecode(), 1);
  Sleep(50);
  auto start = std::chrono::steady_clock::now();
  channel_->StopDecode(0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_FALSE(channel_->HasDecodeThread());
  // With no decoder a producer fills the ring and then has its frames dropped, not held.
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (int round = 0; round < 40; ++round) {
      for (const auto& frame : clip.frames) {
        for (const auto& nal : frame) {
          channel_->PutOneFrame(nal.data(), static_cast<int>(nal.size()));
        }
      }
    }
    done = true;
  });
  producer.join();
  EXPECT_TRUE(done.load());
  EXPECT_GT(channel_->RingUsed(), FrameFifo::kSize / 2);
  // A stop of a stream nobody puts into returns with keep 1 as well.
  channel_->StopDecode(0);
  ASSERT_EQ(channel_->StartDecode(), 1);
  start = std::chrono::steady_clock::now();
  channel_->StopDecode(1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST_F(ChannelTest, WindowOperations) {
  OpenChannel(kW, kH);
  channel_->ShowVideo(0);
  EXPECT_EQ(channel_->IsVisible(), 0);
  EXPECT_FALSE(IsWindowVisible(channel_->m_hWnd));
  channel_->ShowVideo(1);
  EXPECT_EQ(channel_->IsVisible(), 1);
  channel_->m_nFrames = 9;
  channel_->UpdateStatus();
  EXPECT_EQ(channel_->m_nFrames, 0);
  parent_->Take();
  channel_->OnSetCurrent(1);
  auto messages = parent_->Take();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], (videownd_test::ParentMessage{1225, 3, 1}));
}

TEST_F(ChannelTest, DeinterlacingOnlyForPackedLayouts) {
  OpenChannel(kW, kH);
  channel_->EnableDeinterlace(1);
  EXPECT_EQ(channel_->m_bDeinterlace, 0);  // planar 4:2:0, as decoded pictures are
  channel_->Close();
  channel_->Open(kW, kH, 1, 0, 0);
  channel_->EnableDeinterlace(1);
  EXPECT_EQ(channel_->m_bDeinterlace, 1);
  channel_->EnableDeinterlace(0);
  EXPECT_EQ(channel_->m_bDeinterlace, 0);
  channel_->Close();
  channel_->Open(kW, kH, 0, 1, 0);
  EXPECT_EQ(channel_->m_videoFormat, 22);
  channel_->EnableDeinterlace(1);
  EXPECT_EQ(channel_->m_bDeinterlace, 1);
  EXPECT_NE(channel_->m_deintBuf, nullptr);
}

}  // namespace
}  // namespace channel_test
