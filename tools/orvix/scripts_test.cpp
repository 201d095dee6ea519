#include "tools/orvix/scripts.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/prompt/prompt.h"

namespace orvix {
namespace {

std::string ErrorOf(const std::string& script) {
  try {
    ParseInputScript(script);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

TEST(InputScript, StepsWithCommentsAndBlankLines) {
  auto steps = ParseInputScript(
      "# a person looks, then acts\n"
      "0.5 move 10 20\n"
      "\n"
      "1.0 click 100 200   # the first channel\r\n"
      "1.2 DBLCLICK 100 200\n"
      "2 rclick 5 6\n"
      "2 screenshot /tmp/after click.png\n");
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].action, InputAction::kMove);
  EXPECT_DOUBLE_EQ(steps[0].at, 0.5);
  EXPECT_EQ(steps[0].x, 10);
  EXPECT_EQ(steps[0].y, 20);
  EXPECT_EQ(steps[0].line, 2);
  EXPECT_EQ(steps[1].action, InputAction::kClick);
  EXPECT_EQ(steps[1].line, 4);
  EXPECT_EQ(steps[2].action, InputAction::kDoubleClick);
  EXPECT_EQ(steps[3].action, InputAction::kRightClick);
  EXPECT_DOUBLE_EQ(steps[3].at, 2.0);
  EXPECT_EQ(steps[4].action, InputAction::kScreenshot);
  EXPECT_EQ(steps[4].file, "/tmp/after click.png");

  size_t next = 0;
  EXPECT_TRUE(DueSteps(steps, 0.4, &next).empty());
  EXPECT_EQ(DueSteps(steps, 1.0, &next).size(), 2u);
  EXPECT_EQ(DueSteps(steps, 1.9, &next).size(), 1u);
  EXPECT_EQ(DueSteps(steps, 100, &next).size(), 2u);
  EXPECT_EQ(next, 5u);
  EXPECT_TRUE(DueSteps(steps, 200, &next).empty());

  EXPECT_NO_THROW(CheckInsideDesktop(steps, 101, 201));
  try {
    CheckInsideDesktop(steps, 100, 300);
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()), "input line 4: point 100,200 is outside the 100x300 desktop");
  }
}

TEST(InputScript, MistakesNameTheirLine) {
  EXPECT_EQ(ErrorOf("1 move 1 2\nsoon click 1 2\n"),
            "2: the time must be seconds from 0, got \"soon\"");
  EXPECT_EQ(ErrorOf("-1 move 1 2"), "1: the time must be seconds from 0, got \"-1\"");
  EXPECT_EQ(ErrorOf("1 drag 1 2"),
            "1: unknown action \"drag\" (use move, click, dblclick, rclick, press, release, check, "
            "choose, "
            "row, dblrow, slide, datetime, show, type, key, file or screenshot)");
  EXPECT_EQ(ErrorOf("1 move 1"), "1: move needs X and Y");
  EXPECT_EQ(ErrorOf("1 click 1 2 3"), "1: unexpected \"3\" after the point");
  EXPECT_EQ(ErrorOf("1 click -1 2"), "1: X must be a whole number from 0, got \"-1\"");
  EXPECT_EQ(ErrorOf("1 click 1 2.5"), "1: Y must be a whole number from 0, got \"2.5\"");
  EXPECT_EQ(ErrorOf("2 click 1 2\n1 click 1 2"),
            "2: the time goes back (steps must be in time order)");
  EXPECT_EQ(ErrorOf("1 screenshot   "), "1: screenshot needs a file name");
  EXPECT_EQ(
      ErrorOf("1"),
      "1: unknown action \"\" (use move, click, dblclick, rclick, press, release, check, choose, "
      "row, dblrow, slide, datetime, show, type, key, file or screenshot)");
  EXPECT_EQ(ErrorOf("# nothing\n\n"), "");
}

TEST(InputScript, ControlKeyboardAndFileActions) {
  auto steps = ParseInputScript(
      "1 click 1095\n"
      "1 press 1015\n"
      "1.5 release 1015\n"
      "2 check 1089\n"
      "2 check 1089 off\n"
      "3 choose 1000 1\n"
      "3 choose 1000 \"Hard disk\"\n"
      "4 row 1010 2\n"
      "4 dblrow 1010 0\n"
      "5 slide 1030 -5\n"
      "5 datetime 1093 \"2024-05-01 08:00:00\"\n"
      "6 type \"say \\\"hi\\\"\"\n"
      "6 type word\n"
      "7 key ctrl+A\n"
      "7 file \"/tmp/a b.avi\"\n");
  ASSERT_EQ(steps.size(), 15u);
  EXPECT_EQ(steps[0].action, InputAction::kControlClick);
  EXPECT_EQ(steps[0].control, 1095);
  EXPECT_EQ(steps[2].action, InputAction::kRelease);
  EXPECT_EQ(steps[3].value, 1);
  EXPECT_EQ(steps[4].value, 0);
  EXPECT_EQ(steps[5].value, 1);
  EXPECT_EQ(steps[6].value, -1);
  EXPECT_EQ(steps[6].text, "Hard disk");
  EXPECT_EQ(steps[8].action, InputAction::kDoubleRow);
  EXPECT_EQ(steps[9].value, -5);  // the slider clamps it
  EXPECT_EQ(steps[10].text, "2024-05-01 08:00:00");
  EXPECT_EQ(steps[11].text, "say \"hi\"");
  EXPECT_EQ(steps[12].text, "word");
  EXPECT_EQ(steps[13].text, "ctrl+a");
  EXPECT_EQ(steps[14].action, InputAction::kFile);
  EXPECT_EQ(steps[14].text, "/tmp/a b.avi");
  CheckInsideDesktop(steps, 10, 10);  // control actions have no desktop point

  EXPECT_EQ(ErrorOf("1 press"), "1: press needs a control ID");
  EXPECT_EQ(ErrorOf("1 press 70000"),
            "1: the control ID must be a number from 0 to 65535, got \"70000\"");
  EXPECT_EQ(ErrorOf("1 check 5 maybe"), "1: check takes on or off");
  EXPECT_EQ(ErrorOf("1 row 5 -1"), "1: the row must be 0 or more");
  EXPECT_EQ(ErrorOf("1 choose 5"), "1: choose needs an index or a quoted text");
  EXPECT_EQ(ErrorOf("1 type two words"), "1: type: put a text with spaces in quotes");
  EXPECT_EQ(ErrorOf("1 type \"open"), "1: type: the text has no closing quote");
  EXPECT_EQ(ErrorOf("1 key hyper"), "1: unknown key \"hyper\"");
  EXPECT_EQ(ErrorOf("1 release 5 6"), "1: unexpected \"6\" at the end");
  EXPECT_EQ(KeyByName("f4"), 0x73u);
  EXPECT_EQ(KeyByName("enter"), 0x0Du);
  EXPECT_EQ(KeyByName("f13"), 0u);
}

TEST(AnswerScript, NamesAndTheButtonsABoxHas) {
  std::vector<int> want = {IDOK, IDCANCEL, IDYES, IDNO, 0, IDRETRY};
  EXPECT_EQ(ParseAnswerScript("ok,cancel, YES ,no,default,retry"), want);
  EXPECT_TRUE(ParseAnswerScript("").empty());
  EXPECT_THROW(ParseAnswerScript("ok,,yes"), std::invalid_argument);
  EXPECT_THROW(ParseAnswerScript("ok,"), std::invalid_argument);
  EXPECT_THROW(ParseAnswerScript("maybe"), std::invalid_argument);

  bool mismatch = true;
  EXPECT_EQ(ChooseAnswer(IDNO, MB_YESNO, &mismatch), IDNO);
  EXPECT_FALSE(mismatch);
  EXPECT_EQ(ChooseAnswer(IDCANCEL, MB_OKCANCEL | MB_DEFBUTTON2, &mismatch), IDCANCEL);
  EXPECT_EQ(ChooseAnswer(0, MB_YESNOCANCEL | MB_DEFBUTTON3, &mismatch), IDCANCEL);
  EXPECT_FALSE(mismatch);
  // An OK box cannot be answered "yes": it gets its default and the run says so.
  EXPECT_EQ(ChooseAnswer(IDYES, MB_OK, &mismatch), IDOK);
  EXPECT_TRUE(mismatch);
  EXPECT_EQ(ChooseAnswer(IDOK, MB_YESNO | MB_DEFBUTTON2, &mismatch), IDNO);
  EXPECT_TRUE(mismatch);
}

TEST(AnswerScript, BoxesAreAnsweredInOrderThenByDefault) {
  InstallScriptedPrompts({IDCANCEL, IDYES, 0});
  testing::internal::CaptureStdout();
  EXPECT_EQ(MessageBoxA(nullptr, "delete?", "prompt", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxA(nullptr, "really?", "prompt", MB_YESNO | MB_DEFBUTTON2), IDYES);
  EXPECT_EQ(MessageBoxA(nullptr, "again?", "prompt", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "done", "prompt info", MB_OK), IDOK);  // script ran out
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "prompt delete?\nprompt really?\nprompt again?\nprompt info done\n");
  SetPromptHandler(nullptr);
}

}  // namespace
}  // namespace orvix
