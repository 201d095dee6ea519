#pragma once
// The information panel table: label and value pairs the viewer control receives from the
// DVR and the LocPlexa renderer draws over every picture of the channels an entry concerns.
// Plexa keeps the table without drawing it. The layout is the one received, byte for byte.

#include <cstdint>

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
