#pragma once
// The widgets' artwork, drawn in code in one look on the dialogs' dark background: the PTZ
// buttons (round, shaped by kTransparentKey), the text buttons, the preset and relay buttons
// and the slider's channel and thumb, each under the bitmap number the dialogs use.
//
// LoadWidgetBitmap prefers a bitmap file of that number in the resource folders
// (LoadBitmapA), so a module may ship its own; otherwise it draws ours.

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace device::widgets {

// The colour left out of the PTZ buttons' windows.
inline constexpr COLORREF kTransparentKey = RGB(255, 0, 255);

// The PTZ buttons' bitmaps, for the buttons 1015 to 1029 in order (left up, up, right up,
// left, stop, right, left down, down, right down, focus +, focus -, zoom +, zoom -, iris +,
// iris -); the pressed one also serves as disabled. Each button's tooltip is the language
// text of its normal bitmap's number.
struct PtzBitmaps {
  UINT normal, hover, pressed;
};
inline constexpr PtzBitmaps kPtzButtonBitmaps[15] = {
    {125, 126, 124}, {131, 132, 130}, {134, 135, 133}, {121, 122, 123}, {137, 138, 136},
    {139, 140, 141}, {128, 129, 127}, {142, 143, 144}, {146, 147, 145}, {149, 150, 151},
    {152, 153, 148}, {155, 156, 157}, {158, 159, 154}, {165, 166, 161}, {162, 163, 164}};

// Null for a number we have no artwork for.
HBITMAP DrawWidgetBitmap(UINT id);
HBITMAP LoadWidgetBitmap(UINT id);
// Every number DrawWidgetBitmap knows, in increasing order.
std::vector<UINT> WidgetBitmapIds();
// Writes our drawing of `id` as a 24-bit BMP file.
bool SaveWidgetBitmap(UINT id, const std::string& path, std::string* error);

}  // namespace device::widgets
