// The playback dialog against a server nobody here wrote: GStreamer's RTSP server playing one
// of the simulator's recordings (its pictures, which show the time into the recording, copied
// into a Matroska file by FFmpeg: the AVI's delta frames carry no presentation times, which
// the server paces by). The
// control's playback channel decodes for real; each picture it hands on is read for that time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "control/live_channel.h"
#include "control/viewer_control.h"
#include "device/playback/play_back_dlg.h"
#include "device/widgets/widget_theme.h"
#include "platform/ui/ui.h"
#include "tools/dvrsim/catalogue.h"
#include "tools/dvrsim/picture.h"
#include "tools/dvrsim/recording_files.h"
#include "videolib/videownd_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kRecordSeconds = 130;

std::atomic<int> g_shown{-1};  // the recording second of the last picture handed on

class ReadingChannel : public control::LiveChannel {
 public:
  ReadingChannel() { m_bPackPictures = true; }
  int OnVideoStream(BYTE* picture, int width, int height, int64_t time, void* reserved) override {
    std::string digits = dvrsim::ReadDigitRow(picture, width, width, 1);
    if (digits.size() == 4 && digits.find_first_not_of("0123456789") == std::string::npos)
      g_shown = std::stoi(digits.substr(0, 2)) * 60 + std::stoi(digits.substr(2));
    return control::LiveChannel::OnVideoStream(picture, width, height, time, reserved);
  }
};

class ReadingLibrary : public control::VideoLibrary {
 public:
  std::unique_ptr<control::ControlChannel> NewChannel() override {
    return std::make_unique<ReadingChannel>();
  }
};

class GstFileServer {
 public:
  explicit GstFileServer(const std::string& file) {
    const std::string command = "/usr/bin/python3 " GST_RTSP_TEST_SERVER
                                " --lifetime 90 --file \"" +
                                file + "\" 2>/dev/null";
    pipe_ = popen(command.c_str(), "r");
    char line[64] = {};
    if (pipe_ && std::fgets(line, sizeof line, pipe_)) port_ = std::atoi(line);
  }
  ~GstFileServer() {
    if (pipe_) pclose(pipe_);
  }
  int port() const { return port_; }

 private:
  FILE* pipe_ = nullptr;
  int port_ = 0;
};

videownd_test::Desktop& TheDesktop() {
  static auto* desktop = new videownd_test::Desktop(1024, 768);
  return *desktop;
}

// Runs the window thread for `ms`, or until `done`.
template <typename Done>
bool Pump(int ms, Done done) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    TheDesktop().Drain();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}
void Pump(int ms) {
  Pump(ms, [] { return false; });
}

int LabelSeconds(HWND dialog) {
  char text[32] = {};
  GetWindowTextA(GetDlgItem(dialog, 1009), text, sizeof text);
  int m = 0, s = 0, tm = 0, ts = 0;
  if (std::sscanf(text, "%d:%d/%d:%d", &m, &s, &tm, &ts) != 4) return -1;
  return m * 60 + s;
}

std::string Label(HWND dialog) {
  char text[32] = {};
  GetWindowTextA(GetDlgItem(dialog, 1009), text, sizeof text);
  return text;
}

TEST(PlaybackAgainstGstreamer, PlaysPausesAndSeeksARecordingFile) {
  if (std::system("/usr/bin/python3 -c \"import gi; gi.require_version('GstRtspServer','1.0')\" "
                  ">/dev/null 2>&1 && gst-inspect-1.0 matroskademux >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs GStreamer's RTSP server for Python and matroskademux";
  const fs::path cache = fs::temp_directory_path() / "playback-gst-test";
  dvrsim::Catalogue catalogue(1, 1, std::time(nullptr));
  dvrsim::RecordingFiles files(cache.string(), 352, 288, kRecordSeconds);
  const std::string avi = files.Get(catalogue.all().front()).path;
  const std::string file = (cache / "recording.mkv").string();
  ASSERT_EQ(std::system(("ffmpeg -v error -y -i \"" + avi + "\" -c copy \"" + file + "\"").c_str()),
            0);
  GstFileServer server(file);
  ASSERT_GT(server.port(), 0);

  TheDesktop();
  ReadingLibrary library;
  auto control = std::make_unique<control::ViewerControl>(library);
  videownd_test::ParentWindow owner(0, 0, 1024, 768);
  device::playback::CPlayBackDlg dialog(
      control.get(), "rtsp://127.0.0.1:" + std::to_string(server.port()) + "/file");
  ASSERT_TRUE(dialog.Create(owner.hwnd()));
  const HWND d = dialog.m_hWnd;

  // Plays: the description's range gives the total, and the pictures count on.
  ASSERT_TRUE(Pump(10000, [] { return g_shown >= 0; })) << "no picture";
  Pump(1000);
  const std::string label = Label(d);
  ASSERT_NE(label.find('/'), std::string::npos) << label;
  EXPECT_EQ(label.substr(label.find('/')), "/2:10") << label;
  const int first = g_shown;
  Pump(2500);
  EXPECT_GE(g_shown - first, 2);

  // Paused: the picture and the label hold.
  SendMessageA(d, WM_COMMAND, 1003, 0);
  EXPECT_TRUE(dialog.paused());
  Pump(1000);
  const int heldPicture = g_shown, heldLabel = LabelSeconds(d);
  Pump(2500);
  EXPECT_EQ(g_shown, heldPicture);
  EXPECT_EQ(LabelSeconds(d), heldLabel);

  // Played again: on from there.
  SendMessageA(d, WM_COMMAND, 1003, 0);
  EXPECT_FALSE(dialog.paused());
  Pump(2500);
  EXPECT_GE(g_shown, heldPicture + 1);
  EXPECT_LE(g_shown, heldPicture + 4);

  // Seeked to 1:30: a picture within a key frame's interval of it, and a label that agrees.
  SendMessageA(d, device::widgets::kMsgSliderMoving, 1007, 90);
  SendMessageA(d, device::widgets::kMsgSliderReleased, 1007, 90);
  EXPECT_TRUE(Pump(5000, [] { return g_shown >= 89 && g_shown <= 92; })) << g_shown;
  Pump(1200);
  EXPECT_LE(std::abs(LabelSeconds(d) - g_shown), 1) << Label(d) << " shows " << g_shown;

  testing::internal::CaptureStdout();
  SendMessageA(d, WM_CLOSE, 0, 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("PlayBackDestroy---------"),
            std::string::npos);
  TheDesktop().Drain();
}

}  // namespace
