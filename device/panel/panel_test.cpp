// The control panel of the build (DEVICE_NPAPI_BUILD tells which) on the headless display,
// clicked with the mouse, against a DVR that is a UDP socket on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "device/lang/lang_table.h"
#include "device/panel/right_plan_dlg.h"
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
  int CurrentChannel() const override { return 0; }
  int starts = 0, stops = 0;
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
 protected:
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

  void Open(int relay_state, UINT period_ms = CRightPlanDlg::kStatusPeriodMs) {
    panel_ = std::make_unique<CRightPlanDlg>(&host_);
    panel_->SetCommandPort(port_);
    panel_->SetStatusPeriodForTest(period_ms);
    ASSERT_TRUE(panel_->Create(parent_, PanelSettings{"127.0.0.1", 4, 0, relay_state}));
    panel_->Dock();
    ShowWindow(panel_->m_hWnd, SW_SHOW);
    Pump();
  }

  HWND Item(int id) const { return GetDlgItem(panel_->m_hWnd, id); }

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

  // The next datagram the DVR receives (empty after 2 s), and where it came from.
  std::vector<uint8_t> Receive(sockaddr_in* from = nullptr) {
    std::vector<uint8_t> data;
    bool got = PumpUntil(
        [&] {
          WSAPOLLFD p{dvr_, POLLIN, 0};
          return WSAPoll(&p, 1, 0) > 0;
        },
        2000);
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
