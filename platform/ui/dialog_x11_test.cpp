// Dialogs on the x11 backend against a private Xvfb: keys and clicks made by the X server
// drive focus, buttons, combo boxes and typing, and typed text arrives in the code page.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "platform/display/display.h"
#include "platform/display/x11_peer.h"
#include "platform/display/xvfb_server.h"
#include "platform/ui/dialog_test_fixture.h"

namespace platform::ui::test {
namespace {

constexpr char kTitle[] = "orvix dialog x11 test";

class DialogX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<platform::display::XvfbServer>(1024, 768);
    ASSERT_TRUE(server_->running()) << server_->error();
    platform::display::DisplayOptions options;
    options.backend = "x11";
    options.x11_display = server_->name();
    options.width = 800;
    options.height = 600;
    options.title = kTitle;
    std::string error;
    display_ = platform::display::Display::Create(options, &error);
    ASSERT_NE(display_, nullptr) << error;
    peer_ = platform::display::X11Peer::Open(server_->name());
    ASSERT_NE(peer_, nullptr);
    window_ = peer_->FindWindow(kTitle);
    ASSERT_NE(window_, 0u);
    dialog_ = CreateDialogParamA(SampleDialogs(), MAKEINTRESOURCEA(IDD_SEARCH_EN), nullptr,
                                 SampleProc, 0);
    ASSERT_NE(dialog_, nullptr);
    ShowWindow(dialog_, SW_SHOW);
    // Mapped and shown: the X server's input reaches us from here on.
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() != nullptr; }));
    Commands().clear();
  }
  void TearDown() override {
    if (IsWindow(dialog_)) DestroyWindow(dialog_);
    peer_.reset();
    display_.reset();
    server_.reset();
  }
  // Serves the dialog until `done` holds; false after five seconds.
  bool PumpUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dialog_, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
      }
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  void ClickControl(int id) {
    RECT r;
    GetWindowRect(GetDlgItem(dialog_, id), &r);
    peer_->Click(window_, (r.left + r.right) / 2, (r.top + r.bottom) / 2, 1);
  }
  bool Clicked(int id) {
    for (const Command& c : Commands()) {
      if (c.id == id && c.code == BN_CLICKED) return true;
    }
    return false;
  }
  std::string Text(int id) {
    char text[128];
    GetDlgItemTextA(dialog_, id, text, sizeof(text));
    return text;
  }

  std::unique_ptr<platform::display::XvfbServer> server_;
  std::unique_ptr<platform::display::Display> display_;
  std::unique_ptr<platform::display::X11Peer> peer_;
  uint64_t window_ = 0;
  HWND dialog_ = nullptr;
};

TEST_F(DialogX11Test, ServerKeysMoveFocusAndPressTheDefaultAndCancelButtons) {
  ASSERT_EQ(GetFocus(), GetDlgItem(dialog_, IDC_CH1));
  peer_->Tap(XK_Tab);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == GetDlgItem(dialog_, IDC_CH2); }));
  peer_->Key(XK_Shift_L, true);
  peer_->Tap(XK_Tab);
  peer_->Key(XK_Shift_L, false);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == GetDlgItem(dialog_, IDC_CH1); }));
  peer_->Tap(XK_space);
  ASSERT_TRUE(PumpUntil([&] { return IsDlgButtonChecked(dialog_, IDC_CH1) == BST_CHECKED; }));
  peer_->Tap(XK_Return);
  ASSERT_TRUE(PumpUntil([&] { return Clicked(IDC_SEARCH); }));
  // A click on the disabled button sends nothing, a click on another does.
  ClickControl(IDC_DOWNLOAD);
  ClickControl(IDC_PLAY);
  ASSERT_TRUE(PumpUntil([&] { return Clicked(IDC_PLAY); }));
  EXPECT_FALSE(Clicked(IDC_DOWNLOAD));
  peer_->Tap(XK_Escape);  // last: the sample ends its dialog on IDCANCEL
  ASSERT_TRUE(PumpUntil([&] { return Clicked(IDCANCEL); }));
}

TEST_F(DialogX11Test, ServerClicksChooseAComboItem) {
  HWND combo = GetDlgItem(dialog_, IDC_STORAGE);
  ClickControl(IDC_STORAGE);
  ASSERT_TRUE(PumpUntil([&] { return SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }));
  RECT field;
  GetWindowRect(combo, &field);
  LRESULT row = SendMessageA(combo, CB_GETCOUNT, 0, 0) > 0 ? (field.bottom - field.top - 6) : 0;
  peer_->Click(window_, (field.left + field.right) / 2,
               static_cast<int>(field.bottom + 1 + row + row / 2), 1);
  ASSERT_TRUE(PumpUntil([&] { return SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) == 0; }));
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Text(IDC_STORAGE), "SD");
}

TEST_F(DialogX11Test, ServerClicksPickListRowsAndDoubleClicksTellTheDialog) {
  HWND list = GetDlgItem(dialog_, IDC_RESULTS);
  RECT row;
  SendMessageA(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));
  POINT p{row.left + 20, (row.top + row.bottom) / 2};
  ClientToScreen(list, &p);
  peer_->Click(window_, p.x, p.y, 2);
  ASSERT_TRUE(PumpUntil([&] {
    for (const Command& c : Commands()) {
      if (c.id == IDC_RESULTS && c.code == LBN_DBLCLK) return true;
    }
    return false;
  }));
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 2, 0), 102);
  peer_->Tap(XK_Up);
  ASSERT_TRUE(PumpUntil([&] { return SendMessageA(list, LB_GETCURSEL, 0, 0) == 1; }));
}

TEST_F(DialogX11Test, TypedTextArrivesInTheCodePage) {
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog_, IDC_START)),
               TRUE);
  peer_->Tap(XK_a);
  peer_->Key(XK_Shift_L, true);
  peer_->Tap(XK_b);
  peer_->Tap(XK_1);  // Shift+1 types '!', not '1'
  peer_->Key(XK_Shift_L, false);
  peer_->Tap(0x1004E2D);  // the Unicode keysym of 中, GBK D6 D0
  peer_->Tap(XK_Left);
  peer_->Tap(XK_BackSpace);
  EXPECT_TRUE(PumpUntil([&] { return Text(IDC_START) == "aB\xD6\xD0"; })) << Text(IDC_START);
}

}  // namespace
}  // namespace platform::ui::test
