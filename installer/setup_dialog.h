#pragma once
// The installer's dialog: a register and a remove button over the viewers of `folder`. A
// scripted run takes a screenshot of the dialog once it is drawn and then presses the given
// buttons in order, as a person would, and closes it.
//
// REQUIRES: a display exists (platform/display) and the drawing layer is installed.

#include <string>
#include <vector>

namespace installer {

enum class Button { kRegister, kRemove };

struct DialogScript {
  std::string screenshot;      // empty: none
  std::vector<Button> clicks;  // pressed after the screenshot
  bool scripted() const { return !screenshot.empty() || !clicks.empty(); }
};

// Runs the modal dialog until it is closed. False when it could not be made or the screenshot
// could not be written.
bool RunSetupDialog(const std::string& folder, const DialogScript& script);

}  // namespace installer
