#pragma once
// CDinterlace: a vertical blend deinterlacer over packed YUY2 rows. The first and last rows are
// copied; every other row y becomes avg(avg(row y-1, row y+1), row y) per byte, with avg
// rounding up ((a + b + 1) >> 1). The vector form gives the same bytes as the plain one.

#include <cstddef>
#include <cstdint>

class CDinterlace {
 public:
  static constexpr int kMaxFieldRows = 2048;

  enum class Kernel { kPlain, kVector, kBest };

  // Prepares for pictures of `rows` rows of `row_bytes` bytes. Returns 0 (and stays off) when
  // the picture is empty or has more rows than two fields can hold.
  int Setup(int row_bytes, int rows);
  void Release();
  bool ready() const { return row_bytes_ > 0; }

  // REQUIRES: ready(); source and destination hold rows x row_bytes bytes and do not overlap.
  void Process(const uint8_t* source, uint8_t* destination, Kernel kernel = Kernel::kBest) const;

 private:
  int row_bytes_ = 0;
  int rows_ = 0;
};
