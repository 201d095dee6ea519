#pragma once
// The look every dialog of the device services shares: one dark background with white
// labels, and the message numbers the owner-drawn widgets send to their parents.

#include "platform/gdi/gdi.h"

namespace device::widgets {

inline constexpr COLORREF kDialogBackground = RGB(32, 48, 64);  // 0x403020
inline constexpr COLORREF kLabelText = RGB(255, 255, 255);
inline constexpr COLORREF kStaticDefaultBack = 0xF0F0F0;
inline constexpr COLORREF kListBackground = RGB(220, 220, 220);  // 0xDCDCDC
inline constexpr int kListFontHeight = 15;
inline constexpr int kHeaderFontHeight = 15;

// CBitmapBtn: a press and a release inside of the PTZ buttons, wParam the button's ID.
inline constexpr UINT kMsgPtzPress = 1325;
inline constexpr UINT kMsgPtzRelease = 1326;
inline constexpr int kPtzFirstId = 1015;
inline constexpr int kPtzLastId = 1029;

// CBitmapSlider: wParam the slider's ID, lParam its position.
inline constexpr UINT kMsgSliderMoving = 10449;  // pressed with a change, and while dragged
inline constexpr UINT kMsgSliderReleased = 10450;
// The parent's timer a slider press stops (the playback progress timer).
inline constexpr UINT_PTR kPlaybackTimerId = 110;

// Fills `rect` of `dc` with what the parent of `child` paints behind its controls: the brush
// it answers to `ctlcolor_message` (WM_CTLCOLORSTATIC or WM_CTLCOLORBTN), else the dialog
// background.
void FillParentBackground(HWND child, HDC dc, const RECT& rect, UINT ctlcolor_message);
void FillSolid(HDC dc, const RECT& rect, COLORREF color);
// "Arial" at a cell height, for lists and headers; the caller deletes it.
HFONT CreateArialFont(int height, int weight = FW_NORMAL);

}  // namespace device::widgets
