#pragma once
// What the standard controls and their dialogs exchange beyond ui_types.h (which holds the
// messages and records all controls share): dialog messages, colours of fields and lists,
// clipboard messages, dialog codes, more keys and owner-drawing kinds, with their Windows
// values. Dialogs are in platform/ui/dialog.h.

#include "platform/ui/ui_types.h"

#pragma GCC visibility push(default)

struct HFONT__;
using HFONT = HFONT__*;
using INT_PTR = intptr_t;

constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
constexpr UINT WM_CUT = 0x0300;
constexpr UINT WM_COPY = 0x0301;
constexpr UINT WM_PASTE = 0x0302;
constexpr UINT WM_CLEAR = 0x0303;

// WM_GETDLGCODE answers: which keys a control keeps from the dialog's navigation.
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
constexpr LRESULT DLGC_STATIC = 0x0100;
constexpr LRESULT DLGC_BUTTON = 0x2000;

// More virtual keys.
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_INSERT = 0x2D;
constexpr UINT VK_F4 = 0x73;

// Owner drawing.
constexpr UINT ODT_LISTBOX = 2;
constexpr UINT ODT_COMBOBOX = 3;
constexpr UINT ODT_STATIC = 5;
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_DEFAULT = 0x0020;
constexpr UINT ODS_HOTLIGHT = 0x0040;

// Scroll codes of WM_HSCROLL and WM_VSCROLL (a trackbar sends them to its parent).
constexpr WORD SB_LINEUP = 0;
constexpr WORD SB_LINELEFT = 0;
constexpr WORD SB_LINEDOWN = 1;
constexpr WORD SB_LINERIGHT = 1;
constexpr WORD SB_PAGEUP = 2;
constexpr WORD SB_PAGELEFT = 2;
constexpr WORD SB_PAGEDOWN = 3;
constexpr WORD SB_PAGERIGHT = 3;
constexpr WORD SB_THUMBPOSITION = 4;
constexpr WORD SB_THUMBTRACK = 5;
constexpr WORD SB_TOP = 6;
constexpr WORD SB_LEFT = 6;
constexpr WORD SB_BOTTOM = 7;
constexpr WORD SB_RIGHT = 7;
constexpr WORD SB_ENDSCROLL = 8;

#pragma GCC visibility pop
