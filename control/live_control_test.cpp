// The control over the library's own channels: a snapshot request on a running channel
// gives a BMP file of the next decoded picture in the capture directory.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "control/live_channel.h"
#include "control/viewer_control.h"
#include "control/viewer_test_support.h"
#include "control/viewer_window.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/h264dec/test_clip.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/test_support.h"
#include "platform/ui/ui.h"

namespace {

std::vector<std::string> g_texts;
int RecordPrompt(HWND, LPCSTR text, LPCSTR, UINT) {
  g_texts.emplace_back(text ? text : "");
  return IDOK;
}

std::vector<std::filesystem::path> Bmps(const std::string& dir) {
  std::vector<std::filesystem::path> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".bmp") found.push_back(entry.path());
  }
  return found;
}

void Produce(CChannel* channel, const h264test::Clip& clip) {
  for (const auto& frame : clip.frames) {
    std::vector<uint8_t> bytes;
    for (const auto& nal : frame) bytes.insert(bytes.end(), nal.begin(), nal.end());
    channel->PutOneFrame(bytes.data(), static_cast<int>(bytes.size()));
  }
}

TEST(LiveControl, SnapshotRequestWritesTheNextPictureAsBmp) {
  std::string error;
  auto display = platform::display::Display::CreateHeadless(1280, 720, &error);
  ASSERT_NE(display, nullptr) << error;
  platform::gdi::InstallDcProvider();
  platform::ui::test::RegisterRecorders();
  SetPromptHandler(&RecordPrompt);
  control_test::LoopbackDvr dvr;
  control::VideoLibrary library;
  std::string dir = control_test::MakeTempDir();
  {
    control::ViewerControl c(library);
    c.SetRtspPort(dvr.Port());
    std::map<std::string, std::string> page = {{"DvrAddr", "127.0.0.1"}, {"DvrChnNum", "2"},
                                               {"Preview", "1"},         {"sipName", "dvr9"},
                                               {"DefChShow", "-1"},      {"Lang", "en"}};
    c.LoadSettings([&](const char* name) { return page.count(name) ? page[name] : ""; });
    HWND parent =
        platform::ui::test::MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 600, nullptr);
    ASSERT_NE(control::CreateViewerWindow(&c, parent, RECT{0, 0, 1024, 600}), nullptr);
    CChannel::SetCapturePath(dir + "shots");
    std::filesystem::create_directory(dir + "shots");
    for (int i = 0; i < 200 && c.session(1)->running == 0; ++i) control_test::PumpFor(10);
    ASSERT_NE(c.session(1)->running, 0);

    SendMessageA(c.window(), control::kSelectMessage, 1, control::kSnapshotRequest);
    ASSERT_EQ(g_texts.size(), 1u);
    EXPECT_EQ(g_texts[0], "success,picture store in:");
    static const h264test::Clip clip = h264test::MakeClip(176, 144, 6);
    std::thread producer([&] { Produce(c.session(1)->channel, clip); });
    for (int i = 0; i < 500 && Bmps(dir + "shots").empty(); ++i) control_test::PumpFor(10);
    producer.join();
    control_test::PumpFor(100);
    DestroyWindow(parent);
  }
  auto files = Bmps(dir + "shots");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(
      std::regex_match(files[0].filename().string(), std::regex(R"(dvr9_CH2_\d{8}_\d{9}\.bmp)")))
      << files[0];
  std::ifstream file(files[0], std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), {});
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(bytes.size(), 54u + 176 * 144 * 3);
  SetPromptHandler(nullptr);
  std::filesystem::remove_all(dir);
}

}  // namespace
