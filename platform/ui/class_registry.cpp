#include "platform/ui/class_registry.h"

#include <strings.h>

#include <vector>

#include "platform/kernel/last_error.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

constexpr ATOM kFirstAtom = 0xC000;

std::vector<std::shared_ptr<WindowClass>>& Classes() {
  static auto* classes = new std::vector<std::shared_ptr<WindowClass>>;
  return *classes;
}

bool IsAtom(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) <= 0xFFFF; }

}  // namespace

std::shared_ptr<const WindowClass> FindClass(LPCSTR name) {
  if (name == nullptr) return nullptr;
  for (const auto& c : Classes()) {
    if (IsAtom(name) ? c->atom == reinterpret_cast<uintptr_t>(name)
                     : strcasecmp(c->name.c_str(), name) == 0) {
      return c;
    }
  }
  return nullptr;
}

ATOM AddClass(std::shared_ptr<WindowClass> window_class) {
  if (FindClass(window_class->name.c_str())) return 0;
  static ATOM next = kFirstAtom;
  window_class->atom = next++;
  Classes().push_back(window_class);
  return window_class->atom;
}

void RemoveClass(const std::shared_ptr<const WindowClass>& window_class) {
  auto& all = Classes();
  for (auto it = all.begin(); it != all.end(); ++it) {
    if (*it == window_class) {
      all.erase(it);
      return;
    }
  }
}

}  // namespace platform::ui

using platform::ui::TreeMutex;
using platform::ui::WindowClass;

namespace {

ATOM Register(UINT style, WNDPROC proc, int extra_bytes, HINSTANCE instance, HCURSOR cursor,
              HBRUSH background, LPCSTR name) {
  if (proc == nullptr || name == nullptr || reinterpret_cast<uintptr_t>(name) <= 0xFFFF ||
      *name == '\0' || extra_bytes < 0 || extra_bytes > 40) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  platform::ui::EnsureStarted();
  auto c = std::make_shared<WindowClass>();
  c->name = name;
  c->style = style;
  c->proc = proc;
  c->instance = instance;
  c->cursor = cursor;
  c->background = background;
  c->extra_bytes = extra_bytes;
  std::lock_guard<std::mutex> lock(TreeMutex());
  ATOM atom = platform::ui::AddClass(c);
  if (atom == 0) SetLastError(ERROR_CLASS_ALREADY_EXISTS);
  return atom;
}

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (wc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Register(wc->style, wc->lpfnWndProc, wc->cbWndExtra, wc->hInstance, wc->hCursor,
                  wc->hbrBackground, wc->lpszClassName);
}

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
  if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Register(wc->style, wc->lpfnWndProc, wc->cbWndExtra, wc->hInstance, wc->hCursor,
                  wc->hbrBackground, wc->lpszClassName);
}

BOOL UnregisterClassA(LPCSTR class_name, HINSTANCE) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  auto c = platform::ui::FindClass(class_name);
  if (!c) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
  }
  for (const platform::ui::Window* w : platform::ui::AllWindows()) {
    if (w->window_class == c) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  }
  platform::ui::RemoveClass(c);
  return TRUE;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR class_name, WNDCLASSA* out) {
  platform::ui::EnsureStarted();
  std::lock_guard<std::mutex> lock(TreeMutex());
  auto c = platform::ui::FindClass(class_name);
  if (!c || out == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
  }
  *out = WNDCLASSA{c->style,  c->proc,       0,       c->extra_bytes, c->instance, nullptr,
                   c->cursor, c->background, nullptr, nullptr};
  return TRUE;
}

namespace platform::ui {

std::shared_ptr<WindowClass> StandardControlClass(const char* name, WNDPROC proc, LPCSTR cursor) {
  auto c = std::make_shared<WindowClass>();
  c->name = name;
  c->style = CS_DBLCLKS | CS_PARENTDC;
  c->proc = proc;
  c->cursor = LoadCursorA(nullptr, cursor);
  c->extra_bytes = sizeof(void*);
  return c;
}

}  // namespace platform::ui
