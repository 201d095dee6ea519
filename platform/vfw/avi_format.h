#pragma once
// The RIFF AVI file layout written by the AVIFile stand-in, in one place:
//
//   RIFF 'AVI '
//     LIST 'hdrl'
//       'avih' MainAVIHeader
//       LIST 'strl' ('strh' AVIStreamHeader, 'strf' format bytes)   one per stream
//     LIST 'movi'
//       'NNdc' / 'NNwb' chunks (NN: stream number in decimal; odd sizes padded to even)
//     'idx1' AVIINDEXENTRY per chunk, offsets from the 'movi' four-character code
//
// All fields little-endian; the records are written as they lie in memory on x86.

#include <cstdint>

namespace avi {

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

constexpr uint32_t kRiff = FourCC('R', 'I', 'F', 'F');
constexpr uint32_t kAvi = FourCC('A', 'V', 'I', ' ');
constexpr uint32_t kList = FourCC('L', 'I', 'S', 'T');
constexpr uint32_t kHdrl = FourCC('h', 'd', 'r', 'l');
constexpr uint32_t kAvih = FourCC('a', 'v', 'i', 'h');
constexpr uint32_t kStrl = FourCC('s', 't', 'r', 'l');
constexpr uint32_t kStrh = FourCC('s', 't', 'r', 'h');
constexpr uint32_t kStrf = FourCC('s', 't', 'r', 'f');
constexpr uint32_t kMovi = FourCC('m', 'o', 'v', 'i');
constexpr uint32_t kIdx1 = FourCC('i', 'd', 'x', '1');

constexpr uint32_t kAvifHasIndex = 0x00000010;
constexpr uint32_t kAvifIsInterleaved = 0x00000100;

struct ChunkHeader {
  uint32_t id;
  uint32_t size;  // bytes of data after this header, without the pad byte
};
static_assert(sizeof(ChunkHeader) == 8);

struct ListHeader {
  uint32_t id;    // kRiff or kList
  uint32_t size;  // bytes after this field, including `type`
  uint32_t type;
};
static_assert(sizeof(ListHeader) == 12);

struct MainAVIHeader {
  uint32_t dwMicroSecPerFrame;
  uint32_t dwMaxBytesPerSec;
  uint32_t dwPaddingGranularity;
  uint32_t dwFlags;
  uint32_t dwTotalFrames;
  uint32_t dwInitialFrames;
  uint32_t dwStreams;
  uint32_t dwSuggestedBufferSize;
  uint32_t dwWidth;
  uint32_t dwHeight;
  uint32_t dwReserved[4];
};
static_assert(sizeof(MainAVIHeader) == 56);

struct AVIStreamHeader {
  uint32_t fccType;
  uint32_t fccHandler;
  uint32_t dwFlags;
  uint16_t wPriority;
  uint16_t wLanguage;
  uint32_t dwInitialFrames;
  uint32_t dwScale;
  uint32_t dwRate;
  uint32_t dwStart;
  uint32_t dwLength;
  uint32_t dwSuggestedBufferSize;
  uint32_t dwQuality;
  uint32_t dwSampleSize;
  int16_t rcFrame[4];  // left, top, right, bottom
};
static_assert(sizeof(AVIStreamHeader) == 56);

struct AVIINDEXENTRY {
  uint32_t ckid;
  uint32_t dwFlags;
  uint32_t dwChunkOffset;
  uint32_t dwChunkLength;
};
static_assert(sizeof(AVIINDEXENTRY) == 16);

}  // namespace avi
