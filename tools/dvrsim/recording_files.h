#pragma once
// The recorder's files: one AVI (H.264, 25 frames/s, a key frame every second) per recording,
// whose picture shows the channel on its first row and the time into the recording (MMSS:
// "0200" two minutes in) on its second, so that a player's position can be read off it, and
// in a corner the hour and minute it starts and its day as grey levels. Each is
// made on first use and kept in the cache folder, where later runs (and other simulators sharing
// the folder) find it; it is written beside its name and renamed, so a half-written file is never
// taken for a whole one.
//
// Thread-safe: callers on any thread; one file is made at a time.

#include <cstdint>
#include <mutex>
#include <string>

#include "tools/dvrsim/catalogue.h"

namespace dvrsim {

struct RecordingFile {
  std::string path;
  int64_t size = 0;
};

class RecordingFiles {
 public:
  RecordingFiles(std::string cacheDir, int width, int height, int seconds);

  // The file of `r`, made if it is not there yet. Throws std::runtime_error when it cannot
  // be made.
  RecordingFile Get(const Recording& r);
  // The file's name inside the cache folder.
  std::string Name(const Recording& r) const;

 private:
  void Make(const Recording& r, const std::string& path);

  std::string dir_;
  int width_, height_, seconds_;
  std::mutex mutex_;
};

// minutes * 100 + seconds of `seconds` into a recording: the number its picture shows.
int PlayingTimeDigits(int seconds);

}  // namespace dvrsim
