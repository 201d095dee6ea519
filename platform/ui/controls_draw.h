#pragma once
// Internal to the controls and dialogs: how they look (frames, faces, text, colours) and
// where each keeps its state.

#include <string>

#include "platform/gdi/gdi.h"
#include "platform/ui/controls_standard.h"
#include "platform/ui/window.h"

namespace platform::ui::draw {

// Colours the standard controls share.
constexpr COLORREF kFace = RGB(240, 240, 240);
constexpr COLORREF kLight = RGB(255, 255, 255);
constexpr COLORREF kShadow = RGB(160, 160, 160);
constexpr COLORREF kDarkShadow = RGB(105, 105, 105);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kGrayText = RGB(109, 109, 109);
constexpr COLORREF kField = RGB(255, 255, 255);
constexpr COLORREF kSelection = RGB(0, 120, 215);
constexpr COLORREF kSelectionText = RGB(255, 255, 255);
constexpr COLORREF kCaption = RGB(40, 72, 112);
constexpr COLORREF kCaptionText = RGB(255, 255, 255);

void Fill(HDC dc, const RECT& r, COLORREF color);
// Top-left in `light`, bottom-right in `dark`, one pixel wide just inside `r`.
void Edge(HDC dc, const RECT& r, COLORREF light, COLORREF dark);
void Raised(HDC dc, RECT* r);  // two-pixel raised edge; *r becomes the inside
void Sunken(HDC dc, RECT* r);  // two-pixel sunken edge
// The window's frame and caption (WS_BORDER, WS_DLGFRAME, WS_THICKFRAME, WS_CAPTION,
// WS_EX_CLIENTEDGE, WS_EX_STATICEDGE), for WM_NCPAINT.
void Frame(HWND window);
// Height of the caption band above the client area (0 without WS_CAPTION).
int CaptionHeight(HWND window);

// The brush the parent gives for `message` (WM_CTLCOLORSTATIC...), which also sets the
// context's text and background colours; a default brush when the parent gives none.
HBRUSH ParentBrush(HWND control, HDC dc, UINT message);
// Text in the control's font; `format` is DrawTextA's.
void Text(HDC dc, HFONT font, const std::string& text, RECT* r, UINT format);
SIZE TextSize(HDC dc, HFONT font, const char* text, int count);
HFONT DefaultFont();
int FontHeight(HFONT font);

}  // namespace platform::ui::draw

namespace platform::ui {

// The state object a control keeps in its first window bytes (cbWndExtra >= sizeof(void*)).
template <typename T>
T* ControlState(HWND window) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(window, 0));
}

// Registration of the built-in classes; REQUIRES: TreeMutex() held (called at start).
void RegisterButtonClass();
void RegisterEditClass();
void RegisterListBoxClass();
void RegisterComboBoxClass();
void RegisterDialogClass();

// WM_COMMAND to the control's parent.
void NotifyParent(HWND control, WORD code);

}  // namespace platform::ui
