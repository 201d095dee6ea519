// The control panel of the build (DEVICE_NPAPI_BUILD tells which) on the headless display,
// clicked with the mouse, against a DVR that is a UDP socket on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "device/lang/lang_table.h"
#include "device/panel/right_plan_dlg.h"
#include "device/protocol/panel_receiver.h"
#include "device/ptz/ptz_set_dlg.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/net/net.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

namespace device::panel {
namespace {

std::vector<std::string> g_prompts;  // texts of the message boxes, on the test's thread

int RecordPrompt(HWND, LPCSTR text, LPCSTR, UINT) {
  g_prompts.push_back(text);
  return IDOK;
}

class FakeHost : public PanelHost {
 public:
  void StartStoppedChannels() override { ++starts; }
  void StopAllChannels() override { ++stops; }
  std::string CapturePath() const override { return "/tmp/shots/"; }
  bool ChangeCaptureDir(const std::string&) override { return true; }
  int CurrentChannel() const override { return channel; }
  int starts = 0, stops = 0;
  int channel = 0;
};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Pumps until `done` or about `ms` have passed.
template <typename F>
bool PumpUntil(F done, int ms) {
  for (int i = 0; i < ms / 10; ++i) {
    Pump();
    if (done()) return true;
    Sleep(10);
  }
  Pump();
  return done();
}

class PanelTest : public ::testing::Test {
 public:
  void SetUp() override {
    std::string error;
    display_ = platform::display::Display::CreateHeadless(874, 576, &error);
    ASSERT_NE(display_, nullptr) << error;
    platform::gdi::InstallDcProvider();
    SetPromptHandler(&RecordPrompt);
    g_prompts.clear();
    lang::SelectLanguage(lang::kEnglish);
    dvr_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(bind(dvr_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    int length = sizeof a;
    getsockname(dvr_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "PanelTestParent";
    RegisterClassA(&wc);
    parent_ = CreateWindowExA(0, "PanelTestParent", "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                              0, 874, 576, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    panel_.reset();
    if (IsWindow(parent_)) DestroyWindow(parent_);
    closesocket(dvr_);
    SetPromptHandler(nullptr);
    Pump();
  }

  void Open(int relay_state, UINT period_ms = CRightPlanDlg::kStatusPeriodMs, bool control = true) {
    panel_ = std::make_unique<CRightPlanDlg>(control ? &host_ : nullptr);
    panel_->SetCommandPort(port_);
    panel_->SetStatusPeriodForTest(period_ms);
    ASSERT_TRUE(panel_->Create(parent_, PanelSettings{"127.0.0.1", 4, 0, relay_state}));
    panel_->Dock();
    ShowWindow(panel_->m_hWnd, SW_SHOW);
    Pump();
  }

  HWND Item(int id) const { return GetDlgItem(panel_->m_hWnd, id); }

  POINT Centre(int id) const {
    RECT r;
    GetWindowRect(Item(id), &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void Press(int id) {
    POINT p = Centre(id);
    display_->input().MoveTo(p.x, p.y);
    Pump();
    display_->input().Press(platform::display::Button::kLeft, p.x, p.y);
    Pump();
  }
  void ReleaseAt(POINT p) {
    display_->input().MoveTo(p.x, p.y);
    display_->input().Release(platform::display::Button::kLeft, p.x, p.y);
    display_->input().Wait(700);
    Pump();
  }

  // The PtzAction of a command 26 datagram ({} when it is something else).
  static std::vector<int> Action(const std::vector<uint8_t>& d) {
    if (d.size() != 24 || Word(d, 0) != 26 || Word(d, 16) != 4) return {};
    return {d[20], d[21], d[22], d[23]};
  }

  // As a person clicks: onto the control, then down and up.
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

  // The next datagram the DVR receives (empty after `ms`), and where it came from.
  std::vector<uint8_t> Receive(sockaddr_in* from = nullptr, int ms = 2000) {
    std::vector<uint8_t> data;
    bool got = PumpUntil(
        [&] {
          WSAPOLLFD p{dvr_, POLLIN, 0};
          return WSAPoll(&p, 1, 0) > 0;
        },
        ms);
    if (!got) return data;
    data.resize(2048);
    sockaddr_in a{};
    int length = sizeof a;
    int n = recvfrom(dvr_, reinterpret_cast<char*>(data.data()), 2048, 0,
                     reinterpret_cast<sockaddr*>(&a), &length);
    data.resize(n > 0 ? n : 0);
    if (from) *from = a;
    return data;
  }

  static int32_t Word(const std::vector<uint8_t>& d, size_t at) {
    int32_t v = 0;
    if (d.size() >= at + 4) std::memcpy(&v, d.data() + at, 4);
    return v;
  }

  void Reply(const sockaddr_in& to, int32_t command, int32_t value) {
    int32_t words[6] = {command, 1, 1, 1, 4, value};
    sendto(dvr_, reinterpret_cast<const char*>(words), sizeof words, 0,
           reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }

  std::unique_ptr<platform::display::Display> display_;
  SOCKET dvr_ = INVALID_SOCKET;
  int port_ = 0;
  HWND parent_ = nullptr;
  FakeHost host_;
  std::unique_ptr<CRightPlanDlg> panel_;
};

TEST_F(PanelTest, TheBuildsButtonsInTheStrip) {
  Open(0);
  RECT r;
  GetWindowRect(panel_->m_hWnd, &r);
  EXPECT_EQ(r.left, 874 - 170);
  EXPECT_EQ(r.right, 874);
  EXPECT_EQ(r.bottom - r.top, 576);
  for (int id = 1015; id <= 1029; ++id) EXPECT_NE(Item(id), nullptr) << id;
  for (int id : {179, 180, 181, 182, 1001, 1004, 1006, 1008}) EXPECT_NE(Item(id), nullptr) << id;
  EXPECT_EQ(SendMessageA(Item(179), CB_GETCOUNT, 0, 0), 255);
  EXPECT_EQ(SendMessageA(Item(179), CB_GETCURSEL, 0, 0), 0);
  char label[64] = {};
  GetWindowTextA(Item(183), label, sizeof label);
  EXPECT_STREQ(label, "Preset number");
#if DEVICE_NPAPI_BUILD
  for (int id : {246, 203, 1009, 188}) EXPECT_EQ(Item(id), nullptr) << id;
  EXPECT_NE(Item(1030), nullptr);
#else
  for (int id : {246, 203, 1009, 188}) EXPECT_NE(Item(id), nullptr) << id;
  EXPECT_EQ(Item(1030), nullptr);
#endif
}

TEST_F(PanelTest, RefreshOnDemandAndEveryPeriod) {
  Open(0, 400);
  Click(DEVICE_NPAPI_BUILD ? 1030 : 188);
  std::vector<uint8_t> user = Receive();
  ASSERT_EQ(user.size(), 21u);
  EXPECT_EQ(Word(user, 0), 54);
  EXPECT_EQ(Word(user, 16), 1);
  EXPECT_EQ(user[20], 1);
  // Then the timer's, without anything done.
  std::vector<uint8_t> periodic = Receive();
  ASSERT_EQ(periodic.size(), 21u);
  EXPECT_EQ(periodic[20], 2);
  EXPECT_EQ(Receive().size(), 21u);
  // Closing ends the thread and the timer: nothing more is sent.
  panel_->Close();
  EXPECT_EQ(panel_->receiver(), nullptr);
  EXPECT_EQ(panel_->socket(), INVALID_SOCKET);
  EXPECT_TRUE(Receive().empty());
}

TEST_F(PanelTest, PreviewStartsThenStopsTheChannels) {
  Open(0);
  Click(1006);
  EXPECT_EQ(host_.starts, 1);
  EXPECT_TRUE(panel_->preview());
  EXPECT_TRUE(IsWindowEnabled(Item(1006)));
  Click(1006);
  EXPECT_EQ(host_.stops, 1);
  EXPECT_FALSE(panel_->preview());
  EXPECT_EQ(host_.starts, 1);
}

#if DEVICE_NPAPI_BUILD
TEST_F(PanelTest, ARelayReplyIsNotExpectedInThePlugIn) {
  Open(0);
  Click(1030);
  sockaddr_in from{};
  ASSERT_EQ(Receive(&from).size(), 21u);
  Reply(from, 57, 0);
  EXPECT_TRUE(PumpUntil([] { return !g_prompts.empty(); }, 3000));
  ASSERT_EQ(g_prompts.size(), 1u);
  EXPECT_EQ(g_prompts[0], "unknow type");
}
#else
TEST_F(PanelTest, RelayButtonsByTheMaskRuleAndTheReplies) {
  Open(2);
  EXPECT_EQ(CRightPlanDlg::CurrentRelayMask(), 2);
  sockaddr_in from{};
  // Mask 2: output 1's button sends 1, then 0; with mask 1 output 2's sends 2.
  const struct {
    int button;
    int32_t mask;
  } presses[] = {{246, 1}, {246, 0}, {246, 1}, {203, 2}};
  for (const auto& p : presses) {
    Click(p.button);
    std::vector<uint8_t> d = Receive(&from);
    ASSERT_EQ(d.size(), 24u) << p.button;
    EXPECT_EQ(Word(d, 0), 57);
    EXPECT_EQ(Word(d, 16), 4);
    EXPECT_EQ(Word(d, 20), p.mask) << p.button;
    EXPECT_EQ(CRightPlanDlg::CurrentRelayMask(), p.mask);
  }
  // A refusal is shown and the mask stays as pressed.
  Reply(from, 57, 1);
  EXPECT_TRUE(PumpUntil([] { return !g_prompts.empty(); }, 3000));
  ASSERT_EQ(g_prompts.size(), 1u);
  EXPECT_EQ(g_prompts[0], "can't control relay");
  EXPECT_EQ(CRightPlanDlg::CurrentRelayMask(), 2);
  // In Chinese the box says so in GBK.
  lang::SelectLanguage(lang::kChinese);
  Reply(from, 57, 7);
  EXPECT_TRUE(PumpUntil([] { return g_prompts.size() == 2; }, 3000));
  ASSERT_EQ(g_prompts.size(), 2u);
  EXPECT_EQ(g_prompts[1], lang::TextIn(lang::kChinese, 649));
  lang::SelectLanguage(lang::kEnglish);
}
#endif

}  // namespace
}  // namespace device::panel

namespace device::panel {
namespace {

using Bytes = std::vector<int>;

TEST_F(PanelTest, PtzButtonsSendWhilePressedAndStopOnceWhateverEndsThePress) {
  Open(0);
  host_.channel = 2;  // the control's third channel
  // Held: "up" once, nothing while it stays down; released inside: the stop once.
  Press(1016);
  EXPECT_EQ(Action(Receive()), (Bytes{1, 0, 3, 1}));
  EXPECT_TRUE(Receive(nullptr, 400).empty());
  ReleaseAt(Centre(1016));
  EXPECT_EQ(Action(Receive()), (Bytes{0, 0, 3, 1}));
  EXPECT_TRUE(Receive(nullptr, 400).empty());
  // Released outside: no stop, as a person dragging off means the move to go on.
  Press(1018);
  EXPECT_EQ(Action(Receive()), (Bytes{3, 0, 3, 1}));
  ReleaseAt(POINT{5, 5});
  EXPECT_TRUE(Receive(nullptr, 400).empty());
  // The capture taken away while "right" is held: the release will never come, so the stop.
  Press(1020);
  EXPECT_EQ(Action(Receive()), (Bytes{4, 0, 3, 1}));
  SetCapture(parent_);
  EXPECT_EQ(Action(Receive()), (Bytes{0, 0, 3, 1}));
  ReleaseCapture();
  ReleaseAt(Centre(1020));
  EXPECT_TRUE(Receive(nullptr, 400).empty());
  // So with the button disabled under the finger, or told to cancel its mode.
  Press(1022);
  EXPECT_EQ(Action(Receive()), (Bytes{2, 0, 3, 1}));
  EnableWindow(Item(1022), FALSE);
  EXPECT_EQ(Action(Receive()), (Bytes{0, 0, 3, 1}));
  EnableWindow(Item(1022), TRUE);
  ReleaseAt(Centre(1022));
  Press(1021);
  EXPECT_EQ(Action(Receive()), (Bytes{7, 0, 3, 1}));
  SendMessageA(Item(1021), WM_CANCELMODE, 0, 0);
  EXPECT_EQ(Action(Receive()), (Bytes{0, 0, 3, 1}));
  ReleaseAt(Centre(1021));
  EXPECT_TRUE(Receive(nullptr, 400).empty());
  // Presets with the combo's number.
  SendMessageA(Item(179), CB_SETCURSEL, 4, 0);
  const std::pair<int, int> presets[] = {{180, 19}, {181, 17}, {182, 18}};
  for (auto [button, action] : presets) {
    Click(button);
    EXPECT_EQ(Action(Receive()), (Bytes{action, 0, 3, 5})) << button;
  }
  // Closing in the middle of a movement stops it.
  Press(1026);
  EXPECT_EQ(Action(Receive()), (Bytes{11, 0, 3, 5}));
  panel_->Close();
  EXPECT_EQ(Action(Receive()), (Bytes{0, 0, 3, 5}));
}

TEST_F(PanelTest, WithoutAControlThePtzControlsSendNothing) {
  Open(0, CRightPlanDlg::kStatusPeriodMs, /*control=*/false);
  Press(1016);
  ReleaseAt(Centre(1016));
  Click(180);
  EXPECT_TRUE(Receive(nullptr, 600).empty());
}

// The settings dialog opened by "ptz config" runs modally: the test acts from a timer that
// the dialog's own message loop serves, as the DVR answers the panel's socket.
struct SettingsScript {
  PanelTest* test = nullptr;
  std::vector<std::vector<uint8_t>> sent;  // what reached the DVR, in order
  int step = 0;
  uint64_t seen = 0;  // datagrams the panel had received
  sockaddr_in from{};
};
SettingsScript* g_script = nullptr;

#if DEVICE_NPAPI_BUILD
constexpr int kChannel = 272, kProtocol = 274, kAddress = 271, kSpeed = 273, kBaud = 275;
#else
constexpr int kChannel = 273, kProtocol = 277, kAddress = 271, kSpeed = 275, kBaud = 298;
#endif
constexpr int kCombos[4] = {kProtocol, kAddress, kSpeed, kBaud};

Bytes Selections(HWND dialog) {
  Bytes b;
  for (int id : kCombos)
    b.push_back(static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0)));
  return b;
}

void Command(HWND dialog, int id, WORD code) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// One step of the script per tick; a failed check leaves its number (90 and up) and closes.
void Tick(HWND, UINT, UINT_PTR, DWORD) {
  SettingsScript& s = *g_script;
  PanelTest& t = *s.test;
  HWND d = ptz::PtzSetWindow();
  if (d == nullptr || s.step == 99) return;
  auto take = [&]() -> bool {
    WSAPOLLFD p{t.dvr_, POLLIN, 0};
    if (WSAPoll(&p, 1, 0) <= 0) return false;
    s.sent.push_back(t.Receive(&s.from, 0));
    return true;
  };
  auto answer = [&](std::vector<uint8_t> payload) {
    std::vector<uint8_t> d(20);
    int32_t words[5] = {27, 1, 1, 1, static_cast<int32_t>(payload.size())};
    std::memcpy(d.data(), words, sizeof words);
    d.insert(d.end(), payload.begin(), payload.end());
    sendto(t.dvr_, reinterpret_cast<const char*>(d.data()), static_cast<int>(d.size()), 0,
           reinterpret_cast<const sockaddr*>(&s.from), sizeof s.from);
  };
  auto fail = [&](int code) {
    s.step = code;
    PostMessageA(d, WM_CLOSE, 0, 0);
  };
  switch (s.step) {
    case 0: {  // placed at the panel's right edge, just above "ptz config"; the get of 1
      RECT dr, pr, br;
      GetWindowRect(d, &dr);
      GetWindowRect(t.panel_->m_hWnd, &pr);
      GetWindowRect(t.Item(1001), &br);
      if (dr.right != pr.right || dr.bottom != br.top - 2) return fail(90);
      if (!take()) return;
      if (s.sent[0] != std::vector<uint8_t>{27, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1,
                                            0,  0, 0, 6, 0, 0, 0, 0, 1, 0, 0, 0, 0}) {
        return fail(91);
      }
      s.seen = t.panel_->receiver()->stats().datagrams;
      answer({0, 3, 1, 9, 9, 5});  // channel 3's, while channel 1 is selected
      ++s.step;
      return;
    }
    case 1:  // received; its message, posted before this tick, has been served
      if (t.panel_->receiver()->stats().datagrams <= s.seen) return;
      ++s.step;
      return;
    case 2:
      if (Selections(d) != Bytes{0, 0, 0, 0}) return fail(92);
      answer({0, 1, 1, 7, 8, 4});
      ++s.step;
      return;
    case 3:
      if (Selections(d) != Bytes{1, 6, 7, 3}) return;
      SendDlgItemMessageA(d, kChannel, CB_SETCURSEL, 1, 0);
      Command(d, kChannel, CBN_SELCHANGE);
      ++s.step;
      return;
    case 4:
      if (!take()) return;
      if (s.sent[1].size() != 26 || s.sent[1][20] != 0 || s.sent[1][21] != 2) return fail(94);
      // PELCO-P, address 5, speed 10, 9600 baud for channel 2, then "ok".
      for (auto [id, index] : {std::pair{kProtocol, 1}, {kAddress, 4}, {kSpeed, 9}, {kBaud, 2}}) {
        SendDlgItemMessageA(d, id, CB_SETCURSEL, index, 0);
      }
      Command(d, 236, BN_CLICKED);
      ++s.step;
      return;
    case 5:
      if (!take()) return;
      answer({1, 2, 1, 5, 10, 3});
      ++s.step;
      return;
    case 6:  // confirmed while the dialog stays open; a reply of no known operation fails
      if (g_prompts.empty()) return;
      answer({2, 2, 1, 5, 10, 3});
      ++s.step;
      return;
    case 7:  // "cancel" closes it
      if (g_prompts.size() < 2) return;
      Command(d, 237, BN_CLICKED);
      s.step = 99;
      return;
    default:
      return;
  }
}

TEST_F(PanelTest, PtzSettingsDialogGetsSetsAndIgnoresAnotherChannelsReply) {
  Open(0);
  SettingsScript script;
  script.test = this;
  g_script = &script;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, &Tick);
  Click(1001);  // returns when the script has closed the dialog
  KillTimer(nullptr, timer);
  g_script = nullptr;
  EXPECT_EQ(script.step, 99);
  EXPECT_EQ(ptz::PtzSetWindow(), nullptr);
  ASSERT_EQ(script.sent.size(), 3u);
  const std::vector<uint8_t>& set = script.sent[2];
  ASSERT_EQ(set.size(), 26u);
  EXPECT_EQ(PanelTest::Word(set, 0), 27);
  EXPECT_EQ(Bytes(set.begin() + 20, set.end()), (Bytes{1, 2, 1, 5, 10, 3}));
  ASSERT_EQ(g_prompts.size(), 2u);
  EXPECT_EQ(g_prompts[0], lang::Text(603));
  EXPECT_EQ(g_prompts[1], lang::Text(650));
}

}  // namespace
}  // namespace device::panel
