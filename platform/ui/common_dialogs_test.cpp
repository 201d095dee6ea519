#include "platform/ui/common_dialogs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/kernel/kernel.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/ui.h"

namespace platform::ui {
namespace {

// Steps played one per timer tick inside the dialog's own loop, as a person would act; after
// the last (or when the bound runs out) the dialog is cancelled so that no test can hang.
std::vector<std::function<void(HWND)>> g_steps;
size_t g_next = 0;
int g_ticks = 0;
std::vector<std::string> g_prompts;

void Tick(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = CurrentModalDialog();
  if (dialog == nullptr) return;
  if (++g_ticks > 200 || g_next >= g_steps.size()) {
    EndDialog(dialog, IDCANCEL);
    return;
  }
  g_steps[g_next++](dialog);
}

int Prompt(HWND, LPCSTR text, LPCSTR, UINT) {
  g_prompts.emplace_back(text ? text : "");
  return IDNO;
}

void TypePath(HWND dialog, const std::string& text) {
  HWND field = GetDlgItem(dialog, kCdPathField);
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 0, -1);
  InputText(text.data(), text.size(), GetTickCount());
  InputKey(VK_RETURN, true, GetTickCount());
  InputKey(VK_RETURN, false, GetTickCount());
}

std::vector<std::string> ListRows(HWND dialog) {
  std::vector<std::string> rows;
  HWND list = GetDlgItem(dialog, kCdList);
  for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
    char text[256];
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    rows.emplace_back(text);
  }
  return rows;
}

class CommonDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    display_ = platform::display::Display::CreateHeadless(800, 600, &error);
    ASSERT_NE(display_, nullptr) << error;
    char pattern[] = "/tmp/orvix_cd_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(mkdir((dir_ + "/sub").c_str(), 0755), 0);
    for (const char* name : {"/a.avi", "/B.AVI", "/notes.txt", "/sub/inner.avi", "/locked.avi"}) {
      std::FILE* f = std::fopen((dir_ + name).c_str(), "w");
      ASSERT_NE(f, nullptr);
      std::fclose(f);
    }
    ASSERT_EQ(chmod((dir_ + "/locked.avi").c_str(), 0444), 0);
    g_steps.clear();
    g_next = 0;
    g_ticks = 0;
    g_prompts.clear();
    SetPromptHandler(Prompt);
    timer_ = SetTimer(nullptr, 0, 20, Tick);
  }
  void TearDown() override {
    KillTimer(nullptr, timer_);
    SetPromptHandler(nullptr);
    std::filesystem::remove_all(dir_);
    display_.reset();
  }
  OPENFILENAMEA Save(char* buffer, DWORD size) {
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFilter = "AVI files (*.avi)\0*.avi\0All files\0*.*\0";
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = size;
    ofn.lpstrInitialDir = dir_.c_str();
    ofn.lpstrDefExt = "avi";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    return ofn;
  }
  std::unique_ptr<platform::display::Display> display_;
  std::string dir_;
  UINT_PTR timer_ = 0;
};

TEST_F(CommonDialogsTest, SaveListsTheFolderByFilterAndAddsTheDefaultExtension) {
  std::vector<std::string> shown, all;
  g_steps = {[&](HWND d) {
               shown = ListRows(d);
               // Set ORVIX_DIALOG_PNG_DIR to look at the dialog.
               if (const char* dir = std::getenv("ORVIX_DIALOG_PNG_DIR")) {
                 UpdateWindow(d);
                 std::string error;
                 display_->Screenshot(std::string(dir) + "/save_as.png", &error);
               }
             },
             [&](HWND d) {
               SendDlgItemMessageA(d, kCdFilter, CB_SETCURSEL, 1, 0);
               SendMessageA(d, WM_COMMAND, MAKEWPARAM(kCdFilter, CBN_SELCHANGE), 0);
               all = ListRows(d);
             },
             [](HWND d) { TypePath(d, "clip"); }};
  char path[512] = "";
  OPENFILENAMEA ofn = Save(path, sizeof(path));
  ASSERT_TRUE(GetSaveFileNameA(&ofn));
  EXPECT_EQ(shown, (std::vector<std::string>{"[..]", "[sub]", "B.AVI", "a.avi"}));
  EXPECT_EQ(all, (std::vector<std::string>{"[..]", "[sub]", "B.AVI", "a.avi", "notes.txt"}));
  EXPECT_EQ(std::string(path), dir_ + "/clip.avi");
  EXPECT_EQ(std::string(path + ofn.nFileOffset), "clip.avi");
  EXPECT_EQ(std::string(path + ofn.nFileExtension), "avi");
  EXPECT_EQ(ofn.nFilterIndex, 2u);
  EXPECT_TRUE(g_prompts.empty());
}

TEST_F(CommonDialogsTest, FiltersInTheBarFormAreReadWithinTheirString) {
  std::vector<std::string> shown;
  g_steps = {[&](HWND d) { shown = ListRows(d); }, [](HWND d) { TypePath(d, "x"); }};
  char path[512] = "";
  OPENFILENAMEA ofn = Save(path, sizeof(path));
  ofn.lpstrFilter = "AVI Files(*.avi)|*.AVI||";
  ASSERT_TRUE(GetSaveFileNameA(&ofn));
  EXPECT_EQ(shown, (std::vector<std::string>{"[..]", "[sub]", "B.AVI", "a.avi"}));
  EXPECT_EQ(std::string(path), dir_ + "/x.avi");
}

TEST_F(CommonDialogsTest, AnExistingNameIsAskedAboutAndCancelGivesFalse) {
  g_steps = {[](HWND d) { TypePath(d, "a"); },    // a.avi exists: "no" keeps the dialog open
             [](HWND d) { TypePath(d, "sub"); },  // a folder: the list goes into it
             [&](HWND d) {
               EXPECT_EQ(ListRows(d), (std::vector<std::string>{"[..]", "inner.avi"}));
               InputKey(VK_ESCAPE, true, GetTickCount());
               InputKey(VK_ESCAPE, false, GetTickCount());
             }};
  char path[512] = "";
  OPENFILENAMEA ofn = Save(path, sizeof(path));
  EXPECT_FALSE(GetSaveFileNameA(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  ASSERT_EQ(g_prompts.size(), 1u);
  EXPECT_EQ(g_prompts[0], dir_ + "/a.avi already exists.\nDo you want to replace it?");
}

TEST_F(CommonDialogsTest, APathLongerThanTheBufferIsRefused) {
  g_steps = {[](HWND d) { TypePath(d, "a-rather-long-name"); }};
  char path[8] = "";
  OPENFILENAMEA ofn = Save(path, sizeof(path));
  EXPECT_FALSE(GetSaveFileNameA(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  WORD need = 0;
  std::memcpy(&need, path, sizeof(need));
  EXPECT_EQ(need, dir_.size() + std::strlen("/a-rather-long-name.avi") + 1);
  OPENFILENAMEA bad{};
  EXPECT_FALSE(GetSaveFileNameA(&bad));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);
}

TEST_F(CommonDialogsTest, FolderBrowserEntersFoldersAndGivesThePath) {
  static std::string start;
  start = dir_;
  std::vector<std::string> rows;
  g_steps = {[&](HWND d) { rows = ListRows(d); },
             [&](HWND d) {
               // A double click on "sub" enters it.
               HWND list = GetDlgItem(d, kCdList);
               RECT r;
               SendMessageA(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
               POINT p{r.left + 5, (r.top + r.bottom) / 2};
               ClientToScreen(list, &p);
               display_->input().DoubleClick(p.x, p.y);
             },
             [](HWND d) {
               char text[512];
               GetDlgItemTextA(d, kCdPathField, text, sizeof(text));
               EXPECT_EQ(std::string(text), start + "/sub");
               InputKey(VK_RETURN, true, GetTickCount());
               InputKey(VK_RETURN, false, GetTickCount());
             }};
  char name[kMaxPath] = "";
  BROWSEINFOA info{};
  info.lpszTitle = "Choose the capture folder";
  info.pszDisplayName = name;
  info.lpfn = [](HWND dialog, UINT what, LPARAM, LPARAM) {
    if (what == BFFM_INITIALIZED) {
      SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start.c_str()));
    }
    return 0;
  };
  LPITEMIDLIST list = SHBrowseForFolderA(&info);
  ASSERT_NE(list, nullptr);
  char path[kMaxPath];
  ASSERT_TRUE(SHGetPathFromIDListA(list, path));
  EXPECT_EQ(std::string(path), dir_ + "/sub");
  EXPECT_STREQ(name, "sub");
  ILFree(list);
  EXPECT_EQ(rows, (std::vector<std::string>{"..", "sub"}));
}

}  // namespace
}  // namespace platform::ui
