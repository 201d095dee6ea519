#pragma once
// Internal: the registered window classes. Names compare without case; a class is found by
// name or by the atom given as MAKEINTATOM.

#include <memory>

#include "platform/ui/desktop.h"

namespace platform::ui {

// REQUIRES: TreeMutex() held for all three.
std::shared_ptr<const WindowClass> FindClass(LPCSTR name);
ATOM AddClass(std::shared_ptr<WindowClass> window_class);  // 0 when the name is taken
void RemoveClass(const std::shared_ptr<const WindowClass>& window_class);

// A standard control's class: double clicks, the parent's DC and one pointer of window bytes
// for its state. Callers set what differs, then add it.
std::shared_ptr<WindowClass> StandardControlClass(const char* name, WNDPROC proc,
                                                  LPCSTR cursor = IDC_ARROW);

}  // namespace platform::ui
