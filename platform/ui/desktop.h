#pragma once
// Internal to the window system: the window tree and the one lock that guards it.
//
// Every Window lives in the handle table owned here; the tree links (parent, children) are
// raw pointers into it. All of it is guarded by TreeMutex(). Window procedures are never
// called with TreeMutex() held: callers copy what they need, unlock, call, and look the
// handle up again afterwards (the window may be gone by then).

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/region.h"
#include "platform/ui/ui_types.h"

namespace platform::ui {

struct WindowClass {
  std::string name;  // compared without case
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  // Built-in "STATIC": the mouse passes through unless the window has SS_NOTIFY.
  bool transparent_without_notify = false;
  // Built-in classes whose windows of some styles let the mouse through (group boxes).
  bool (*transparent_style)(DWORD style) = nullptr;
  int extra_bytes = 0;  // cbWndExtra: bytes each window keeps for GetWindowLongPtr(i >= 0)
};

struct Window {
  HWND handle = nullptr;
  DWORD thread = 0;
  std::shared_ptr<const WindowClass> window_class;
  DWORD style = 0;
  DWORD ex_style = 0;
  std::string text;
  WNDPROC proc = nullptr;
  LONG_PTR user_data = 0;
  LONG_PTR id = 0;
  HINSTANCE instance = nullptr;
  Window* parent = nullptr;          // the desktop for top-level windows; null for the desktop
  std::vector<Window*> children;     // z-order, topmost first
  RECT rect{0, 0, 0, 0};             // whole window, screen coordinates
  Region update;                     // client coordinates
  bool erase = false;                // the update asks for WM_ERASEBKGND
  bool frame = false;                // the frame needs WM_NCPAINT
  bool destroying = false;           // DestroyWindow has begun on it or an ancestor
  std::vector<unsigned char> extra;  // the class's cbWndExtra bytes, zeroed at creation
};

std::mutex& TreeMutex();

// REQUIRES for everything below: TreeMutex() held.
Window* Desktop();
Window* Find(HWND handle);  // null (and ERROR_INVALID_WINDOW_HANDLE) when not a window
Window* FindQuiet(HWND handle);
Window* AddWindow(std::unique_ptr<Window> window);  // gives it a handle
void RemoveWindow(Window* window);                  // unlinks and frees it
std::vector<Window*> AllWindows();                  // pre-order, the desktop excluded

RECT ClientScreenRect(const Window& w);
bool IsVisibleChain(const Window& w);
bool IsTopLevel(const Window& w);
bool IsInSubtree(const Window& w, const Window& root);
// Marks every window whose visible part meets `screen` as needing painting there, and wakes
// the threads concerned.
void ExposeScreen(const Region& screen);
void InvalidateWindow(Window* w, const RECT* client_rect, bool erase, bool children);
// A window just made visible: all of it, frame included, needs painting.
void MarkShown(Window* w);
Region VisibleRegionLocked(const Window& w, bool client, bool clip_children);

// Wakes a thread blocked in GetMessage so it looks for sent messages, timers and painting.
void PokeThread(DWORD thread_id);

// Registers the built-in classes and the message pump; safe to call often.
void EnsureStarted();

}  // namespace platform::ui
