// The picture adjustment dialog on the headless display against a DVR that is a UDP socket
// on loopback, answered from its own thread while the dialog's thread blocks in its reads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "device/lang/lang_table.h"
#include "device/ptz/image_adjust_dlg.h"
#include "device/ptz/ptz_values.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/net/net.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/dialog.h"
#include "platform/ui/paint.h"
#include "platform/ui/ui.h"

namespace device::ptz {
namespace {

using Bytes = std::vector<int>;

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// The DVR's side: answers each get (command 56, operation 0) with the channel's settings
// after the channel's delay, and each set with the values it was given, as a DVR that
// confirms; keeps every datagram's payload.
class FakeDvr {
 public:
  FakeDvr() {
    sock_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(sock_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int length = sizeof a;
    getsockname(sock_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakeDvr() {
    stop_ = true;
    thread_.join();
    closesocket(sock_);
  }
  int port() const { return port_; }
  void Settings(int channel, Bytes values, int delayMs = 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_[channel] = {std::move(values), delayMs};
  }
  std::vector<Bytes> Payloads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return payloads_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    payloads_.clear();
  }
  // The sets received, as {channel, colour, contrast, luminance, saturation}.
  std::vector<Bytes> Sets() {
    std::vector<Bytes> sets;
    for (const Bytes& p : Payloads()) {
      if (p.size() == 8 && p[0] == 1) {
        sets.push_back({p[1], p[4], p[5], static_cast<int8_t>(p[6]), p[7]});
      }
    }
    return sets;
  }

 private:
  struct Channel {
    Bytes values;
    int delayMs = 0;
  };
  void Serve() {
    while (!stop_) {
      WSAPOLLFD p{sock_, POLLIN, 0};
      if (WSAPoll(&p, 1, 50) <= 0) continue;
      uint8_t buffer[256];
      sockaddr_in from{};
      int length = sizeof from;
      int n = recvfrom(sock_, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                       reinterpret_cast<sockaddr*>(&from), &length);
      if (n < 20) continue;
      int32_t command;
      std::memcpy(&command, buffer, 4);
      Bytes payload(buffer + 20, buffer + n);
      Channel answer;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        payloads_.push_back(payload);
        if (command != 56 || payload.size() < 4) continue;
        if (payload[0] == 0) {
          answer = settings_[payload[1]];
        } else if (payload.size() == 8) {
          answer.values = {payload[4], payload[5], payload[6], payload[7]};
        }
      }
      if (answer.values.size() != 4) continue;
      std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
      uint8_t reply[28] = {};
      int32_t words[5] = {56, 1, 1, 1, 8};
      std::memcpy(reply, words, sizeof words);
      reply[21] = static_cast<uint8_t>(payload[1]);
      for (int i = 0; i < 4; ++i) reply[24 + i] = static_cast<uint8_t>(answer.values[i]);
      sendto(sock_, reinterpret_cast<const char*>(reply), sizeof reply, 0,
             reinterpret_cast<const sockaddr*>(&from), sizeof from);
    }
  }

  SOCKET sock_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::map<int, Channel> settings_;  // guarded by mutex_
  std::vector<Bytes> payloads_;      // guarded by mutex_
};

class ImageAdjustTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = platform::display::Display::CreateHeadless(1024, 768, &error);
    ASSERT_NE(display_, nullptr) << error;
    platform::gdi::InstallDcProvider();
    lang::SelectLanguage(lang::kEnglish);
  }
  void TearDown() override {
    dialog_.reset();
    Pump();
    display_.reset();
  }
  void Open(int channels) {
    dialog_ =
        std::make_unique<imageadjust>(ImageAdjustSettings{"127.0.0.1", channels, dvr_.port()});
    ASSERT_TRUE(dialog_->Create(nullptr));
    Pump();
  }
  HWND Item(int id) const { return GetDlgItem(dialog_->m_hWnd, id); }
  std::string Label(int id) const {
    char text[32] = {};
    GetWindowTextA(Item(id), text, sizeof text);
    return text;
  }
  Bytes Labels() const {
    Bytes b;
    for (int id = 211; id <= 214; ++id) b.push_back(std::stoi(Label(id)));
    return b;
  }
  void Choose(int channelIndex) {
    SendDlgItemMessageA(dialog_->m_hWnd, 309, CB_SETCURSEL, channelIndex, 0);
    SendMessageA(dialog_->m_hWnd, WM_COMMAND, MAKEWPARAM(309, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(309)));
  }
  void Click(int id) {
    RECT r;
    GetWindowRect(Item(id), &r);
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    auto& input = display_->input();
    input.MoveTo(x, y);
    Pump();
    input.Press(platform::display::Button::kLeft, x, y);
    input.Release(platform::display::Button::kLeft, x, y);
    input.Wait(700);
    Pump();
  }
  // As a script's "slide": the thumb's middle dragged to the value's point of the channel.
  void Slide(int id, int value) {
    HWND bar = Item(id);
    int low = static_cast<int>(SendMessageA(bar, TBM_GETRANGEMIN, 0, 0));
    int high = static_cast<int>(SendMessageA(bar, TBM_GETRANGEMAX, 0, 0));
    RECT thumb{}, channel{};
    SendMessageA(bar, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    SendMessageA(bar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    POINT from{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    POINT to{channel.left + (value - low) * (channel.right - channel.left) / (high - low), from.y};
    ClientToScreen(bar, &from);
    ClientToScreen(bar, &to);
    auto& input = display_->input();
    input.MoveTo(from.x, from.y);
    Pump();  // a button left hovered gives the mouse up
    input.Press(platform::display::Button::kLeft, from.x, from.y);
    input.MoveTo(to.x, to.y);
    input.Release(platform::display::Button::kLeft, to.x, to.y);
    input.Wait(700);
    Pump();
  }
  // Waits for the DVR to have `count` sets.
  std::vector<Bytes> Sets(size_t count) {
    for (int i = 0; i < 200 && dvr_.Sets().size() < count; ++i) Sleep(10);
    return dvr_.Sets();
  }

  std::unique_ptr<platform::display::Display> display_;
  FakeDvr dvr_;
  std::unique_ptr<imageadjust> dialog_;
};

TEST_F(ImageAdjustTest, ReadsTheChannelShowsPresetsAndSendsWhatTheSlidersSay) {
  dvr_.Settings(0, {10, 20, static_cast<uint8_t>(-30), 40});
  dvr_.Settings(2, {1, 2, 3, 4});
  Open(4);
  // The ranges, and channel 1's settings read on opening; the window painted since.
  const std::pair<int, int> ranges[] = {{0, 255}, {0, 255}, {-128, 127}, {0, 255}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(SendMessageA(Item(304 + i), TBM_GETRANGEMIN, 0, 0), ranges[i].first);
    EXPECT_EQ(SendMessageA(Item(304 + i), TBM_GETRANGEMAX, 0, 0), ranges[i].second);
  }
  EXPECT_EQ(Labels(), (Bytes{10, 20, -30, 40}));
  EXPECT_EQ(SendMessageA(Item(306), TBM_GETPOS, 0, 0), -30);
  RECT dirty;
  EXPECT_FALSE(GetUpdateRect(dialog_->m_hWnd, &dirty, FALSE));
  ASSERT_EQ(dvr_.Payloads().size(), 1u);
  EXPECT_EQ(dvr_.Payloads()[0], (Bytes{0, 0, 0, 0}));
  // Channel 3 chosen: its get with index 2.
  Choose(2);
  EXPECT_EQ(dvr_.Payloads().back(), (Bytes{0, 2, 0, 0}));
  EXPECT_EQ(Labels(), (Bytes{1, 2, 3, 4}));
  // "backlighting": -60 shown and the four values sent for channel index 2.
  Click(314);
  EXPECT_EQ(Label(213), "-60");
  EXPECT_EQ(Sets(1).back(), (Bytes{2, 0, 120, -60, 128}));
  // A slider dragged and let go: the value it shows is the one sent, with the other three.
  Slide(305, 200);
  auto sets = Sets(2);
  ASSERT_EQ(sets.size(), 2u);
  const int contrast = std::stoi(Label(212));
  EXPECT_NEAR(contrast, 200, 1);
  EXPECT_EQ(sets[1], (Bytes{2, 0, contrast, -60, 128}));
  // A set to a value past the range is impossible from the sliders: TBM_SETPOS clamps.
  SendMessageA(Item(306), TBM_SETPOS, TRUE, 500);
  EXPECT_EQ(SendMessageA(Item(306), TBM_GETPOS, 0, 0), 127);
}

TEST_F(ImageAdjustTest, CopyGoesToTheCheckedChannelsOnlyAndFourChannelsHideTheRest) {
  dvr_.Settings(0, {0, 100, 0, 128});
  Open(8);
  RECT copy8;
  GetWindowRect(Item(199), &copy8);
  for (int id = 191; id <= 198; ++id) EXPECT_TRUE(IsWindowVisible(Item(id))) << id;
  dialog_.reset();
  dvr_.Clear();
  dvr_.Settings(1, {9, 9, 9, 9});
  Open(4);
  for (int id = 191; id <= 198; ++id) EXPECT_EQ(IsWindowVisible(Item(id)) != 0, id <= 194) << id;
  RECT copy4;
  GetWindowRect(Item(199), &copy4);
  EXPECT_EQ(copy4.top, copy8.top - 30);
  EXPECT_EQ(copy4.left, copy8.left);
  // Every box starts checked; "all" cleared clears them, checked checks them.
  for (int id : {191, 192, 193, 194, 202}) EXPECT_EQ(IsDlgButtonChecked(dialog_->m_hWnd, id), 1u);
  Click(202);
  for (int id = 191; id <= 194; ++id) EXPECT_EQ(IsDlgButtonChecked(dialog_->m_hWnd, id), 0u);
  // Channels 1 and 4 checked, channel 2 selected: sets for indices 0 and 3 only.
  Choose(1);
  Click(191);
  Click(194);
  dvr_.Clear();
  Click(199);
  auto sets = Sets(2);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0], (Bytes{0, 9, 9, 9, 9}));
  EXPECT_EQ(sets[1], (Bytes{3, 9, 9, 9, 9}));
  // The DVR's answers to those sets wait on the socket; choosing channel 1 shows channel 1's
  // settings, not a set's answer.
  Choose(0);
  EXPECT_EQ(Labels(), (Bytes{0, 100, 0, 128}));
}

TEST_F(ImageAdjustTest, AnAnswerLaterThanTheWaitChangesNothingThenOrAfter) {
  dvr_.Settings(0, {5, 6, 7, 8});
  dvr_.Settings(1, {50, 60, 70, 80}, 2500);
  Open(4);
  EXPECT_EQ(Labels(), (Bytes{5, 6, 7, 8}));
  const auto start = std::chrono::steady_clock::now();
  Choose(1);  // no answer within 2 s: the values stay
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(1900));
  EXPECT_EQ(Labels(), (Bytes{5, 6, 7, 8}));
  RECT dirty;
  EXPECT_FALSE(GetUpdateRect(dialog_->m_hWnd, &dirty, FALSE));
  Sleep(800);  // channel 2's answer has arrived by now, late
  dvr_.Settings(0, {11, 12, 13, 14});
  Choose(0);
  EXPECT_EQ(Labels(), (Bytes{11, 12, 13, 14}));
  // A get that cannot be sent (no dotted address) is not waited for.
  dialog_ = std::make_unique<imageadjust>(ImageAdjustSettings{"no-address", 4, dvr_.port()});
  const auto opened = std::chrono::steady_clock::now();
  ASSERT_TRUE(dialog_->Create(nullptr));
  EXPECT_LT(std::chrono::steady_clock::now() - opened, std::chrono::milliseconds(1500));
  EXPECT_EQ(Labels(), (Bytes{0, 0, -128, 0}));
}

TEST(PtzValues, ButtonsRepliesAndPresets) {
  const int actions[15] = {5, 1, 6, 3, 0, 4, 7, 2, 8, 9, 10, 11, 12, 13, 14};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(PtzActionFor(1015 + i), actions[i]) << 1015 + i;
  EXPECT_FALSE(PtzActionFor(1014));
  EXPECT_FALSE(PtzActionFor(1030));
  // A reply no combo can show is refused, not shown as a wrong selection.
  for (PtzConfig bad :
       {PtzConfig{0, 1, 2, 5, 10, 3}, PtzConfig{0, 1, 0, 0, 10, 3}, PtzConfig{0, 1, 0, 128, 10, 3},
        PtzConfig{0, 1, 0, 5, 64, 3}, PtzConfig{0, 1, 0, 5, 10, 0}, PtzConfig{0, 1, 0, 5, 10, 8}}) {
    EXPECT_FALSE(SelectionOf(bad));
  }
  auto s = SelectionOf(PtzConfig{0, 1, 1, 127, 63, 7});
  ASSERT_TRUE(s);
  EXPECT_EQ((Bytes{s->protocol, s->addressIndex, s->speedIndex, s->baudIndex}),
            (Bytes{1, 126, 62, 6}));
  ImageSettings set = ImageSet(3, {-5, 300, -200, 128});
  EXPECT_EQ(
      (Bytes{set.operation, set.channel, set.colour, set.contrast, set.luminance, set.saturation}),
      (Bytes{1, 3, 0, 255, -128, 128}));
}

}  // namespace
}  // namespace device::ptz
