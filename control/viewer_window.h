#pragma once
// The control's own window: a child of the window its shell gives it. Its user data holds the
// ViewerControl, which is how the control panel and the dialogs find the control.

#include "control/viewer_control.h"
#include "platform/ui/ui_types.h"

namespace control {

constexpr char kViewerClassName[] = "OrvixViewerControl";

// Creates the control's window over `rect` (parent client coordinates), visible, as a child of
// `parent`; the grid is built while it is created. Null when it cannot be created.
// REQUIRES: `control` outlives the window; called on the thread that runs `parent`.
HWND CreateViewerWindow(ViewerControl* control, HWND parent, const RECT& rect);

// The control of a control window (null once the window is being destroyed).
// REQUIRES: `window` is a control window.
ViewerControl* ViewerOfWindow(HWND window);

}  // namespace control
