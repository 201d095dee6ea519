#pragma once
// The two scripts that let a run act as a person would: timed mouse actions (--input) and
// the answers to message boxes (--answer).

#include <string>
#include <vector>

namespace orvix {

enum class InputAction {
  kMove,
  kClick,
  kDoubleClick,
  kRightClick,
  kScreenshot,
  // Actions on a control found by its ID in the top dialog (or a docked panel).
  kControlClick,
  kPress,
  kRelease,
  kCheck,   // value: 1 checked, 0 cleared
  kChoose,  // combo item: value is the index, or text names it
  kRow,     // list row by index
  kDoubleRow,
  kSlide,     // trackbar to value
  kDateTime,  // date-time picker to text "yyyy-MM-dd HH:mm:ss"
  kShow,      // prints the control's text and where it is on the desktop
  // Keyboard and common dialogs.
  kType,  // text, typed into the focused control
  kKey,   // text: a key name with optional "shift+", "ctrl+", "alt+"
  kFile,  // text: the path that answers the open file or folder dialog
};

struct InputStep {
  double at = 0;  // seconds from the start of the message loop
  InputAction action = InputAction::kMove;
  int x = 0;  // desktop coordinates
  int y = 0;
  int control = 0;   // the control's ID, for the control actions
  int value = 0;     // kCheck, kChoose, kRow, kDoubleRow, kSlide
  std::string text;  // kChoose by text, kDateTime, kType, kKey, kFile
  std::string file;  // kScreenshot
  int line = 0;      // in the script, for messages
};

// Lines "SECONDS ACTION ..." blank lines and '#' comments skipped, times never going back:
//   move|click|dblclick|rclick X Y     at desktop coordinates
//   click|press|release ID             a control of the top dialog
//   check ID [on|off]   choose ID INDEX|"TEXT"   row|dblrow ID INDEX   slide ID VALUE
//   datetime ID "yyyy-MM-dd HH:mm:ss"   show ID   type "TEXT"   key [shift+|ctrl+|alt+]NAME
//   file "PATH"   screenshot FILE
// Texts are quoted (\" and \\ inside) or a single word. Throws std::invalid_argument naming
// the line ("LINE: reason").
std::vector<InputStep> ParseInputScript(const std::string& text);
// The virtual key of a key name ("tab", "enter", "f4", "a", "5"...), 0 when unknown.
unsigned KeyByName(const std::string& name);
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
