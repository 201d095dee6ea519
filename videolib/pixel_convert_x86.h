#pragma once
// Row kernels of the converters for x86 (SSE2 baseline, SSSE3 and AVX2 where named). Each converts
// as many whole blocks of the row as it safely can, never reading or writing beyond the row, and
// returns how many units (groups of 8 pixels or pixel pairs) it did; the caller finishes the
// rest with the plain formulas.

#include <cstdint>

namespace pixel::x86 {

// SSSE3. Groups of 8 Y41P pixels to YUY2.
int Y41PToYuy2Row(const uint8_t* src, uint8_t* dst, int groups);
// SSSE3. Groups of 8 Y41P pixels to Y, and doubled chroma when u is not null.
int Y41PRowToPlanar(const uint8_t* src, uint8_t* y, uint8_t* u, uint8_t* v, int groups);
// SSE2. Pixel pairs of planar rows to YUY2.
int Yuv420pToYuy2Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int pairs);
// SSSE3. YUY2 pixel pairs to BGR24: the whole row when it has at least 8 pairs.
int Yuy2ToBgr24Row(const uint8_t* src, uint8_t* dst, int pairs);
// AVX2. The same, 16 pairs at a time.
int Yuy2ToBgr24RowAvx2(const uint8_t* src, uint8_t* dst, int pairs);
// BGR24 of n pixels given apart: 16-bit luma and the chroma terms of the BGR formula (twice
// a pair's own chroma, or its chroma plus the next pair's, each less 2 x 128). Returns the
// pixels done (whole blocks of 16).
int WeighedToBgr24(const int16_t* y, const int16_t* cu, const int16_t* cv, uint8_t* dst, int n);
// Pixels 1, 3, 5, ... of a planar row (from its Y and chroma rows) or of a YUY2 row, `pairs`
// being half the row's width; blocks of 16 while the pair after each lies in the row.
int HalvedPlanarToBgr24(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                        int pairs);
int HalvedYuy2ToBgr24(const uint8_t* src, uint8_t* dst, int pairs);
// The same five kernels writing XRGB words (B, G, R, 0) instead of BGR24.
int Yuy2ToXrgbRow(const uint8_t* src, uint8_t* dst, int pairs);
int Yuy2ToXrgbRowAvx2(const uint8_t* src, uint8_t* dst, int pairs);
int WeighedToXrgb(const int16_t* y, const int16_t* cu, const int16_t* cv, uint8_t* dst, int n);
int HalvedPlanarToXrgb(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                       int pairs);
int HalvedYuy2ToXrgb(const uint8_t* src, uint8_t* dst, int pairs);
// AVX2. Pixel pairs of planar rows to XRGB in one pass: what Yuv420pToYuy2Row and then
// Yuy2ToXrgbRowAvx2 give.
int Yuv420pToXrgbRowAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst,
                         int pairs);
// AVX2. The terms WeighedToXrgb takes of the pixels cols[0..n) of a planar row (`pairs` pixel
// pairs; chroma rows of `pairs` bytes): luma, and each chroma as its pair's own plus, for the
// second pixel of a pair, the next pair's (the row's last pair: its own) or, for the first,
// its own again, less 256. Eight at a time while each four lie within 16 pixels and the
// reads stay in the rows (shrinks down to about a fifth); returns the pixels done.
int SampledPlanarTermsAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, int pairs,
                           const int* cols, int n, int16_t* ty, int16_t* tu, int16_t* tv);
// AVX2. out[i] = line[cols[i]] for ascending cols within `valid` words, 8 at a time.
int PickWordsAvx2(const uint32_t* line, const int* cols, int valid, uint32_t* out, int n);

}  // namespace pixel::x86
