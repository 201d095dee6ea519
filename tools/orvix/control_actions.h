#pragma once
// The script's actions on controls, keys and common dialogs, played as a person would: the
// control is found by its ID in the top dialog (or a docked panel) and reached with the mouse
// and keyboard of the display's input path.

#include <string>

#include "platform/display/input_injector.h"
#include "tools/orvix/scripts.h"

namespace orvix {

// Plays one step whose action is a control, keyboard or file action. False with *error set
// ("no control 1095 in the top dialog") when the control, item or dialog is not there.
// Called on the thread that runs the windows' message loop.
bool PlayControlStep(const InputStep& step, platform::display::InputInjector& input,
                     std::string* error);
bool IsControlStep(const InputStep& step);

}  // namespace orvix
