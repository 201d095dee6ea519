#pragma once
// DrawDib: draws a device-independent bitmap into a device context, stretching it to the
// destination rectangle. Sources are BI_RGB DIBs of 24 or 32 bits (bottom-up for a positive
// height, rows padded to 4 bytes).

#include "platform/gdi/gdi.h"
#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

struct HDRAWDIB__;
using HDRAWDIB = HDRAWDIB__*;

constexpr UINT DDF_UPDATE = 0x0002;
constexpr UINT DDF_SAME_HDC = 0x0004;
constexpr UINT DDF_SAME_DRAW = 0x0008;
constexpr UINT DDF_DONTDRAW = 0x0010;
constexpr UINT DDF_HALFTONE = 0x1000;

HDRAWDIB DrawDibOpen();
BOOL DrawDibClose(HDRAWDIB dd);
// Prepares drawing of pictures described by `header`, src_width x src_height, into
// dst_width x dst_height on `dc`. FALSE for a null handle or a format it cannot draw.
BOOL DrawDibBegin(HDRAWDIB dd, HDC dc, int dst_width, int dst_height,
                  const BITMAPINFOHEADER* header, int src_width, int src_height, UINT flags);
// Draws the source rectangle of `bits` into the destination rectangle; sizes of -1 take the
// other rectangle's (destination) or the bitmap's (source) size. A null header or bits use
// the last ones drawn.
BOOL DrawDibDraw(HDRAWDIB dd, HDC dc, int x, int y, int dst_width, int dst_height,
                 const BITMAPINFOHEADER* header, const void* bits, int src_x, int src_y,
                 int src_width, int src_height, UINT flags);
BOOL DrawDibEnd(HDRAWDIB dd);

#pragma GCC visibility pop
