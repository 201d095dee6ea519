#include "platform/prompt/prompt.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string g_seen;
int Recording(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  g_seen = std::string(caption) + "|" + text + "|" + std::to_string(type);
  return IDNO;
}

TEST(Prompt, DefaultPrintsOneLineAndAnswersTheDefaultButton) {
  testing::internal::CaptureStdout();
  int answer = MessageBoxA(nullptr, "RTP BIND ERROR", "prompt", MB_YESNO | MB_DEFBUTTON2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "prompt RTP BIND ERROR\n");
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(DefaultButton(MB_OK), IDOK);
  EXPECT_EQ(DefaultButton(MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
  EXPECT_EQ(DefaultButton(MB_OKCANCEL | MB_ICONWARNING), IDOK);
}

TEST(Prompt, AReplacedHandlerGetsEveryBoxUntilRestored) {
  PromptHandler previous = SetPromptHandler(&Recording);
  EXPECT_EQ(previous, &PrintPrompt);
  EXPECT_EQ(MessageBox(nullptr, "text", "cap", MB_OKCANCEL), IDNO);
  EXPECT_EQ(g_seen, "cap|text|1");
  SetPromptHandler(nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OK), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "c t\n");
}

}  // namespace
