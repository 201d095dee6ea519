// Tooltips: a small top-level window with a tool's text, shown while the cursor rests on it.
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/kernel/clock.h"
#include "platform/ui/commctrl_internal.h"

namespace platform::ui::commctrl {
namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kWatchTimer = 2;
constexpr UINT kWatchPeriod = 100;
constexpr UINT kDefaultInitial = 500;
constexpr UINT kDefaultAutoPop = 5000;
constexpr int kBelowCursor = 20;

struct Tool {
  UINT flags = 0;
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  RECT rect{};
  std::string text;
};

struct Tooltip {
  std::vector<Tool> tools;
  bool active = true;
  UINT initial = kDefaultInitial;
  UINT autopop = kDefaultAutoPop;
  int current = -1;  // tool under the cursor
  bool shown = false;
  bool suppressed = false;  // a press on the current tool: no tip until it is left
  DWORD shown_at = 0;
  HFONT font = nullptr;
};

StateMap<Tooltip>& States() {
  static auto* states = new StateMap<Tooltip>;
  return *states;
}

// Tool windows subclassed for TTF_SUBCLASS: their own procedure and their tooltip.
struct Subclass {
  WNDPROC proc;
  HWND tooltip;
};
std::mutex g_subclass_mutex;
std::unordered_map<HWND, Subclass>& Subclasses() {
  static auto* map = new std::unordered_map<HWND, Subclass>;
  return *map;
}

HWND ToolWindow(const Tool& t) {
  return (t.flags & TTF_IDISHWND) ? reinterpret_cast<HWND>(t.id) : t.hwnd;
}

bool SameTool(const Tool& t, const TOOLINFOA& info) {
  return t.hwnd == info.hwnd && t.id == info.uId;
}

// The tool under a screen point, or -1.
int ToolAt(const Tooltip& tip, POINT screen) {
  HWND under = WindowFromPoint(screen);
  for (size_t i = 0; i < tip.tools.size(); ++i) {
    const Tool& t = tip.tools[i];
    HWND window = ToolWindow(t);
    if (under != window || window == nullptr) continue;
    if (t.flags & TTF_IDISHWND) return static_cast<int>(i);
    POINT client = screen;
    ScreenToClient(window, &client);
    if (PtInRect(&t.rect, client)) return static_cast<int>(i);
  }
  return -1;
}

void Hide(HWND window, Tooltip* tip) {
  KillTimer(window, kShowTimer);
  if (tip->shown) ShowWindow(window, SW_HIDE);
  tip->shown = false;
}

void Show(HWND window, Tooltip* tip) {
  if (tip->current < 0 || tip->tools[tip->current].text.empty()) return;
  const std::string& text = tip->tools[tip->current].text;
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, FontOr(tip->font));
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  POINT at;
  GetCursorPos(&at);
  int width = size.cx + 8;
  int height = size.cy + 4;
  int x = std::clamp<int>(at.x, 0, std::max(GetSystemMetrics(SM_CXSCREEN) - width, 0));
  int y = at.y + kBelowCursor;
  if (y + height > GetSystemMetrics(SM_CYSCREEN)) y = std::max<int>(at.y - height - 4, 0);
  SetWindowTextA(window, text.c_str());
  SetWindowPos(window, HWND_TOPMOST, x, y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  InvalidateRect(window, nullptr, FALSE);
  tip->shown = true;
  tip->shown_at = GetTickCount();
}

// The cursor is over tool `index` (-1: over none).
void Track(HWND window, Tooltip* tip, int index) {
  if (index == tip->current) return;
  Hide(window, tip);
  tip->current = index;
  tip->suppressed = false;
  if (index < 0 || !tip->active) {
    KillTimer(window, kWatchTimer);
    return;
  }
  SetTimer(window, kShowTimer, tip->initial, nullptr);
  SetTimer(window, kWatchTimer, kWatchPeriod, nullptr);
}

void Relay(HWND window, Tooltip* tip, const MSG* msg) {
  if (msg == nullptr) return;
  switch (msg->message) {
    case WM_MOUSEMOVE: {
      POINT screen{GET_X_LPARAM(msg->lParam), GET_Y_LPARAM(msg->lParam)};
      ClientToScreen(msg->hwnd, &screen);
      int index = ToolAt(*tip, screen);
      if (index != tip->current) Track(window, tip, index);
      return;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      Hide(window, tip);
      tip->suppressed = tip->current >= 0;
      return;
    default:
      return;
  }
}

void OnTimer(HWND window, Tooltip* tip, UINT_PTR id) {
  if (id == kShowTimer) {
    KillTimer(window, kShowTimer);
    if (!tip->suppressed && tip->active) Show(window, tip);
    return;
  }
  POINT cursor;
  GetCursorPos(&cursor);
  if (ToolAt(*tip, cursor) != tip->current) {
    Track(window, tip, -1);
  } else if (tip->shown && GetTickCount() - tip->shown_at >= tip->autopop) {
    Hide(window, tip);
    tip->suppressed = true;
  }
}

LRESULT SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Subclass sub{};
  {
    std::lock_guard<std::mutex> lock(g_subclass_mutex);
    auto it = Subclasses().find(window);
    if (it == Subclasses().end()) return DefWindowProcA(window, message, wparam, lparam);
    sub = it->second;
    if (message == WM_NCDESTROY) Subclasses().erase(it);
  }
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && IsWindow(sub.tooltip)) {
    MSG msg{window, message, wparam, lparam, GetTickCount(), POINT{0, 0}};
    SendMessageA(sub.tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
  }
  return CallWindowProcA(sub.proc, window, message, wparam, lparam);
}

void SubclassTool(HWND tooltip, HWND tool) {
  if (tool == nullptr || !IsWindow(tool)) return;
  std::lock_guard<std::mutex> lock(g_subclass_mutex);
  if (Subclasses().count(tool)) return;
  auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(tool, GWLP_WNDPROC));
  Subclasses()[tool] = Subclass{old, tooltip};
  SetWindowLongPtrA(tool, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc));
}

Tool ToolOf(const TOOLINFOA& info) {
  Tool t;
  t.flags = info.uFlags;
  t.hwnd = info.hwnd;
  t.id = info.uId;
  t.rect = info.rect;
  t.text = info.lpszText != nullptr ? info.lpszText : "";
  return t;
}

LRESULT ToolMessage(HWND window, Tooltip* tip, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* info = reinterpret_cast<TOOLINFOA*>(lparam);
  auto find = [&]() {
    return info == nullptr ? tip->tools.end()
                           : std::find_if(tip->tools.begin(), tip->tools.end(),
                                          [&](const Tool& t) { return SameTool(t, *info); });
  };
  switch (message) {
    case TTM_ADDTOOLA: {
      if (info == nullptr) return FALSE;
      auto it = find();
      if (it != tip->tools.end()) {
        *it = ToolOf(*info);
      } else {
        tip->tools.push_back(ToolOf(*info));
      }
      if (info->uFlags & TTF_SUBCLASS) SubclassTool(window, ToolWindow(ToolOf(*info)));
      return TRUE;
    }
    case TTM_DELTOOLA: {
      auto it = find();
      if (it == tip->tools.end()) return 0;
      Track(window, tip, -1);
      tip->tools.erase(it);
      return 0;
    }
    case TTM_UPDATETIPTEXTA: {
      auto it = find();
      if (it != tip->tools.end()) it->text = info->lpszText != nullptr ? info->lpszText : "";
      if (tip->shown) Show(window, tip);
      return 0;
    }
    case TTM_GETTEXTA: {
      auto it = find();
      if (it == tip->tools.end() || info->lpszText == nullptr) return 0;
      std::strcpy(info->lpszText, it->text.c_str());
      return 0;
    }
    case TTM_GETTOOLCOUNT:
      return static_cast<LRESULT>(tip->tools.size());
    case TTM_ACTIVATE:
      tip->active = wparam != 0;
      if (!tip->active) Track(window, tip, -1);
      return 0;
    case TTM_SETDELAYTIME: {
      UINT ms = static_cast<UINT>(LOWORD(static_cast<uintptr_t>(lparam)));
      if (wparam == TTDT_INITIAL || wparam == TTDT_AUTOMATIC) tip->initial = ms;
      if (wparam == TTDT_AUTOPOP) tip->autopop = ms;
      if (wparam == TTDT_AUTOMATIC) tip->autopop = ms * 10;
      return 0;
    }
    case TTM_RELAYEVENT:
      Relay(window, tip, reinterpret_cast<const MSG*>(lparam));
      return 0;
    case TTM_POP:
      Hide(window, tip);
      return 0;
    default:
      return 0;
  }
}

void Paint(HWND window, Tooltip* tip) {
  OffscreenPaint paint(window);
  HDC dc = paint.dc();
  RECT r = paint.client();
  FillColor(dc, r, RGB(255, 255, 225));
  FrameColor(dc, r, RGB(80, 80, 80));
  HGDIOBJ old = SelectObject(dc, FontOr(tip->font));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  char text[512];
  GetWindowTextA(window, text, sizeof text);
  DrawTextA(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

LRESULT TooltipProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) States().Create(window);
  Tooltip* tip = States().Get(window);
  if (tip == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  switch (message) {
    case WM_NCDESTROY:
      States().Erase(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window, tip);
      return 0;
    case WM_TIMER:
      OnTimer(window, tip, wparam);
      return 0;
    case WM_SETFONT:
      tip->font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    default:
      if (message >= TTM_ACTIVATE && message <= TTM_POP) {
        return ToolMessage(window, tip, message, wparam, lparam);
      }
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

void RegisterTooltipClass() { RegisterControlClass(TOOLTIPS_CLASSA, TooltipProc); }

}  // namespace platform::ui::commctrl
