#include "platform/ui/desktop.h"

#include <algorithm>
#include <unordered_map>

#include "platform/kernel/kernel.h"
#include "platform/kernel/message_queue_internal.h"
#include "platform/ui/window.h"

namespace platform::ui {
namespace {

constexpr uintptr_t kFirstHandle = 0x10010;
constexpr LONG kCaptionHeight = 18;

struct Tree {
  std::unordered_map<HWND, std::unique_ptr<Window>> windows;
  uintptr_t next = kFirstHandle;
  Window desktop;
  Tree() {
    desktop.handle = reinterpret_cast<HWND>(kFirstHandle);
    desktop.style = WS_VISIBLE;
    desktop.rect = RECT{0, 0, 1280, 720};
    next += 4;
  }
};

Tree& TheTree() {
  static Tree* tree = new Tree;  // lives for the whole process
  return *tree;
}

LONG FrameWidth(const Window& w) {
  LONG edge = 0;
  if (w.style & WS_THICKFRAME) {
    edge = 4;
  } else if (w.style & WS_DLGFRAME) {
    edge = 3;
  } else if (w.style & WS_BORDER) {
    edge = 1;
  }
  if (w.ex_style & WS_EX_CLIENTEDGE) edge += 2;
  if (w.ex_style & WS_EX_STATICEDGE) edge += 1;
  return edge;
}

// A window that leaves the siblings beneath it visible: WS_EX_TRANSPARENT, or a class that
// only draws a frame around them (a group box).
bool SeeThrough(const Window& w) {
  if (w.ex_style & WS_EX_TRANSPARENT) return true;
  return w.window_class && w.window_class->transparent_style &&
         w.window_class->transparent_style(w.style);
}

void CollectPreOrder(Window* w, std::vector<Window*>* out) {
  for (Window* child : w->children) {
    out->push_back(child);
    CollectPreOrder(child, out);
  }
}

}  // namespace

std::mutex& TreeMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

Window* Desktop() { return &TheTree().desktop; }

Window* FindQuiet(HWND handle) {
  Tree& tree = TheTree();
  if (handle == tree.desktop.handle) return &tree.desktop;
  auto it = tree.windows.find(handle);
  if (it == tree.windows.end()) return nullptr;
  return it->second.get();
}

Window* Find(HWND handle) {
  Window* w = FindQuiet(handle);
  if (w == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

Window* AddWindow(std::unique_ptr<Window> window) {
  Tree& tree = TheTree();
  window->handle = reinterpret_cast<HWND>(tree.next);
  tree.next += 4;
  Window* raw = window.get();
  tree.windows.emplace(raw->handle, std::move(window));
  return raw;
}

void RemoveWindow(Window* window) {
  if (window->parent != nullptr) {
    auto& siblings = window->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  }
  TheTree().windows.erase(window->handle);
}

std::vector<Window*> AllWindows() {
  std::vector<Window*> out;
  CollectPreOrder(Desktop(), &out);
  return out;
}

RECT ClientScreenRect(const Window& w) {
  if (&w == Desktop()) return w.rect;
  LONG edge = FrameWidth(w);
  RECT r{w.rect.left + edge, w.rect.top + edge, w.rect.right - edge, w.rect.bottom - edge};
  if ((w.style & WS_CAPTION) == WS_CAPTION) r.top += kCaptionHeight;
  r.right = std::max(r.right, r.left);
  r.bottom = std::max(r.bottom, r.top);
  return r;
}

bool IsVisibleChain(const Window& w) {
  for (const Window* cur = &w; cur != nullptr; cur = cur->parent) {
    if (!(cur->style & WS_VISIBLE)) return false;
  }
  return true;
}

bool IsTopLevel(const Window& w) { return w.parent == Desktop(); }

bool IsInSubtree(const Window& w, const Window& root) {
  for (const Window* cur = &w; cur != nullptr; cur = cur->parent) {
    if (cur == &root) return true;
  }
  return false;
}

Region VisibleRegionLocked(const Window& w, bool client, bool clip_children) {
  if (!IsVisibleChain(w)) return Region();
  Region region(client ? ClientScreenRect(w) : w.rect);
  for (const Window* cur = &w; cur->parent != nullptr; cur = cur->parent) {
    const Window* parent = cur->parent;
    region.Intersect(ClientScreenRect(*parent));
    for (const Window* sibling : parent->children) {
      if (sibling == cur) break;
      if ((sibling->style & WS_VISIBLE) && !SeeThrough(*sibling)) region.Subtract(sibling->rect);
    }
  }
  if (clip_children) {
    for (const Window* child : w.children) {
      if (child->style & WS_VISIBLE) region.Subtract(child->rect);
    }
  }
  return region;
}

void InvalidateWindow(Window* w, const RECT* client_rect, bool erase, bool children) {
  RECT client = ClientScreenRect(*w);
  RECT area{0, 0, client.right - client.left, client.bottom - client.top};
  RECT part = area;
  if (client_rect != nullptr) IntersectRects(*client_rect, area, &part);
  if (!IsEmptyRect(part)) {
    w->update.Union(part);
    w->erase = w->erase || erase;
    PokeThread(w->thread);
  }
  if (!children) return;
  for (Window* child : w->children) {
    if (!(child->style & WS_VISIBLE)) continue;
    RECT child_client = ClientScreenRect(*child);
    RECT in_child{
        part.left + client.left - child_client.left, part.top + client.top - child_client.top,
        part.right + client.left - child_client.left, part.bottom + client.top - child_client.top};
    RECT child_whole{child->rect.left - client.left, child->rect.top - client.top,
                     child->rect.right - client.left, child->rect.bottom - client.top};
    RECT overlap;
    if (IntersectRects(part, child_whole, &overlap)) child->frame = true;
    InvalidateWindow(child, &in_child, erase, !(child->style & WS_CLIPCHILDREN));
  }
}

void MarkShown(Window* w) {
  w->frame = true;
  InvalidateWindow(w, nullptr, true, true);
  for (Window* child : w->children) child->frame = true;
}

void ExposeScreen(const Region& screen) {
  if (screen.IsEmpty()) return;
  for (Window* w : AllWindows()) {
    Region whole = VisibleRegionLocked(*w, false, false);
    whole.Intersect(screen);
    if (whole.IsEmpty()) continue;
    w->frame = true;
    Region inside = VisibleRegionLocked(*w, true, (w->style & WS_CLIPCHILDREN) != 0);
    inside.Intersect(screen);
    RECT client = ClientScreenRect(*w);
    inside.Offset(-client.left, -client.top);
    w->update.Union(inside);
    w->erase = true;
    PokeThread(w->thread);
  }
}

void PokeThread(DWORD thread_id) {
  auto queue = platform::kernel::QueueOf(thread_id);
  if (!queue) return;
  std::lock_guard<std::mutex> lock(platform::kernel::StateMutex());
  queue->Poke();
}

void SetDesktopSize(int width, int height) {
  std::lock_guard<std::mutex> lock(TreeMutex());
  Desktop()->rect = RECT{0, 0, width, height};
}

}  // namespace platform::ui
