// Runs of a session against a scripted DVR with the playout threads every run starts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/kernel/clock.h"
#include "platform/kernel/handle.h"
#include "stream/audio_playout.h"
#include "stream/playout_test_support.h"
#include "stream/test_rtsp_server.h"
#include "stream/test_session_run.h"
#include "stream/video_playout.h"

namespace {

class PlayoutSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("playout_session_" + std::to_string(std::random_device{}()) + "_" +
            std::to_string(GetTickCount()));
    std::filesystem::create_directories(dir_);
    wav_ = dir_ / "out.wav";
    setenv("ORVIX_WAVE_SINK", wav_.c_str(), 1);
    session_.channel = TestChannel();
    session_.channelNumber = 1;
  }
  void TearDown() override {
    if (session_.threadHandle) Stop();
    unsetenv("ORVIX_WAVE_SINK");
    std::filesystem::remove_all(dir_);
  }
  void Stop() {
    session_.running = 0;
    WaitForSingleObject(session_.threadHandle, INFINITE);
    CloseHandle(session_.threadHandle);
    session_.threadHandle = nullptr;
  }
  // Runs a session on `dvr` and sends it 12 single units spanning 440 ms of video.
  void RunWithVideo(ScriptedDvr* dvr, size_t tracks) {
    CapturedOutput captured;
    ASSERT_EQ(StartRtspSession(dvr->Url().c_str(), &session_), 0);
    // DESCRIBE, a SETUP per track, PLAY; then the run starts its threads.
    ASSERT_TRUE(dvr->Server().WaitRequests(2 + tracks, 10000));
    Sleep(200);
    int port = dvr->ClientPorts(0).first;
    for (int i = 0; i < 12; ++i)
      dvr->videoRtp.SendTo(port, SinglePacket(static_cast<uint16_t>(i + 1), 3600u * i, 100));
    EXPECT_TRUE(recorder_.WaitCount(12, 5000));
    Stop();
    output_ = captured.Take();
  }

  std::filesystem::path dir_;
  std::filesystem::path wav_;
  RtspSession session_{RecordingOptions({VideoPlayoutThread, AudioPlayoutThread})};
  UnitRecorder recorder_;
  std::string output_;
};

TEST_F(PlayoutSessionTest, SingleMediaRunPlaysVideoAndStartsNoAudio) {
  ScriptedDvr dvr(ScriptedDvr::Settings{});
  RunWithVideo(&dvr, 1);
  auto units = recorder_.Units();
  ASSERT_EQ(units.size(), 12u);
  EXPECT_EQ(units[0].size(), 92u);
  EXPECT_EQ(output_.find("thread_audio_play start"), std::string::npos) << output_;
  EXPECT_FALSE(std::filesystem::exists(wav_));
}

TEST_F(PlayoutSessionTest, TwoMediaRunStartsTheAudioPlayout) {
  ScriptedDvr::Settings settings;
  settings.withAudio = true;
  ScriptedDvr dvr(settings);
  RunWithVideo(&dvr, 2);
  EXPECT_EQ(recorder_.Count(), 12u);
  EXPECT_NE(output_.find("thread_audio_play start \n"), std::string::npos) << output_;
  EXPECT_TRUE(std::filesystem::exists(wav_));
}

}  // namespace
