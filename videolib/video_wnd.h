#pragma once
// CVideoWnd: the child window in which one channel's pictures appear. A "STATIC" window with an
// optional 20-pixel title strip (title text and two 20 x 20 option buttons at its right end),
// a frame in the focus colour while it has the focus, and the mouse gestures that select it,
// switch between the grid and one large window, toggle full screen and press the buttons.
// Everything is reported to the parent window with SendMessage; the parent arranges the
// windows and calls MoveVideo.
//
// Threads: every call runs on the thread that created the window, except that the decode
// thread of a derived channel reads m_bFocused, m_bTitle, m_bVisible and m_hWnd and
// invalidates the window.

#include <atomic>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/ui/ui.h"

class CVideoWnd {
 public:
  CVideoWnd();
  // Destroys the window (when it still exists) and releases bitmaps and brush.
  virtual ~CVideoWnd();
  CVideoWnd(const CVideoWnd&) = delete;
  CVideoWnd& operator=(const CVideoWnd&) = delete;

  // IsWindowVisible of the window; 0 without a window.
  virtual int IsVisible();
  virtual void SetWindowFocus();
  virtual void KillWindowFocus();
  // Called on left (0) and right (1) button presses; a channel reports the selection.
  virtual void OnSetCurrent(int current);
  // The show modes tell the parent what the gestures asked for.
  virtual void OnShowNormal();
  virtual void OnShowLarge();
  virtual void OnShowFull();

  // Creates the window at `rect` (parent client coordinates) with control id `id` + 5000 and
  // subclasses it. Returns the creation result (TRUE when the window exists).
  BOOL CreateWnd(const RECT& rect, HWND parent, UINT id);
  // Moves the window and repaints it; outside the enlarged state `rect` becomes the normal
  // rectangle, so the grid position survives an enlargement.
  void MoveVideo(const RECT& rect);
  void UpdateTitle(const char* text);
  void EnableTitle(int enable) { m_bTitle = enable; }
  void Init(void* handle, int id) {
    m_hChannel = handle;
    m_nChannel = id;
  }
  void* ChannelHandle() const { return m_hChannel; }
  int ChannelId() const { return m_nChannel; }
  void SetCurRect(const RECT& rect) { m_rcCur = rect; }
  RECT GetCurRect() const { return m_rcCur; }
  RECT GetNormalRect() const { return m_rcNormal; }
#if VIDEOLIB_GDI_TEXT
  void SetFocusEn(int enable) { m_bFocusEn = enable; }
  int GetFocusEn() const { return m_bFocusEn; }
#endif

  // The separate title and border windows are not shown by this library; these accept their
  // arguments for callers written against them.
  void ShowTitle(int show);
  void ShowBorder(int show);
  void MoveTitle(const RECT& rect);
  void MoveBorder(const RECT& rect);

  void CreateOptionBtn();
  void DistroyOptionBtn();
  // Frames the rectangle 1 pixel inside the window edge in the focus or video window colour.
  void UpdateBack();
  // The grid/large toggle of a left double click, without the window's own processing.
  void LeftDClick();
  // The brush the window's background is painted with (control colour requests).
  HBRUSH CtlColor(HDC dc, UINT ctl_color);

  // Converters between the YUV layouts (videolib/pixel_convert.h); no window state is used.
  void Y41PToYuy2(const BYTE* src, BYTE* dst, int width, int height);
  void Y41PToYuv420p(const BYTE* src, BYTE* dst, int width, int height);
  void Yuv420pToYuy2(const BYTE* src, BYTE* dst, int width, int height);
  void Yuv420pToYuy2_ex(const BYTE* y, const BYTE* u, const BYTE* v, BYTE* dst, int width,
                        int height);

  HWND GetSafeHwnd() const { return m_hWnd; }
  int IsLarge() const { return m_bLarge; }
  int BtnHot() const { return m_nBtnHot; }
  std::string GetTitle() const { return m_strTitle; }

  // Library-wide settings: the message numbers sent to the parent and the two window colours.
  // They apply to every window from its next message or paint.
  static void SetClickMessage(UINT message) { m_nClickMsg = message; }
  static void SetSelectMessage(UINT message) { m_nSelectMsg = message; }
  static void SetVideoWinColor(COLORREF color) { m_crVideoWin = color; }
  static void SetFocusWinColor(COLORREF color) { m_crFocusWin = color; }
  static UINT GetClickMessage() { return m_nClickMsg; }
  static UINT GetSelectMessage() { return m_nSelectMsg; }
  static COLORREF GetVideoWinColor() { return m_crVideoWin; }
  static COLORREF GetFocusWinColor() { return m_crFocusWin; }

  static constexpr int kTitleHeight = 20;
  static constexpr int kButtonSize = 20;
  static constexpr UINT kIdOffset = 5000;
  static constexpr UINT_PTR kHotTimer = 10;

  static int m_bFull;  // a window is in the full-screen state

  HWND m_hWnd = nullptr;
  std::atomic<int> m_bFocused{0};
  std::atomic<int> m_bTitle{0};
  std::atomic<int> m_bVisible{1};
  std::atomic<int> m_nFrames{0};
  std::atomic<int> m_bOptionBtn{0};

 protected:
  // Sends `message` to the parent window; 0 without a parent.
  LRESULT SendToParent(UINT message, WPARAM wparam, LPARAM lparam);
  // The original "STATIC" procedure: the window's own processing of a message.
  LRESULT Default(UINT message, WPARAM wparam, LPARAM lparam);

  void* m_hChannel = nullptr;
  int m_nChannel = 0;
  int m_bLarge = 0;
  RECT m_rcNormal{0, 0, 352, 288};
  RECT m_rcCur{0, 0, 0, 0};
  HBRUSH m_hBkBrush = nullptr;
  std::string m_strTitle;
  HBITMAP m_hBtnBmp = nullptr;    // 4000: first option button, normal | hot
  HBITMAP m_hBtnBmp2 = nullptr;   // 4001: second option button (drawn by Plexa only)
  HBITMAP m_hTitleBmp = nullptr;  // 4002: title strip background
  int m_nBtnHot = 0;
  RECT m_rcBtn[2]{};  // the option buttons, client coordinates, set while painting
#if VIDEOLIB_GDI_TEXT
  int m_bFocusEn = 1;
#endif

 private:
  static LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnLButtonDblClk(WPARAM wparam, LPARAM lparam);
  void OnRButtonDblClk(WPARAM wparam, LPARAM lparam);
  void OnLButtonDown(WPARAM wparam, LPARAM lparam);
  void OnLButtonUp(WPARAM wparam, LPARAM lparam);
  void OnRButtonDown(WPARAM wparam, LPARAM lparam);
  void OnMouseMove(WPARAM wparam, LPARAM lparam);
  void OnTimer(UINT_PTR id);
  void OnPaint();
  void OnNcPaint();
  // 1 or 2 for the option button strictly containing the client point, else 0.
  int ButtonAt(POINT pt) const;
  void InvalidateButtons();
  void InvalidateButton(int button);
  void LoadBitmaps();
  // Draws a 1-pixel frame around `rect` of the window DC (whole window coordinates).
  void FrameWindowRect(const RECT& rect, COLORREF color);
  bool FramesEnabled() const;
  void PaintTitle(HDC dc, const RECT& client);

  WNDPROC m_pfnSuper = nullptr;

  static UINT m_nClickMsg;
  static UINT m_nSelectMsg;
  static COLORREF m_crVideoWin;
  static COLORREF m_crFocusWin;
};
