// Mouse and keyboard input: routing, double clicks, capture, focus and the cursor.
#include "platform/ui/input.h"

#include <array>
#include <cstdlib>
#include <utility>

#include "platform/kernel/kernel.h"
#include "platform/kernel/message_queue_internal.h"
#include "platform/ui/desktop.h"
#include "platform/ui/input_internal.h"
#include "platform/ui/message.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

constexpr UINT kDoubleClickTime = 500;
constexpr LONG kDoubleClickSlop = 2;  // half of SM_CXDOUBLECLK either way
constexpr int kArrowCursor = 32512;

struct LastPress {
  bool valid = false;
  MouseButton button = MouseButton::kLeft;
  HWND window = nullptr;
  DWORD time = 0;
  POINT pt{0, 0};
};

// Guarded by TreeMutex().
struct InputState {
  HWND capture = nullptr;
  HWND focus = nullptr;
  POINT cursor{0, 0};
  LastPress last;
  std::array<bool, 256> keys{};
  int cursor_id = kArrowCursor;
  CursorObserver observer = nullptr;
  void* observer_context = nullptr;
};

InputState& State() {
  static auto* state = new InputState;
  return *state;
}

using Lock = std::lock_guard<std::mutex>;

thread_local std::array<bool, 256> t_keys{};

bool PassesMouse(const Window& w) {
  if (!(w.style & WS_VISIBLE) || (w.style & WS_DISABLED)) return false;
  if (w.window_class->transparent_style && w.window_class->transparent_style(w.style)) return false;
  return !(w.window_class->transparent_without_notify && !(w.style & SS_NOTIFY));
}

// The deepest window under the point that takes the mouse. REQUIRES: TreeMutex() held.
Window* HitTestLocked(Window* w, LONG x, LONG y) {
  if (!RectContains(ClientScreenRect(*w), x, y)) return nullptr;
  for (Window* child : w->children) {
    if (!(child->style & WS_VISIBLE) || !RectContains(child->rect, x, y)) continue;
    if (Window* inner = HitTestLocked(child, x, y)) return inner;
    if (PassesMouse(*child)) return child;
  }
  return nullptr;
}

WPARAM KeyFlags() {
  const auto& k = State().keys;
  WPARAM flags = 0;
  if (k[0x01]) flags |= MK_LBUTTON;
  if (k[0x02]) flags |= MK_RBUTTON;
  if (k[0x04]) flags |= MK_MBUTTON;
  if (k[VK_SHIFT]) flags |= MK_SHIFT;
  if (k[VK_CONTROL]) flags |= MK_CONTROL;
  return flags;
}

int ButtonKey(MouseButton b) {
  return b == MouseButton::kLeft ? 0x01 : b == MouseButton::kRight ? 0x02 : 0x04;
}

UINT ButtonMessage(MouseButton b, bool down, bool dbl) {
  UINT base = b == MouseButton::kLeft    ? WM_LBUTTONDOWN
              : b == MouseButton::kRight ? WM_RBUTTONDOWN
                                         : WM_MBUTTONDOWN;
  return base + (dbl ? 2 : down ? 0 : 1);
}

// REQUIRES: TreeMutex() held.
bool IsDoubleClick(const Window& w, MouseButton b, LONG x, LONG y, DWORD time) {
  const LastPress& last = State().last;
  return (w.window_class->style & CS_DBLCLKS) && last.valid && last.button == b &&
         last.window == w.handle && time - last.time <= kDoubleClickTime &&
         std::labs(x - last.pt.x) <= kDoubleClickSlop &&
         std::labs(y - last.pt.y) <= kDoubleClickSlop;
}

void PostInput(const Window& w, UINT message, WPARAM wparam, LPARAM lparam, DWORD time) {
  auto queue = kernel::QueueOf(w.thread);
  if (!queue) return;
  MSG msg{w.handle, message, wparam, lparam, time, State().cursor};
  std::lock_guard<std::mutex> lock(kernel::StateMutex());
  queue->Post(msg);
}

// Posts a mouse message for the point, as client or non-client input. REQUIRES: TreeMutex().
void PostMouse(Window* target, UINT client_message, LONG x, LONG y, DWORD time) {
  RECT client = ClientScreenRect(*target);
  bool captured = State().capture == target->handle;
  if (captured || RectContains(client, x, y)) {
    PostInput(*target, client_message, KeyFlags(), MAKELPARAM(x - client.left, y - client.top),
              time);
    return;
  }
  WPARAM hit = (target->style & WS_CAPTION) == WS_CAPTION ? HTCAPTION : HTBORDER;
  PostInput(*target, client_message - WM_MOUSEMOVE + WM_NCMOUSEMOVE, hit, MAKELPARAM(x, y), time);
}

// REQUIRES: TreeMutex() held.
Window* MouseTarget(LONG x, LONG y) {
  if (Window* captured = FindQuiet(State().capture)) return captured;
  Window* desktop = Desktop();
  for (Window* top : desktop->children) {
    if (!(top->style & WS_VISIBLE) || !RectContains(top->rect, x, y)) continue;
    if (Window* inner = HitTestLocked(top, x, y)) return inner;
    if (PassesMouse(*top)) return top;
  }
  return nullptr;
}

void NotifyCursor(int id) {
  CursorObserver observer;
  void* context;
  {
    Lock lock(TreeMutex());
    if (State().cursor_id == id) return;
    State().cursor_id = id;
    observer = State().observer;
    context = State().observer_context;
  }
  if (observer) observer(context, id);
}

}  // namespace

void InputMouseMove(int x, int y, DWORD time) {
  Lock lock(TreeMutex());
  State().cursor = POINT{x, y};
  if (Window* target = MouseTarget(x, y)) PostMouse(target, WM_MOUSEMOVE, x, y, time);
}

void InputMouseButton(MouseButton button, bool down, int x, int y, DWORD time) {
  Lock lock(TreeMutex());
  InputState& s = State();
  s.cursor = POINT{x, y};
  s.keys[ButtonKey(button)] = down;
  Window* target = MouseTarget(x, y);
  if (target == nullptr) {
    s.last.valid = false;
    return;
  }
  bool dbl = false;
  if (down) {
    dbl = IsDoubleClick(*target, button, x, y, time);
    // After a double click the next press starts a new pair.
    s.last = dbl ? LastPress{} : LastPress{true, button, target->handle, time, POINT{x, y}};
  }
  PostMouse(target, ButtonMessage(button, down, dbl), x, y, time);
}

void InputKey(UINT key, bool down, DWORD time, bool has_text) {
  Lock lock(TreeMutex());
  State().keys[key & 0xFF] = down;
  Window* target = FindQuiet(State().focus);
  if (target == nullptr) return;
  LPARAM flags = down ? 1 : static_cast<LPARAM>(0xC0000001u);
  if (down && has_text) flags |= kKeyHasText;
  PostInput(*target, down ? WM_KEYDOWN : WM_KEYUP, key, flags, time);
}

void InputText(const char* bytes, size_t count, DWORD time) {
  Lock lock(TreeMutex());
  Window* target = FindQuiet(State().focus);
  if (target == nullptr || bytes == nullptr) return;
  for (size_t i = 0; i < count; ++i) {
    PostInput(*target, WM_CHAR, static_cast<unsigned char>(bytes[i]), 1, time);
  }
}

void SetCursorObserver(CursorObserver observer, void* context) {
  Lock lock(TreeMutex());
  State().observer = observer;
  State().observer_context = context;
}

void ReleaseInputOf(const std::vector<HWND>& windows) {
  for (HWND h : windows) {
    if (GetCapture() == h) ReleaseCapture();
    if (GetFocus() == h) SetFocus(nullptr);
  }
}

void ForgetWindowInput(const Window* window) {
  InputState& s = State();
  if (s.last.window == window->handle) s.last.valid = false;
  if (s.capture == window->handle) s.capture = nullptr;
  if (s.focus == window->handle) s.focus = nullptr;
}

void NoteKeyMessage(const MSG& message) {
  t_keys[message.wParam & 0xFF] = message.message == WM_KEYDOWN;
}

void BeforeMouseMessage(const MSG& message) {
  SendMessageA(message.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(message.hwnd),
               MAKELPARAM(HTCLIENT, static_cast<int>(message.message)));
}

}  // namespace platform::ui

using platform::ui::State;
using platform::ui::TreeMutex;

HWND SetCapture(HWND window) {
  HWND old;
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    if (platform::ui::Find(window) == nullptr) return nullptr;
    old = std::exchange(State().capture, window);
  }
  if (old != nullptr && old != window) {
    SendMessageA(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  }
  return old;
}

BOOL ReleaseCapture() {
  HWND old;
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    old = std::exchange(State().capture, nullptr);
  }
  if (old != nullptr) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() {
  std::lock_guard<std::mutex> lock(TreeMutex());
  return State().capture;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(TreeMutex());
  *point = State().cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  State().cursor = POINT{x, y};
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = GetCursor();
  platform::ui::NotifyCursor(static_cast<int>(reinterpret_cast<uintptr_t>(cursor)));
  return old;
}

HCURSOR GetCursor() {
  std::lock_guard<std::mutex> lock(TreeMutex());
  return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(State().cursor_id));
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  auto id = reinterpret_cast<uintptr_t>(name);
  if (instance != nullptr || id < 32512 || id > 32650) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HCURSOR>(id);
}

HWND SetFocus(HWND window) {
  HWND old;
  {
    std::lock_guard<std::mutex> lock(TreeMutex());
    if (window != nullptr && platform::ui::Find(window) == nullptr) return nullptr;
    old = std::exchange(State().focus, window);
  }
  if (old == window) return old;
  if (old != nullptr) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window != nullptr) SendMessageA(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() {
  std::lock_guard<std::mutex> lock(TreeMutex());
  return State().focus;
}

HWND WindowFromPoint(POINT point) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  platform::ui::Window* w = platform::ui::MouseTarget(point.x, point.y);
  return w ? w->handle : nullptr;
}

UINT GetDoubleClickTime() { return platform::ui::kDoubleClickTime; }

SHORT GetKeyState(int key) {
  return platform::ui::t_keys[key & 0xFF] ? static_cast<SHORT>(0x8000) : 0;
}
