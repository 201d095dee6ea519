#include "device/widgets/wnd.h"

#include <mutex>
#include <unordered_map>

namespace device::widgets {
namespace {

constexpr char kPlainClass[] = "OrvixWidget";

std::mutex g_mutex;
// An object, not a pointer left to the end of the process: in a module that is unloaded the
// pointer would go and leave the map behind.
std::unordered_map<HWND, CWnd*>& Map() {
  static std::unordered_map<HWND, CWnd*> map;
  return map;
}

void RegisterPlainClass() {
  static const bool done = [] {
    WNDCLASSA wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kPlainClass;
    return RegisterClassA(&wc) != 0;
  }();
  (void)done;
}

// The child a notification comes from.
HWND SourceOf(HWND parent, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<HWND>(lparam);
    case WM_NOTIFY:
      return lparam ? reinterpret_cast<const NMHDR*>(lparam)->hwndFrom : nullptr;
    case WM_DRAWITEM:
      return lparam ? reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)->hwndItem : nullptr;
    case WM_MEASUREITEM:
      return GetDlgItem(parent, static_cast<int>(wparam));
    default:
      return nullptr;
  }
}

}  // namespace

CWnd::~CWnd() { UnsubclassWindow(); }

CWnd* CWnd::FromHandlePermanent(HWND window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = Map().find(window);
  return it == Map().end() ? nullptr : it->second;
}

BOOL CWnd::SubclassWindow(HWND window) {
  if (m_hWnd != nullptr || !IsWindow(window)) return FALSE;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!Map().emplace(window, this).second) return FALSE;
  }
  m_hWnd = window;
  super_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticProc)));
  PreSubclassWindow();
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, HWND parent) {
  return SubclassWindow(GetDlgItem(parent, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
  HWND window = m_hWnd;
  if (window == nullptr) return nullptr;
  if (IsWindow(window)) SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super_));
  Detach();
  return window;
}

void CWnd::Detach() {
  std::lock_guard<std::mutex> lock(g_mutex);
  Map().erase(m_hWnd);
  m_hWnd = nullptr;
}

BOOL CWnd::Create(LPCSTR text, DWORD style, const RECT& rect, HWND parent, UINT id) {
  RegisterPlainClass();
  HWND window =
      CreateWindowExA(0, kPlainClass, text, style | WS_CHILD, rect.left, rect.top,
                      rect.right - rect.left, rect.bottom - rect.top, parent,
                      reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
  if (window == nullptr) return FALSE;
  if (!SubclassWindow(window)) {
    ::DestroyWindow(window);
    return FALSE;
  }
  Invalidate();
  return TRUE;
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr && ::DestroyWindow(m_hWnd); }

std::string CWnd::GetWindowText() const {
  int n = GetWindowTextLengthA(m_hWnd);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  GetWindowTextA(m_hWnd, text.data(), n + 1);
  text.resize(static_cast<size_t>(n));
  return text;
}

bool CWnd::ReflectNotification(HWND parent, UINT message, WPARAM wparam, LPARAM lparam,
                               LRESULT* result) {
  HWND source = SourceOf(parent, message, wparam, lparam);
  if (source == nullptr || source == parent) return false;
  CWnd* child = FromHandlePermanent(source);
  return child != nullptr && child->OnChildNotify(message, wparam, lparam, result);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (ReflectNotification(m_hWnd, message, wparam, lparam, &result)) return result;
  return Default();
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

LRESULT CWnd::Default() {
  return CallWindowProcA(super_, m_hWnd, current_.message, current_.wparam, current_.lparam);
}

LRESULT CWnd::StaticProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  CWnd* self = FromHandlePermanent(window);
  if (self == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  Current saved = self->current_;
  self->current_ = Current{message, wparam, lparam};
  LRESULT result = self->WindowProc(message, wparam, lparam);
  self->current_ = saved;
  if (message == WM_NCDESTROY) self->Detach();
  return result;
}

}  // namespace device::widgets
