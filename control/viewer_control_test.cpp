#include "control/viewer_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "control/grid.h"
#include "control/session_run.h"
#include "control/viewer_test_support.h"
#include "control/viewer_window.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/test_support.h"
#include "platform/ui/ui.h"

namespace {

using control::ViewerControl;
using control_test::LoopbackDvr;
using control_test::PumpFor;
using control_test::TestLibrary;

constexpr int kWidth = 1024;
constexpr int kHeight = 600;

std::vector<std::pair<std::string, std::string>> g_prompts;
int RecordPrompt(HWND, LPCSTR text, LPCSTR caption, UINT) {
  g_prompts.emplace_back(text ? text : "", caption ? caption : "");
  return IDOK;
}

class ViewerControlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    display_ = platform::display::Display::CreateHeadless(1280, 720, &error).release();
    ASSERT_NE(display_, nullptr) << error;
    platform::gdi::InstallDcProvider();
    platform::ui::test::RegisterRecorders();
  }

  void SetUp() override {
    g_prompts.clear();
    SetPromptHandler(&RecordPrompt);
    dir_ = control_test::MakeTempDir();
    library_ = std::make_unique<TestLibrary>(dir_);
    parent_ = platform::ui::test::MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 0, 0, kWidth,
                                             kHeight, nullptr);
  }

  void TearDown() override {
    if (IsWindow(parent_)) DestroyWindow(parent_);
    controls_.clear();
    platform::ui::test::Drain();
    SetPromptHandler(nullptr);
    std::filesystem::remove_all(dir_);
  }

  // A control with the given page properties, its window built over the parent.
  ViewerControl* Make(std::map<std::string, std::string> page, int port = 554,
                      UINT period_ms = control::kReconnectPeriodMs) {
    auto c = std::make_unique<ViewerControl>(*library_);
    c->SetRtspPort(port);
    c->SetReconnectPeriodForTest(period_ms);
    if (!page.count("DvrAddr")) page["DvrAddr"] = "127.0.0.1";
    c->LoadSettings([&](const char* name) { return page.count(name) ? page[name] : ""; });
    RECT area{0, 0, kWidth, kHeight};
    window_ = control::CreateViewerWindow(c.get(), parent_, area);
    controls_.push_back(std::move(c));
    return controls_.back().get();
  }

  bool Visible(int i) { return IsWindowVisible(library_->made.at(i)->GetSafeHwnd()); }

  // The window's rectangle in the control's client coordinates.
  RECT Placed(int i) {
    RECT r;
    GetWindowRect(library_->made.at(i)->GetSafeHwnd(), &r);
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    OffsetRect(&r, -origin.x, -origin.y);
    return r;
  }

  static bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }

  static platform::display::Display* display_;
  std::string dir_;
  std::unique_ptr<TestLibrary> library_;
  HWND parent_ = nullptr;
  HWND window_ = nullptr;
  std::vector<std::unique_ptr<ViewerControl>> controls_;
};

platform::display::Display* ViewerControlTest::display_ = nullptr;

TEST_F(ViewerControlTest, FourChannelsFillATwoByTwoGrid) {
  ViewerControl* c = Make({{"DvrChnNum", "4"}, {"DefChShow", "-1"}, {"sipName", "dvr7"}});
  ASSERT_EQ(c->initialised(), 1);
  EXPECT_EQ(c->columns(), 2);
  ASSERT_EQ(library_->made.size(), 4u);
  EXPECT_EQ(c->singleView(), 0);
  RECT client{0, 0, kWidth, kHeight};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(Visible(i)) << i;
    EXPECT_TRUE(Same(Placed(i), grid::Cell(client, 2, i))) << i;
    EXPECT_TRUE(Same(c->cellRect(i), grid::Cell(client, 2, i))) << i;
    EXPECT_EQ(library_->made[i]->ChannelId(), i);
    EXPECT_EQ(library_->made[i]->opened_width, 352);
    EXPECT_EQ(library_->made[i]->opened_height, 288);
    ASSERT_NE(c->session(i), nullptr);
    EXPECT_EQ(c->session(i)->channelNumber, i);
  }
  EXPECT_EQ(c->session(4), nullptr);
  EXPECT_EQ(library_->sip_name, "dvr7");
  EXPECT_EQ(library_->cap_chn, 0);
  EXPECT_EQ(library_->panel_clears, 1);
  // The panel's strip stays clear of channel windows.
  for (int i = 0; i < 4; ++i) EXPECT_LE(Placed(i).right, kWidth - grid::kPanelWidth);
}

TEST_F(ViewerControlTest, FiveToNineChannelsUseThreeByThreeWithEmptyCells) {
  for (int count : {5, 8}) {
    library_->made.clear();
    ViewerControl* c = Make({{"DvrChnNum", std::to_string(count)}, {"DefChShow", "-1"}});
    EXPECT_EQ(c->columns(), 3) << count;
    EXPECT_EQ(static_cast<int>(library_->made.size()), count);
    RECT client{0, 0, kWidth, kHeight};
    EXPECT_TRUE(Same(Placed(count - 1), grid::Cell(client, 3, count - 1)));
    // The cells after the last channel stay empty: no window reaches into them.
    for (int cell = count; cell < 9; ++cell) {
      RECT empty = grid::Cell(client, 3, cell);
      for (int i = 0; i < count; ++i) {
        RECT r = Placed(i);
        EXPECT_TRUE(r.right <= empty.left || r.left >= empty.right || r.bottom <= empty.top ||
                    r.top >= empty.bottom)
            << count << " channels: window " << i << " in cell " << cell;
      }
    }
    DestroyWindow(window_);
  }
}

TEST_F(ViewerControlTest, CountsOutsideTheSessionTableAreHeldToIt) {
  ViewerControl* c = Make({{"DvrChnNum", "12"}, {"DefChShow", "-1"}});
  EXPECT_EQ(c->channelCount(), control::kMaxChannels);
  EXPECT_EQ(library_->made.size(), 8u);
  EXPECT_EQ(c->columns(), 3);
  DestroyWindow(window_);
  library_->made.clear();
  c = Make({{"DvrChnNum", ""}, {"DefChShow", "-1"}});
  EXPECT_EQ(c->channelCount(), 1);
  EXPECT_EQ(c->columns(), 1);
}

TEST_F(ViewerControlTest, WithoutDefChShowTheFirstChannelIsEnlarged) {
  ViewerControl* c = Make({{"DvrChnNum", "4"}});
  EXPECT_EQ(c->singleView(), 1);
  EXPECT_EQ(c->currentChannel(), 0);
  EXPECT_TRUE(Visible(0));
  for (int i = 1; i < 4; ++i) EXPECT_FALSE(Visible(i)) << i;
  RECT client{0, 0, kWidth, kHeight};
  EXPECT_TRUE(Same(Placed(0), grid::Enlarged(client)));
  // Show all: back to the grid.
  SendMessageA(window_, control::kClickMessage, static_cast<WPARAM>(-1), 1);
  EXPECT_EQ(c->singleView(), 0);
  EXPECT_TRUE(Same(Placed(0), grid::Cell(client, 2, 0)));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Visible(i)) << i;
}

TEST_F(ViewerControlTest, DefaultChannelSelectsAndEnlargesItsWindow) {
  ViewerControl* c = Make({{"DvrChnNum", "4"}, {"DefChShow", "2"}});
  EXPECT_EQ(c->currentChannel(), 2);
  EXPECT_EQ(c->singleView(), 1);
  EXPECT_TRUE(Visible(2));
  EXPECT_FALSE(Visible(0));
  EXPECT_TRUE(Same(Placed(2), grid::Enlarged(RECT{0, 0, kWidth, kHeight})));
}

TEST_F(ViewerControlTest, DefChShowFiveWithFourChannelsLeavesTheGrid) {
  ViewerControl* c = Make({{"DvrChnNum", "4"}, {"DefChShow", "5"}});
  EXPECT_EQ(c->singleView(), 0);
  EXPECT_EQ(c->currentChannel(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Visible(i)) << i;
  // A channel the grid does not have, below the limit of eight: the grid stays too.
  library_->made.clear();
  c = Make({{"DvrChnNum", "2"}, {"DefChShow", "6"}});
  EXPECT_EQ(c->singleView(), 0);
  EXPECT_TRUE(Visible(0));
  EXPECT_TRUE(Visible(1));
}

TEST_F(ViewerControlTest, LangOtherThanLowerCaseEnSelectsTheSecondLanguage) {
  Make({{"Lang", "EN"}, {"DvrChnNum", "1"}});
  EXPECT_EQ(ViewerControl::Language(), 1);
  // The messages come from the Chinese table, in GBK: "抓拍失败，没有视频", "提示信息".
  SendMessageA(window_, control::kSelectMessage, 0, control::kSnapshotRequest);
  ASSERT_EQ(g_prompts.size(), 1u);
  EXPECT_EQ(g_prompts[0].first,
            "\xD7\xA5\xC5\xC4\xCA\xA7\xB0\xDC\xA3\xAC\xC3\xBB\xD3\xD0\xCA\xD3\xC6\xB5");
  EXPECT_EQ(g_prompts[0].second, "\xCC\xE1\xCA\xBE\xD0\xC5\xCF\xA2");
  Make({{"Lang", "en"}, {"DvrChnNum", "1"}, {"RelayState", "3"}});
  EXPECT_EQ(ViewerControl::Language(), 0);
  EXPECT_EQ(ViewerControl::RelayState(), 3);
}

TEST_F(ViewerControlTest, ShowRequestsAndSelections) {
  ViewerControl* c = Make({{"DvrChnNum", "4"}, {"DefChShow", "-1"}});
  SendMessageA(window_, control::kClickMessage, static_cast<WPARAM>(-3), 0);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Visible(i)) << "-3 must be ignored";
  EXPECT_EQ(c->singleView(), 0);
  SendMessageA(window_, control::kSelectMessage, 3, 0);
  EXPECT_EQ(c->currentChannel(), 3);
  SendMessageA(window_, control::kSelectMessage, static_cast<WPARAM>(-1), 1);
  EXPECT_EQ(c->currentChannel(), 3);
  SendMessageA(window_, control::kClickMessage, 1, 0);  // one window, no relayout
  EXPECT_FALSE(Visible(1));
  SendMessageA(window_, control::kClickMessage, static_cast<WPARAM>(-1), 0);  // hide all
  EXPECT_EQ(c->singleView(), 1);
  SendMessageA(window_, control::kClickMessage, static_cast<WPARAM>(-2), 1);  // current
  EXPECT_TRUE(Visible(3));
  EXPECT_TRUE(Same(Placed(3), grid::Enlarged(RECT{0, 0, kWidth, kHeight})));
  SendMessageA(window_, control::kSelectMessage, 0, 1);  // no selection in single view
  EXPECT_EQ(c->currentChannel(), 3);
}

TEST_F(ViewerControlTest, ResizeLaysTheGridOutAgain) {
  ViewerControl* c = Make({{"DvrChnNum", "4"}, {"DefChShow", "-1"}});
  MoveWindow(window_, 0, 0, 800, 500, TRUE);
  RECT client{0, 0, 800, 500};
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Same(c->cellRect(i), grid::Cell(client, 2, i))) << i;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    PumpFor(20);
  }
  return done();
}

TEST_F(ViewerControlTest, PreviewZeroStartsTheChannelsAtTheFirstTick) {
  LoopbackDvr dvr;
  ViewerControl* c = Make({{"DvrChnNum", "4"}, {"Preview", "0"}}, dvr.Port(), 400);
  PumpFor(150);
  EXPECT_EQ(dvr.Plays("/1.live"), 0);
  EXPECT_EQ(library_->made[0]->starts, 0);
  ASSERT_TRUE(WaitFor([&] { return dvr.Plays("/4.live") == 1; }, 3000));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(dvr.Plays("/" + std::to_string(i + 1) + ".live"), 1) << i;
    EXPECT_EQ(library_->made[i]->starts, 1) << i;
  }
  EXPECT_TRUE(WaitFor([&] { return c->session(3)->running != 0; }, 2000));
}

TEST_F(ViewerControlTest, StopAllChannelsIsUndoneByTheNextTick) {
  LoopbackDvr dvr;
  ViewerControl* c = Make({{"DvrChnNum", "2"}, {"Preview", "1"}}, dvr.Port(), 600);
  ASSERT_TRUE(WaitFor([&] { return c->session(0)->running && c->session(1)->running; }, 3000));
  c->StopAllChannels();
  EXPECT_EQ(library_->made[0]->decoding, 0);
  EXPECT_EQ(c->session(0)->running, 0);
  ASSERT_TRUE(WaitFor([&] { return dvr.Teardowns() == 2; }, 3000));
  // The next tick starts both again; on a loaded machine they may come some ticks apart.
  ASSERT_TRUE(
      WaitFor([&] { return dvr.Plays("/1.live") == 2 && dvr.Plays("/2.live") == 2; }, 5000));
  EXPECT_TRUE(WaitFor([&] { return library_->made[0]->decoding == 1; }, 2000));
  // Running sessions are not started twice by the following ticks.
  PumpFor(700);
  EXPECT_EQ(dvr.Plays("/1.live"), 2);
}

TEST_F(ViewerControlTest, SnapshotNeedsARunningChannel) {
  LoopbackDvr dvr;
  ViewerControl* c = Make({{"DvrChnNum", "2"}, {"DefChShow", "-1"}, {"Lang", "en"}}, dvr.Port());
  SendMessageA(window_, control::kSelectMessage, 1, control::kSnapshotRequest);
  ASSERT_EQ(g_prompts.size(), 1u);
  EXPECT_EQ(g_prompts[0].first, "capture failed,no video");
  EXPECT_EQ(g_prompts[0].second, "prompt info");
  EXPECT_EQ(library_->made[1]->snaps, 0);
  c->StartStoppedChannels();
  ASSERT_TRUE(WaitFor([&] { return c->session(1)->running != 0; }, 3000));
  SendMessageA(window_, control::kSelectMessage, 1, control::kSnapshotRequest);
  ASSERT_EQ(g_prompts.size(), 2u);
  EXPECT_EQ(g_prompts[1].first, "success,picture store in:");
  EXPECT_EQ(library_->made[1]->snaps, 1);
  EXPECT_EQ(library_->cap_chn, 1);
  // Indexes outside the grid, on either side, have no channel to capture.
  for (int outside : {7, -1}) {
    SendMessageA(window_, control::kSelectMessage, static_cast<WPARAM>(outside),
                 control::kSnapshotRequest);
    EXPECT_EQ(g_prompts.back().first, "capture failed,no video") << outside;
  }
  EXPECT_EQ(g_prompts.size(), 4u);
}

TEST_F(ViewerControlTest, CaptureDirectoryComesFromConfigTxtWrittenByAChange) {
  ViewerControl* c = Make({{"DvrChnNum", "2"}, {"DefChShow", "-1"}});
  EXPECT_EQ(c->captureDir(), dir_ + "capture/");
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "capture/"));
  // Once, then once per channel.
  EXPECT_EQ(library_->capture_paths.size(), 3u);
  std::string chosen = dir_ + "shots";
  ASSERT_TRUE(c->ChangeCaptureDir(chosen));
  std::ifstream file(dir_ + "config.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(text, "play_back_rec_cap_dir:" + chosen);
  DestroyWindow(window_);
  ViewerControl* next = Make({{"DvrChnNum", "2"}, {"DefChShow", "-1"}});
  EXPECT_EQ(next->captureDir(), chosen);
  EXPECT_TRUE(std::filesystem::is_directory(chosen));
  EXPECT_EQ(library_->GetCapturePath(), chosen);
}

TEST_F(ViewerControlTest, FirstControlSetsUpTheLibraryAndTheLastReleasesIt) {
  int before = ViewerControl::InstanceCount();
  ASSERT_EQ(before, 0);
  {
    ViewerControl a(*library_);
    ViewerControl b(*library_);
    EXPECT_EQ(ViewerControl::InstanceCount(), 2);
    EXPECT_EQ(library_->inits, 1);
    EXPECT_EQ(CVideoWnd::GetClickMessage(), 1224u);
    EXPECT_EQ(CVideoWnd::GetSelectMessage(), 1225u);
    EXPECT_EQ(CVideoWnd::GetVideoWinColor(), 0x000000u);
    EXPECT_EQ(CVideoWnd::GetFocusWinColor(), 0x00FF00u);
  }
  EXPECT_EQ(ViewerControl::InstanceCount(), 0);
  EXPECT_EQ(library_->uninits, 1);
}

TEST_F(ViewerControlTest, WindowDestructionEndsEverySessionWithItsLines) {
  LoopbackDvr dvr;
  ViewerControl* c = Make({{"DvrChnNum", "3"}, {"Preview", "1"}}, dvr.Port());
  ASSERT_TRUE(WaitFor([&] { return c->session(2)->running != 0; }, 3000));
  testing::internal::CaptureStdout();
  DestroyWindow(window_);
  std::fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  size_t a = out.find("WM_DESTROY---------------\n");
  size_t b = out.find("DestroyWindow-------\n");
  size_t e = out.find("end active ctrl!\n");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  ASSERT_NE(e, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, e);
  EXPECT_EQ(dvr.Teardowns(), 3);
  EXPECT_EQ(c->session(0), nullptr);
  EXPECT_EQ(c->channel(0), nullptr);
  EXPECT_TRUE(Same(c->cellRect(0), RECT{0, 0, 0, 0}));
  EXPECT_EQ(c->initialised(), 0);
}

TEST_F(ViewerControlTest, OnlyOnePlaybackChannelAtATime) {
  LoopbackDvr dvr;
  ViewerControl* c = Make({{"DvrChnNum", "1"}, {"DefChShow", "-1"}});
  HWND dialog = platform::ui::test::MakeWindow("Recorder", WS_POPUP | WS_VISIBLE, 100, 100, 400,
                                               400, nullptr);
  std::string url = "rtsp://127.0.0.1:" + std::to_string(dvr.Port()) + "/1_2_3_4_5_6_.avi";
  ASSERT_EQ(c->CreatePlaybackChannel(dialog, url), 0);
  ASSERT_NE(c->playbackSession(), nullptr);
  EXPECT_EQ(c->playbackSession()->channelNumber, 33);
  EXPECT_EQ(c->playbackSession()->isPlayback, 1);
  control_test::WindowChannel* pb = library_->made.back();
  EXPECT_EQ(pb->ChannelId(), 33);
  EXPECT_EQ(pb->m_bTitle, 0);
  EXPECT_EQ(pb->starts, 1);
  RECT r;
  GetWindowRect(pb->GetSafeHwnd(), &r);
  EXPECT_EQ(r.bottom - r.top, 300);
  EXPECT_EQ(c->CreatePlaybackChannel(dialog, url), -1);
  ASSERT_FALSE(g_prompts.empty());
  EXPECT_EQ(g_prompts.back().first, "chn is created!\n");
  ASSERT_TRUE(WaitFor([&] { return dvr.Plays("/1_2_3_4_5_6_.avi") == 1; }, 3000));
  c->StopPlayback();
  EXPECT_EQ(c->playbackSession(), nullptr);
  EXPECT_EQ(dvr.Teardowns(), 1);
  DestroyWindow(dialog);
}

}  // namespace

namespace {

// A run's stop waits a bounded time; a thread that is still there then keeps its record.
TEST(SessionRunStop, AStopHasABoundAndARecordInUseIsNotFreed) {
  static std::atomic<bool> release{false};
  auto session = std::make_unique<RtspSession>();
  session->running = 1;
  session->threadHandle = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0,
      [](void*) -> unsigned {
        while (!release) Sleep(5);  // ignores the stop, as a run stuck in a call would
        return 0;
      },
      nullptr, 0, nullptr));
  ASSERT_NE(session->threadHandle, nullptr);
  testing::internal::CaptureStdout();
  const DWORD start = GetTickCount();
  EXPECT_FALSE(control::StopRun(session.get(), 300));
  EXPECT_LT(GetTickCount() - start, 1500u);
  EXPECT_EQ(session->running, 0);
  std::string output = testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("did not end within 300 ms; left to finish"), std::string::npos);
  // Released, the thread ends, and the next stop joins it.
  release = true;
  EXPECT_TRUE(control::StopRun(session.get(), 3000));
  EXPECT_EQ(session->threadHandle, nullptr);
  control::EndRun(&session);
  EXPECT_EQ(session, nullptr);
}

}  // namespace
