#pragma once
// The information panel table: label and value pairs the viewer control receives from the
// DVR and the LocPlexa renderer draws over every picture of the channels an entry concerns.
// Plexa keeps the table without drawing it. The layout is the one received, byte for byte.

#include <cstdint>

#include "platform/ui/ui_types.h"

struct SW_SHOW_ENTRY_ST {
  char label[36];  // zero-terminated
  char value[24];  // zero-terminated
  uint32_t mask;   // bit n set: shown in the window of channel n (0-based)
};
static_assert(sizeof(SW_SHOW_ENTRY_ST) == 64);

struct SW_SHOW_ST {
  static constexpr int kEntries = 13;
  SW_SHOW_ENTRY_ST entries[kEntries];
  uint32_t channelWords[9];  // per channel, not used for display
};
static_assert(sizeof(SW_SHOW_ST) == 868);

// The writer alternates between the two records so that the current one stays whole while
// the other is replaced.
struct SW_SHOW_ARR_ST {
  SW_SHOW_ST records[2];
  uint32_t count;  // 0: no panel; 1: record 0 is current; 2: record 1 is current
  uint8_t reserved[8];
};
static_assert(sizeof(SW_SHOW_ARR_ST) == 1748);

// Makes `record` the current one: it goes into the record that is not current (record 1 when
// record 0 is current, record 0 otherwise), and only then does count name it, so a picture
// presented meanwhile still copies a whole record.
void StorePanelRecord(SW_SHOW_ARR_ST* table, const SW_SHOW_ST& record);

// The record a presentation draws: a copy of the current one, all zero when there is none.
SW_SHOW_ST CurrentPanelRecord(const SW_SHOW_ARR_ST& table);

#if VIDEOLIB_GDI_TEXT
class CVideoOut;

namespace info_panel {

constexpr int kFontHeight = 15;
constexpr int kRowHeight = 20;
constexpr int kColumnPad = 30;   // added to each measured column
constexpr int kMargin = 40;      // from the right and top edges of the drawing area
constexpr uint8_t kAlpha = 150;  // constant for the whole box
constexpr uint32_t kTextColor = 0xE1E1E1;
constexpr uint32_t kLineColor = 0x565758;

// Draws the entries of `record` (a SW_SHOW_ST) that concern `channel` as a half-transparent
// box 40 pixels inside the upper right corner of `rect` on `dc`. The renderer's panel painter;
// runs under the renderer lock, which guards the panel font.
void Draw(CVideoOut* out, HDC dc, const RECT& rect, const void* record, int channel);
// Whether `record` (a SW_SHOW_ST) has an entry that concerns `channel`: Draw draws nothing else.
bool HasEntries(const void* record, int channel);

}  // namespace info_panel
#endif
