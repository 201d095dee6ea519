#pragma once
// The built-in "STATIC" class (class style CS_DBLCLKS | CS_PARENTDC). With SS_NOTIFY it
// takes mouse input and tells its parent by WM_COMMAND: STN_CLICKED on a left press,
// STN_DBLCLK on a left double click; without it the mouse passes through to what lies
// beneath. It paints its background with the brush its parent returns for
// WM_CTLCOLORSTATIC; its text is the drawing layer's to show.

#include "platform/ui/ui_types.h"

namespace platform::ui {

// REQUIRES: TreeMutex() held. Called once when the window system starts.
void RegisterStaticClass();

}  // namespace platform::ui
