#pragma once
// AVIFile: writing AVI files. Files are created for writing only (OF_CREATE | OF_WRITE); the
// streams are declared and given their formats before the first sample is written, at which
// point the headers are laid down. From then on the file stays a valid AVI as it grows: after
// every sample the RIFF and 'movi' sizes and the frame counts in the headers are brought up to
// date, so a file cut off by a crash plays up to its last whole sample. Past the RIFF limit
// (1 GiB) the file goes on in OpenDML form: 'AVIX' RIFFs, each with a standard index per
// stream, and a super index per stream in the headers, so recordings of any length stay
// valid. Releasing the file (when its last stream is released too) writes the last RIFF's
// indexes; the first RIFF also carries an 'idx1'. A write that fails fails the file: every
// later write reports AVIERR_FILEWRITE.
//
// Samples are appended in order; the start position of AVIStreamWrite is not used to leave
// holes. Calls on one file are not thread-safe; callers serialise them.

#include <cstdint>

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

struct IAVIFile;
struct IAVIStream;
using PAVIFILE = IAVIFile*;
using PAVISTREAM = IAVIStream*;

using FOURCC = DWORD;
constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) | static_cast<DWORD>(static_cast<BYTE>(b)) << 8 |
         static_cast<DWORD>(static_cast<BYTE>(c)) << 16 |
         static_cast<DWORD>(static_cast<BYTE>(d)) << 24;
}
constexpr FOURCC streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
constexpr FOURCC streamtypeAUDIO = mmioFOURCC('a', 'u', 'd', 's');

constexpr UINT OF_WRITE = 0x00000001;
constexpr UINT OF_SHARE_DENY_WRITE = 0x00000020;
constexpr UINT OF_CREATE = 0x00001000;

constexpr DWORD AVIIF_KEYFRAME = 0x00000010;

constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_UNSUPPORTED = static_cast<HRESULT>(0x80044065);
constexpr HRESULT AVIERR_BADFORMAT = static_cast<HRESULT>(0x80044066);
constexpr HRESULT AVIERR_MEMORY = static_cast<HRESULT>(0x80044067);
constexpr HRESULT AVIERR_BADPARAM = static_cast<HRESULT>(0x8004406A);
constexpr HRESULT AVIERR_FILEWRITE = static_cast<HRESULT>(0x8004406C);
constexpr HRESULT AVIERR_FILEOPEN = static_cast<HRESULT>(0x8004406D);
constexpr HRESULT AVIERR_READONLY = static_cast<HRESULT>(0x80044074);

struct AVISTREAMINFOA {
  DWORD fccType;
  DWORD fccHandler;
  DWORD dwFlags;
  DWORD dwCaps;
  WORD wPriority;
  WORD wLanguage;
  DWORD dwScale;
  DWORD dwRate;
  DWORD dwStart;
  DWORD dwLength;
  DWORD dwInitialFrames;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality;
  DWORD dwSampleSize;
  RECT rcFrame;
  DWORD dwEditCount;
  DWORD dwFormatChangeCount;
  char szName[64];
};
using AVISTREAMINFO = AVISTREAMINFOA;

// The size at which a file's RIFF is closed and the next begins, for files opened after the
// call; 0 restores the default (1 GiB, also the largest allowed). For tests, which make
// many-RIFF files of a few megabytes.
void AVIFileSetRiffLimit(uint64_t bytes);

// Counts users of the library; kept for callers that pair them. Nothing depends on it.
void AVIFileInit();
void AVIFileExit();

// Only writing is offered: `mode` must hold OF_WRITE or OF_CREATE (else AVIERR_READONLY).
// `handler` must be null. The file is created (or truncated) at once.
HRESULT AVIFileOpenA(PAVIFILE* file, LPCSTR name, UINT mode, const void* handler);
inline HRESULT AVIFileOpen(PAVIFILE* file, LPCSTR name, UINT mode, const void* handler) {
  return AVIFileOpenA(file, name, mode, handler);
}
// Video and audio streams only; at most 100; not after the first sample was written.
// The stream holds a reference on its file.
HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info);
inline HRESULT AVIFileCreateStream(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info) {
  return AVIFileCreateStreamA(file, stream, info);
}
// The 'strf' bytes; before the first sample of the file only.
HRESULT AVIStreamSetFormat(PAVISTREAM stream, LONG position, const void* format, LONG size);
// Appends one chunk of `size` bytes (0 gives an empty sample). `samples_written` gets the
// samples it stands for (size / sample size for fixed-size samples, else `samples`).
HRESULT AVIStreamWrite(PAVISTREAM stream, LONG start, LONG samples, const void* buffer, LONG size,
                       DWORD flags, LONG* samples_written, LONG* bytes_written);
ULONG AVIStreamRelease(PAVISTREAM stream);
ULONG AVIFileRelease(PAVIFILE file);

#pragma GCC visibility pop
