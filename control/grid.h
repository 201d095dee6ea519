#pragma once
// Layout of the channel grid: a square of n x n cells on the left of the control's window,
// beside the 170-pixel strip of the control panel on the right.

#include "platform/kernel/win_types.h"

namespace grid {

constexpr int kPanelWidth = 170;
constexpr int kMaxCells = 16;

// Columns (and rows) for a channel count: 1 -> 1, 2-4 -> 2, 5-9 -> 3, ... 50 and more, and 0
// or less, -> 8.
int Columns(int channel_count);

// Cell `index` (row-major) of an n x n grid in the client rectangle `client` (left and top 0).
RECT Cell(const RECT& client, int n, int index);

// The single-view rectangle: the whole video area.
RECT Enlarged(const RECT& client);

}  // namespace grid
