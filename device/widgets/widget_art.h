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

// Null for a number we have no artwork for.
HBITMAP DrawWidgetBitmap(UINT id);
HBITMAP LoadWidgetBitmap(UINT id);
// Every number DrawWidgetBitmap knows, in increasing order.
std::vector<UINT> WidgetBitmapIds();
// Writes our drawing of `id` as a 24-bit BMP file.
bool SaveWidgetBitmap(UINT id, const std::string& path, std::string* error);

}  // namespace device::widgets
