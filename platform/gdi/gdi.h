#pragma once
// The drawing layer: device contexts, GDI objects and the drawing calls, with Windows' names,
// constants and semantics.
//
// Contexts draw on one of three things:
//   - the desktop framebuffer, through a window (GetDC, GetWindowDC, BeginPaint): coordinates
//     are relative to the window's client area (or whole window), and every drawing is clipped
//     to the window's visible region and marks the framebuffer dirty;
//   - a memory bitmap selected into a memory context (CreateCompatibleDC);
//   - the memory of a DirectDraw surface (IDirectDrawSurface7::GetDC).
// Colours are COLORREF 0x00BBGGRR. Text arrives in the ANSI code page of the program, GBK
// (code page 936), and is drawn with FreeType; faces are found through fontconfig, the face
// "宋体" (as GBK bytes) being mapped to an installed CJK Song/Ming face.
//
// Threads: any thread may draw; a context and the objects selected into it are used by one
// thread at a time, as on Windows.

#include "platform/gdi/bitmap_types.h"
#include "platform/kernel/win_types.h"
#include "platform/ui/ui_types.h"

#pragma GCC visibility push(default)

using HGDIOBJ = void*;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HFONT__;
using HFONT = HFONT__*;
struct HPEN__;
using HPEN = HPEN__*;
struct HRGN__;
using HRGN = HRGN__*;

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

// ---- Contexts ----------------------------------------------------------------------------
HDC GetDC(HWND window);        // client area; null window: the whole desktop
HDC GetWindowDC(HWND window);  // whole window, frame included
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);  // a memory context holding a 1 x 1 bitmap
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);  // bitmaps only into memory contexts
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
BOOL DeleteObject(HGDIOBJ object);  // stock objects and selected objects are left alone
HGDIOBJ GetStockObject(int index);
int GetObjectA(HGDIOBJ object, int size, void* out);  // BITMAP, LOGFONTA, LOGBRUSH

constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_DC = 3;
constexpr UINT OBJ_FONT = 6;
constexpr UINT OBJ_BITMAP = 7;
constexpr UINT OBJ_MEMDC = 10;
UINT GetObjectType(HGDIOBJ object);

constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;
constexpr int DC_BRUSH = 18;

// System colours; (HBRUSH)(COLOR_x + 1) is accepted wherever a brush is.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
COLORREF GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);

// The clip box: the smallest rectangle around what the context may draw on, in its
// coordinates. Returns NULLREGION, SIMPLEREGION or COMPLEXREGION.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
int GetClipBox(HDC dc, RECT* rect);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);

// ---- Brushes, pens, shapes -----------------------------------------------------------------
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  uintptr_t lbHatch;
};
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);

constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;
HPEN CreatePen(int style, int width, COLORREF color);

int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);  // 1-pixel frame inside rect
// Outline in the selected pen, inside filled with the selected brush; right and bottom are
// excluded as on Windows.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
// A dotted frame just inside rect, drawn by inverting pixels: a second call removes it.
BOOL DrawFocusRect(HDC dc, const RECT* rect);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);                        // the end point is not drawn
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);  // returns the colour set
COLORREF GetPixel(HDC dc, int x, int y);                  // CLR_INVALID outside the clip
COLORREF SetDCBrushColor(HDC dc, COLORREF color);

// ---- Text --------------------------------------------------------------------------------
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
COLORREF SetTextColor(HDC dc, COLORREF color);  // returns the previous colour
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);  // returns the previous mode
int GetBkMode(HDC dc);

constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
  LONG lfHeight;  // > 0: cell height; < 0: character height; 0: a default size
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTA) == 60);

constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strike_out, DWORD char_set, DWORD out_precision,
                  DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCSTR face);
HFONT CreateFontIndirectA(const LOGFONTA* font);

// Writes `count` bytes of text with the cell's top-left corner at (x, y); with OPAQUE the
// cell is filled in the background colour first.
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count);
// Width and cell height of the text in the selected font.
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);

constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_EXPANDTABS = 0x0040;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
// count -1: the text is zero-terminated. Returns the height of the text drawn. Lines break at
// '\n' (and at word boundaries with DT_WORDBREAK) unless DT_SINGLELINE; DT_VCENTER and
// DT_BOTTOM apply to single lines; DT_CALCRECT measures into `rect` without drawing.
int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format);

// ---- Bitmaps -----------------------------------------------------------------------------
struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

constexpr UINT DIB_RGB_COLORS = 0;
// A bitmap in the format of the context's surface (32-bit XRGB for the desktop and memory
// contexts), filled with black.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A bitmap whose pixels the caller reaches at *bits, laid out as the header says (16, 24 or
// 32 bits, BI_RGB; bottom-up for a positive height, rows padded to 4 bytes). Zero-filled.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// Copies rows of a DIB into the bitmap (24 or 32 bits BI_RGB sources).
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);

// Our bitmaps are BMP files: LoadBitmapA(module, MAKEINTRESOURCEA(n)) reads "n.bmp" from the
// resource folders (AddResourceDirectory, then each folder of the colon-separated environment
// variable ORVIX_RESOURCES, then the folder "res" beside `module`'s file and beside the
// executable); a name that is a text is read as a file name in the same folders, or as a
// path when it holds a '/'. Files are uncompressed BMPs of 1, 4, 8, 24 or 32 bits.
HBITMAP LoadBitmapA(HINSTANCE module, LPCSTR name);
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_LOADFROMFILE = 0x0010;
constexpr UINT LR_CREATEDIBSECTION = 0x2000;
// IMAGE_BITMAP only. Without LR_LOADFROMFILE the name is looked up as LoadBitmapA does;
// with it, the name is a path. Non-zero sizes stretch the image.
HANDLE LoadImageA(HINSTANCE module, LPCSTR name, UINT type, int cx, int cy, UINT flags);

// ---- Blits -------------------------------------------------------------------------------
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int src_x, int src_y, DWORD rop);
// Nearest-neighbour stretching; negative sizes mirror.
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int src_x, int src_y,
                int src_width, int src_height, DWORD rop);
constexpr int BLACKONWHITE = 1;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
int SetStretchBltMode(HDC dc, int mode);
// Draws rows of a DIB (16, 24 or 32 bits BI_RGB; bottom-up for a positive height).
int StretchDIBits(HDC dc, int x, int y, int width, int height, int src_x, int src_y, int src_width,
                  int src_height, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);

constexpr BYTE AC_SRC_OVER = 0x00;
constexpr BYTE AC_SRC_ALPHA = 0x01;
struct BLENDFUNCTION {
  BYTE BlendOp;
  BYTE BlendFlags;
  BYTE SourceConstantAlpha;
  BYTE AlphaFormat;
};
// dst = src x a + dst x (255 - a), a = SourceConstantAlpha / 255 (AC_SRC_ALPHA also
// weighs by the source pixel's alpha byte); stretches like StretchBlt.
BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int src_x, int src_y,
                int src_width, int src_height, BLENDFUNCTION blend);

namespace platform::gdi {

// Installs the drawing layer as the window system's device-context provider (idempotent).
// GetDC and the other context calls do it themselves; a program calls it before its first
// paint so that BeginPaint gives real contexts.
void InstallDcProvider();

// A folder searched first for our bitmap files (see LoadBitmapA).
void AddResourceDirectory(const char* path);

}  // namespace platform::gdi

#pragma GCC visibility pop
