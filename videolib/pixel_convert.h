#pragma once
// Pixel converters between the YUV layouts the channels meet, the YUY2-to-BGR24 converter of
// the GDI path and snapshots, and a row flipper. All work on caller-supplied buffers, never
// allocate, and may be called from any thread at once.
//
// Layouts (w x h pictures, rows unpadded):
//   planar 4:2:0  Y (w x h), then U ((w/2) x (h/2)), then V ((w/2) x (h/2))
//   YUY2          Y0 U Y1 V per pixel pair, w x 2 bytes a row
//   Y41P          12 bytes per 8 pixels: U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7, w x 3 / 2 a row
//   BGR24         B G R per pixel, w x 3 bytes a row
//   XRGB          B G R 0 per pixel (a 32-bit word 0x00RRGGBB), w x 4 bytes a row
//
// The fast forms (SSE2, SSSE3 and AVX2 when the processor has them) give results identical to the
// plain formulas in namespace `pixel::reference`, which are kept for tests and as the definition.

#include <cstdint>

namespace pixel {

// Y41P to YUY2: each 12-byte group of 8 pixels becomes 16 bytes; w / 8 groups a row.
void Y41PToYuy2(const uint8_t* src, uint8_t* dst, int w, int h);
// Y41P to planar 4:2:0: the first row of each pair gives Y and each 4:1:1 chroma sample
// twice; the second row gives Y only. An odd last row is not written.
void Y41PToYuv420p(const uint8_t* src, uint8_t* dst, int w, int h);
// Planar 4:2:0 in one buffer (U at w x h, V at w x h x 5 / 4) to YUY2.
void Yuv420pToYuy2(const uint8_t* src, uint8_t* dst, int w, int h);
// The same with the three planes apart; chroma rows are w / 2 bytes. Rows 0, 1 and 2 use
// chroma row 0, then each chroma row serves two rows (row i > 0 uses chroma row (i - 1) / 2).
void Yuv420pToYuy2_ex(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int w,
                      int h);
// YUY2 to BGR24 in 14-bit fixed point; the second pixel of a pair averages its chroma with the
// next pair's (the row's last pair uses its own). An odd last column is left unwritten.
void Yuy2ToBgr24(const uint8_t* src, uint8_t* dst, int w, int h);
// The same pixels as XRGB: each gets Yuy2ToBgr24's three bytes and a zero fourth, so a
// 32-bit window surface takes them as they are.
void Yuy2ToXrgb(const uint8_t* src, uint8_t* dst, int w, int h);
// One planar row to XRGB in one pass: Y, and the U and V rows (w / 2 bytes) Yuv420pChromaRow
// picks; identical to Yuv420pToYuy2_ex and then Yuy2ToXrgb of the row. Fast with AVX2 only:
// without it, convert through a YUY2 row instead.
void Yuv420pRowToXrgb(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int w);
// The pixels a nearest-neighbour stretch of `src_len` pixels over `dst_len` shows, by centre
// sampling as the drawing layer's stretch does: out[d] = (2d + 1) * src_len / (2 * dst_len).
void SampleAxis(int src_len, int dst_len, int* out);
// The chroma row of a planar 4:2:0 picture that Yuv420pToYuy2 gives picture row i.
int Yuv420pChromaRow(int i);
// Yuy2ToBgr24 of the n pixels a stretch of one YUY2 row of w pixels (w even, n <= w) shows:
// out[3 * i] gets the bytes that converting the whole row puts at pixel cols[i]. Converting
// only the pixels a smaller window shows gives exactly the picture the stretch of the whole
// would. REQUIRES: cols as SampleAxis(w, n) gives them (halving has a faster path).
void Yuy2RowToBgr24Sampled(const uint8_t* row, int w, const int* cols, int n, uint8_t* out);
// The same of a planar row: Y, and the U and V rows (w / 2 bytes) Yuv420pChromaRow picks;
// identical to Yuv420pToYuy2 followed by Yuy2ToBgr24 of the chosen pixels.
void Yuv420pRowToBgr24Sampled(const uint8_t* y, const uint8_t* u, const uint8_t* v, int w,
                              const int* cols, int n, uint8_t* out);
// The two sampled conversions writing XRGB (out[4 * i]).
void Yuy2RowToXrgbSampled(const uint8_t* row, int w, const int* cols, int n, uint8_t* out);
void Yuv420pRowToXrgbSampled(const uint8_t* y, const uint8_t* u, const uint8_t* v, int w,
                             const int* cols, int n, uint8_t* out);
// out[i] = line[cols[i]] for n ascending columns, each below `valid`.
void PickWords(const uint32_t* line, const int* cols, int valid, uint32_t* out, int n);
// Copies h rows of `row_bytes` in reverse order (top-down to bottom-up).
// REQUIRES: src and dst do not overlap.
void FlipRows(const uint8_t* src, uint8_t* dst, int row_bytes, int h);

namespace reference {
void Y41PToYuy2(const uint8_t* src, uint8_t* dst, int w, int h);
void Y41PToYuv420p(const uint8_t* src, uint8_t* dst, int w, int h);
void Yuv420pToYuy2_ex(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int w,
                      int h);
void Yuy2ToBgr24(const uint8_t* src, uint8_t* dst, int w, int h);
void Yuy2ToXrgb(const uint8_t* src, uint8_t* dst, int w, int h);
}  // namespace reference

// Which fast kernels run: 0 plain, 1 SSE2, 2 SSSE3, 3 AVX2. Tests lower it to check every path.
int SimdLevel();
void SetSimdLevel(int level);

}  // namespace pixel
