#pragma once
// The two scripts that let a run act as a person would: timed mouse actions (--input) and
// the answers to message boxes (--answer).

#include <string>
#include <vector>

namespace orvix {

enum class InputAction { kMove, kClick, kDoubleClick, kRightClick, kScreenshot };

struct InputStep {
  double at = 0;  // seconds from the start of the message loop
  InputAction action = InputAction::kMove;
  int x = 0;  // desktop coordinates
  int y = 0;
  std::string file;  // kScreenshot
  int line = 0;      // in the script, for messages
};

// Lines "SECONDS ACTION X Y" (move, click, dblclick, rclick) or "SECONDS screenshot FILE";
// blank lines and '#' comments are skipped. Times may not go back. Throws
// std::invalid_argument naming the line ("LINE: reason").
std::vector<InputStep> ParseInputScript(const std::string& text);
// Reads the file; messages start with its name.
std::vector<InputStep> ReadInputScript(const std::string& path);
// Every point inside a width x height desktop; throws naming the first one outside.
void CheckInsideDesktop(const std::vector<InputStep>& steps, int width, int height);

// The steps due at `now` seconds, from *next on; advances *next past them.
std::vector<InputStep> DueSteps(const std::vector<InputStep>& steps, double now, size_t* next);

// "ok,cancel,yes": button IDs (IDOK...) in order; "default" is 0, the box's default button.
// Names in any case, spaces around them ignored. Throws std::invalid_argument.
std::vector<int> ParseAnswerScript(const std::string& text);

// The answer a box of `type` gets from `scripted` (0: none left or "default"): the scripted
// button when the box has it, else the box's default button (*mismatch set).
int ChooseAnswer(int scripted, unsigned type, bool* mismatch);
const char* ButtonName(int id);

// Installs a prompt handler that prints each box as one line ("<caption> <text>") and
// answers from `answers` in order, then with the default button.
void InstallScriptedPrompts(std::vector<int> answers);

}  // namespace orvix
