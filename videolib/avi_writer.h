#pragma once
// CAviWriter: one AVI file with at most one video stream and one audio stream. The video
// stream is kept at its nominal frame rate: when the time stamps show that frames are
// missing, empty samples stand in for them, so that the recording plays at the speed it was
// taken.
//
// Every public operation takes the writer's lock: a recording thread and the owner may call
// it concurrently. The file stays playable while it grows (see platform/vfw/vfw.h), so a
// recording cut off by a crash keeps everything up to its last whole frame.

#include <cstdint>

#include "platform/kernel/win_types.h"
#include "platform/mm/mmsystem.h"
#include "platform/vfw/vfw.h"
#include "videolib/lock.h"

class CAviWriter {
 public:
  struct tagVideoStreamInfo {
    DWORD width;
    DWORD height;
    DWORD rate;  // frames per second; 0 keeps the writer's rate
    DWORD fourcc;
  };
  struct tagAudioStreamInfo {
    WAVEFORMATEX wfx;
    DWORD sampleSize;
    DWORD handler;
  };

  CAviWriter();
  virtual ~CAviWriter();  // closes the file
  CAviWriter(const CAviWriter&) = delete;
  CAviWriter& operator=(const CAviWriter&) = delete;

  // Creates `name` with the streams described (either may be null). Returns 1, or 0 when a
  // file is already open (it stays untouched), the file cannot be created or the video
  // stream cannot be made (nothing is left open then). An audio stream whose format is
  // refused is left out without failing the open.
  int Open(const char* name, tagVideoStreamInfo* video, tagAudioStreamInfo* audio);
  // Releases the streams and the file; the file gets its index.
  void Close();
  // One picture of `size` bytes taken at `time` (100 ns units) from a source that delivers a
  // picture every `interval` ms. Returns size, -1 without a video stream, -2 when an empty
  // sample could not be written, -3 when the picture could not be written.
  long WriteVideo(void* data, long size, int64_t time, int interval);
  // One block of audio. Returns size, -1 without an audio stream, -3 on failure.
  long WriteAudio(void* data, long size);
  // Video and audio bytes written, or -1 when no file is open.
  long GetSize();

  static int m_iAviRef;  // writer objects alive; the AVIFile library is held while above 0

 protected:
  int Open(const char* name);
  int CreateVideoStream(int width, int height, int rate, DWORD fourcc);
  int CreateAudioStream(const WAVEFORMATEX* format, DWORD sample_size, DWORD handler);

 private:
  // Empty samples to put before the picture taken at `time`; updates the one-second window.
  int PaceVideo(int64_t time, int interval);
  void CloseLocked();

  PAVIFILE m_pFile;  // guarded by m_lock, as is every field below
  PAVISTREAM m_pVideo;
  PAVISTREAM m_pAudio;
  int m_nRate;
  int m_nFramesThisSecond;
  int64_t m_lastTime;
  int64_t m_windowStart;
  LONG m_nVideoIndex;
  LONG m_nAudioIndex;
  int64_t m_nBytes;
  int m_bStarted;
  char m_szFileName[260];
  CrLockCS m_lock;
};
