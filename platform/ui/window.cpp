// Window creation, destruction and the tree queries.
#include "platform/ui/window.h"

#include <algorithm>

#include "platform/kernel/kernel.h"
#include "platform/kernel/message_queue_internal.h"
#include "platform/ui/class_registry.h"
#include "platform/ui/desktop.h"
#include "platform/ui/input_internal.h"
#include "platform/ui/message.h"
#include "platform/ui/paint.h"
#include "platform/ui/timer_internal.h"

using platform::ui::Desktop;
using platform::ui::Find;
using platform::ui::TreeMutex;
using platform::ui::Window;

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

using Lock = std::lock_guard<std::mutex>;

struct CreateArgs {
  DWORD ex_style;
  LPCSTR class_name;
  LPCSTR window_name;
  DWORD style;
  RECT rect;  // relative to the parent's client area
  HWND parent;
  HMENU menu;
  HINSTANCE instance;
};

// Makes and links the window object, not yet visible. Null with the last error set on bad
// arguments.
HWND MakeWindow(const CreateArgs& a) {
  platform::kernel::CurrentQueue();  // input and posts may reach the thread before it reads
  Lock lock(TreeMutex());
  auto window_class = platform::ui::FindClass(a.class_name);
  if (!window_class) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Window* parent = Desktop();
  if (a.style & WS_CHILD) {
    parent = a.parent ? Find(a.parent) : nullptr;
    if (parent == nullptr) {
      SetLastError(a.parent ? ERROR_INVALID_WINDOW_HANDLE : ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
  }
  auto w = std::make_unique<Window>();
  w->thread = GetCurrentThreadId();
  w->window_class = window_class;
  w->style = a.style & ~WS_VISIBLE;
  w->ex_style = a.ex_style;
  w->text = a.window_name ? a.window_name : "";
  w->proc = window_class->proc;
  w->extra.assign(static_cast<size_t>(window_class->extra_bytes), 0);
  w->id = (a.style & WS_CHILD) ? reinterpret_cast<LONG_PTR>(a.menu) : 0;
  w->instance = a.instance;
  w->parent = parent;
  RECT origin = platform::ui::ClientScreenRect(*parent);
  w->rect = RECT{a.rect.left + origin.left, a.rect.top + origin.top, a.rect.right + origin.left,
                 a.rect.bottom + origin.top};
  Window* raw = platform::ui::AddWindow(std::move(w));
  if (a.style & WS_CHILD) {
    parent->children.push_back(raw);  // later children lie below earlier ones
  } else {
    parent->children.insert(parent->children.begin(), raw);
  }
  return raw->handle;
}

RECT PlacementRect(int x, int y, int width, int height, DWORD style) {
  bool child = (style & WS_CHILD) != 0;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = child ? 0 : kDefaultWidth;
    height = child ? 0 : kDefaultHeight;
  }
  return RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
}

// Tells the window its first size and position, its parent of its birth, and shows it.
void AnnounceCreated(HWND h, DWORD style, DWORD ex_style, HMENU menu) {
  RECT client;
  GetClientRect(h, &client);
  POINT pos{0, 0};
  MapWindowPoints(h, GetParent(h), &pos, 1);
  SendMessageA(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  SendMessageA(h, WM_MOVE, 0, MAKELPARAM(pos.x, pos.y));
  if ((style & WS_CHILD) && !(ex_style & WS_EX_NOPARENTNOTIFY) && IsWindow(h)) {
    SendMessageA(GetParent(h), WM_PARENTNOTIFY,
                 MAKEWPARAM(WM_CREATE, static_cast<int>(reinterpret_cast<intptr_t>(menu))),
                 reinterpret_cast<LPARAM>(h));
  }
  if (!(style & WS_VISIBLE)) return;
  if (!(style & WS_CHILD)) {
    ShowWindow(h, SW_SHOW);
    return;
  }
  Lock lock(TreeMutex());  // a child simply appears, without WM_SHOWWINDOW
  if (Window* w = platform::ui::FindQuiet(h)) {
    w->style |= WS_VISIBLE;
    platform::ui::MarkShown(w);
  }
}

// Removes the subtree's objects once every message of its destruction was sent.
void Unlink(const std::vector<HWND>& subtree) {
  Lock lock(TreeMutex());
  for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
    Window* w = platform::ui::FindQuiet(*it);
    if (w == nullptr) continue;
    platform::ui::ForgetWindowInput(w);
    platform::ui::KillWindowTimers(w->handle);
    platform::ui::RemoveWindow(w);
  }
}

// The window and its descendants, parents first. REQUIRES: TreeMutex() held.
void CollectSubtree(Window* w, std::vector<HWND>* out) {
  out->push_back(w->handle);
  for (Window* child : w->children) CollectSubtree(child, out);
}

}  // namespace

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  platform::ui::EnsureStarted();
  RECT rect = PlacementRect(x, y, width, height, style);
  HWND h = MakeWindow(
      CreateArgs{ex_style, class_name, window_name, style, rect, parent, menu, instance});
  if (h == nullptr) return nullptr;
  CREATESTRUCTA cs{param,
                   instance,
                   menu,
                   parent,
                   static_cast<int>(rect.bottom - rect.top),
                   static_cast<int>(rect.right - rect.left),
                   static_cast<int>(rect.top),
                   static_cast<int>(rect.left),
                   static_cast<LONG>(style),
                   window_name,
                   class_name,
                   ex_style};
  LPARAM lp = reinterpret_cast<LPARAM>(&cs);
  if (!SendMessageA(h, WM_NCCREATE, 0, lp) || SendMessageA(h, WM_CREATE, 0, lp) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  if (!IsWindow(h)) return nullptr;  // destroyed itself while being created
  AnnounceCreated(h, style, ex_style, menu);
  return h;
}

BOOL DestroyWindow(HWND h) {
  std::vector<HWND> subtree;
  HWND parent = nullptr;
  bool notify = false;
  int id = 0;
  {
    Lock lock(TreeMutex());
    Window* w = Find(h);
    if (w == nullptr || w == Desktop()) return FALSE;
    if (w->thread != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;  // called again from its own WM_DESTROY
    CollectSubtree(w, &subtree);
    for (HWND each : subtree) platform::ui::FindQuiet(each)->destroying = true;
    platform::ui::Region gone = platform::ui::VisibleRegionLocked(*w, false, false);
    w->style &= ~WS_VISIBLE;
    platform::ui::ExposeScreen(gone);  // after: the windows beneath own that area now
    notify = !platform::ui::IsTopLevel(*w) && !(w->ex_style & WS_EX_NOPARENTNOTIFY);
    parent = w->parent->handle;
    id = static_cast<int>(w->id);
  }
  platform::ui::ReleaseInputOf(subtree);
  if (notify) {
    SendMessageA(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, id), reinterpret_cast<LPARAM>(h));
  }
  for (HWND each : subtree) SendMessageA(each, WM_DESTROY, 0, 0);
  for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
    SendMessageA(*it, WM_NCDESTROY, 0, 0);
  }
  Unlink(subtree);
  return TRUE;
}

BOOL IsWindow(HWND h) {
  Lock lock(TreeMutex());
  return platform::ui::FindQuiet(h) != nullptr;
}

BOOL IsChild(HWND parent, HWND h) {
  Lock lock(TreeMutex());
  Window* p = platform::ui::FindQuiet(parent);
  Window* w = platform::ui::FindQuiet(h);
  return p && w && w != p && platform::ui::IsInSubtree(*w, *p) && p != Desktop();
}

HWND GetParent(HWND h) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr || w->parent == nullptr || w->parent == Desktop()) return nullptr;
  return w->parent->handle;
}

HWND GetDesktopWindow() {
  Lock lock(TreeMutex());
  return Desktop()->handle;
}

HWND GetWindow(HWND h, UINT relation) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr) return nullptr;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front()->handle;
  if (w->parent == nullptr) return nullptr;
  auto& siblings = w->parent->children;
  auto it = std::find(siblings.begin(), siblings.end(), w);
  switch (relation) {
    case GW_HWNDFIRST:
      return siblings.front()->handle;
    case GW_HWNDLAST:
      return siblings.back()->handle;
    case GW_HWNDNEXT:
      return it + 1 == siblings.end() ? nullptr : (*(it + 1))->handle;
    case GW_HWNDPREV:
      return it == siblings.begin() ? nullptr : (*(it - 1))->handle;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

DWORD GetWindowThreadProcessId(HWND h, DWORD* process_id) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (process_id) *process_id = 1;
  return w ? w->thread : 0;
}

int GetDlgCtrlID(HWND h) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  return w ? static_cast<int>(w->id) : 0;
}

HWND GetDlgItem(HWND parent, int id) {
  Lock lock(TreeMutex());
  Window* p = Find(parent);
  if (p == nullptr) return nullptr;
  for (Window* child : p->children) {
    if (child->id == id) return child->handle;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetClassNameA(HWND h, LPSTR buffer, int size) {
  Lock lock(TreeMutex());
  Window* w = Find(h);
  if (w == nullptr || buffer == nullptr || size <= 0) return 0;
  const std::string& name = w->window_class->name;
  size_t n = std::min(name.size(), static_cast<size_t>(size) - 1);
  name.copy(buffer, n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

BOOL SetWindowTextA(HWND h, LPCSTR text) {
  return SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

int GetWindowTextA(HWND h, LPSTR buffer, int size) {
  return static_cast<int>(SendMessageA(h, WM_GETTEXT, static_cast<WPARAM>(std::max(size, 0)),
                                       reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND h) {
  return static_cast<int>(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0));
}
