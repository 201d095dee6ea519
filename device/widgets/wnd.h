#pragma once
// CWnd: a C++ object attached to a window, in the framework's manner. Subclassing routes the
// window's messages through the object's WindowProc first; Default() passes the message on
// to the window's own procedure.
//
// Message reflection: when a CWnd receives a notification from a child (WM_COMMAND,
// WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_HSCROLL, WM_VSCROLL, WM_CTLCOLOR*), it first
// offers it to that child's own CWnd (OnChildNotify), so a control class can handle what its
// window tells its parent. A parent that is not a CWnd gets the same by calling
// CWnd::ReflectNotification from its procedure.
//
// Threads: a CWnd is used on its window's thread only. The object must outlive the window
// or be destroyed first (its destructor gives the window its procedure back).

#include <string>

#include "platform/gdi/gdi.h"
#include "platform/ui/ui.h"

namespace device::widgets {

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }

  // False when the window does not exist or already has a CWnd.
  BOOL SubclassWindow(HWND window);
  BOOL SubclassDlgItem(UINT id, HWND parent);
  HWND UnsubclassWindow();
  // A child window of the widgets' own plain class (no behaviour of its own), subclassed.
  BOOL Create(LPCSTR text, DWORD style, const RECT& rect, HWND parent, UINT id);
  BOOL DestroyWindow();

  static CWnd* FromHandlePermanent(HWND window);
  // Offers a child's notification to its CWnd; true (and *result) when it handled it.
  static bool ReflectNotification(HWND parent, UINT message, WPARAM wparam, LPARAM lparam,
                                  LRESULT* result);

  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }
  void Invalidate(BOOL erase = TRUE) { InvalidateRect(m_hWnd, nullptr, erase); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
  void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
  LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
    return SendMessageA(m_hWnd, message, wparam, lparam);
  }
  BOOL SetWindowText(LPCSTR text) { return SetWindowTextA(m_hWnd, text); }
  std::string GetWindowText() const;
  void SetFont(HFONT font, BOOL redraw = TRUE) {
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
  }

 protected:
  virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);
  // Called once the window is attached, to adjust it (styles) for the class.
  virtual void PreSubclassWindow() {}
  // A notification this window sent its parent, offered back to it first.
  virtual bool OnChildNotify(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
  // The current message, handed to the window's own procedure.
  LRESULT Default();

 private:
  struct Current {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
  };
  static LRESULT StaticProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Detach();

  WNDPROC super_ = nullptr;
  Current current_{};
};

}  // namespace device::widgets
