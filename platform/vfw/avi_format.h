#pragma once
// The RIFF AVI file layout written by the AVIFile stand-in, in one place:
//
//   RIFF 'AVI '
//     LIST 'hdrl'
//       'avih' MainAVIHeader (total frames: those of this first RIFF)
//       LIST 'strl' ('strh' AVIStreamHeader, 'strf' format bytes,
//                    'indx' AVISUPERINDEX, a 'JUNK' of the same size until its first entry)
//                                                                 one per stream
//       LIST 'odml' ('dmlh': total frames of the whole file)
//     LIST 'movi'
//       'NNdc' / 'NNwb' chunks (NN: stream number in decimal; odd sizes padded to even)
//       'ixNN' AVISTDINDEX per stream, for the chunks of this RIFF
//     'idx1' AVIINDEXENTRY per chunk of this RIFF, offsets from the 'movi' four-character code
//   RIFF 'AVIX'                                  (OpenDML: one more per RIFF limit of data)
//     LIST 'movi'
//       chunks, then 'ixNN' per stream
//
// Each 'indx' entry points at one 'ixNN' chunk; a standard index entry's offset is that of
// the chunk's data from the index's base (its RIFF's 'movi' LIST), bit 31 of its size set for
// a chunk that is not a key frame.
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
constexpr uint32_t kAvix = FourCC('A', 'V', 'I', 'X');
constexpr uint32_t kIndx = FourCC('i', 'n', 'd', 'x');
constexpr uint32_t kJunk = FourCC('J', 'U', 'N', 'K');
constexpr uint32_t kOdml = FourCC('o', 'd', 'm', 'l');
constexpr uint32_t kDmlh = FourCC('d', 'm', 'l', 'h');

constexpr uint8_t kIndexOfIndexes = 0x00;
constexpr uint8_t kIndexOfChunks = 0x01;
constexpr uint32_t kStdIndexNotKey = 0x80000000;
// Super index entries reserved per stream: with 1 GiB RIFFs, files of 256 GiB are indexed
// whole; beyond that the RIFFs still follow, found by reading the file through.
constexpr uint32_t kSuperIndexEntries = 256;
constexpr uint32_t kDmlhBytes = 248;

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

#pragma pack(push, 1)
struct SuperIndexHeader {   // after the 'indx' chunk header
  uint16_t wLongsPerEntry;  // 4
  uint8_t bIndexSubType;    // 0
  uint8_t bIndexType;       // kIndexOfIndexes
  uint32_t nEntriesInUse;
  uint32_t dwChunkId;
  uint32_t dwReserved[3];
};
static_assert(sizeof(SuperIndexHeader) == 24);

struct SuperIndexEntry {
  uint64_t qwOffset;    // of the 'ixNN' chunk header in the file
  uint32_t dwSize;      // of that chunk, header included
  uint32_t dwDuration;  // frames (video) or samples (audio) it indexes
};
static_assert(sizeof(SuperIndexEntry) == 16);

struct StdIndexHeader {     // after the 'ixNN' chunk header
  uint16_t wLongsPerEntry;  // 2
  uint8_t bIndexSubType;    // 0
  uint8_t bIndexType;       // kIndexOfChunks
  uint32_t nEntriesInUse;
  uint32_t dwChunkId;
  uint64_t qwBaseOffset;
  uint32_t dwReserved;
};
static_assert(sizeof(StdIndexHeader) == 24);

struct StdIndexEntry {
  uint32_t dwOffset;  // of the chunk's data, from qwBaseOffset
  uint32_t dwSize;    // kStdIndexNotKey set when not a key frame
};
static_assert(sizeof(StdIndexEntry) == 8);
#pragma pack(pop)

}  // namespace avi
