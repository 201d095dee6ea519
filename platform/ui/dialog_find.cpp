// Finding a control by its ID the way a script means it: in the top dialog.
#include <strings.h>

#include "platform/ui/desktop.h"
#include "platform/ui/dialog.h"

namespace platform::ui {
namespace {

bool IsDialog(const Window& w) { return strcasecmp(w.window_class->name.c_str(), "#32770") == 0; }

// A visible control with the ID among the children of `w`'s dialogs, `w` included.
// REQUIRES: TreeMutex() held.
Window* FindIn(Window* w, int id, bool in_dialog) {
  if (!(w->style & WS_VISIBLE)) return nullptr;
  bool dialog = IsDialog(*w);
  for (Window* child : w->children) {
    if ((dialog || in_dialog) && child->id == id && (child->style & WS_VISIBLE)) return child;
  }
  for (Window* child : w->children) {
    if (Window* found = FindIn(child, id, false)) return found;
  }
  return nullptr;
}

}  // namespace

HWND FindDialogControl(int id) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  if (Window* modal = FindQuiet(CurrentModalDialog())) {
    Window* found = FindIn(modal, id, true);
    return found ? found->handle : nullptr;
  }
  for (Window* top : Desktop()->children) {
    if (Window* found = FindIn(top, id, false)) return found->handle;
  }
  return nullptr;
}

HWND DialogForMessage(HWND window) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  Window* outermost = nullptr;
  for (Window* w = FindQuiet(window); w != nullptr && w != Desktop(); w = w->parent) {
    if (IsDialog(*w)) outermost = w;
  }
  return outermost ? outermost->handle : nullptr;
}

}  // namespace platform::ui
