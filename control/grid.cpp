#include "control/grid.h"

#include <algorithm>

namespace grid {

int Columns(int channel_count) {
  if (channel_count <= 0) return 8;
  for (int n = 1; n < 8; ++n) {
    if (channel_count <= n * n) return n;
  }
  return 8;
}

RECT Cell(const RECT& client, int n, int index) {
  const LONG width = client.right - client.left;
  const LONG height = client.bottom - client.top;
  const LONG w = (width - kPanelWidth) / n;
  const LONG h = height / n;
  const LONG column = index % n;
  const LONG row = index / n;
  RECT cell;
  cell.left = column * w + 2;
  cell.top = row * h + 2;
  cell.right = std::min(column * w + w, client.right - 2);
  cell.bottom = row * h + h;
  return cell;
}

RECT Enlarged(const RECT& client) {
  const LONG width = client.right - client.left;
  const LONG height = client.bottom - client.top;
  return RECT{2, 2, std::min<LONG>(width - kPanelWidth, client.right - 2), height};
}

}  // namespace grid
