#pragma once
// The recordings the RTSP server plays back: the same catalogue and files as the recorder's
// (the same options make the same recordings), each file read back once and kept while the
// server runs.
//
// Thread-safe: the connections' threads open recordings at any time.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/dvrsim/catalogue.h"
#include "tools/dvrsim/encoder.h"
#include "tools/dvrsim/recorder_options.h"
#include "tools/dvrsim/recording_files.h"

namespace dvrsim {

// One recording as it plays: its pictures at kFramesPerSecond, and the parameter sets of its
// first key frame for the description.
struct PlayableRecording {
  std::string name;
  std::vector<CodedFrame> frames;
  std::vector<uint8_t> sps, pps;
  double seconds() const { return static_cast<double>(frames.size()) / kFramesPerSecond; }
};

class RecordingLibrary {
 public:
  RecordingLibrary(const RecorderOptions& options, int channels, int width, int height);

  // The recording `record` names on its storage, with that size; null when it names none
  // or its file cannot be made or read.
  std::shared_ptr<const PlayableRecording> Open(const RecordDescriptorFields& record);

 private:
  Catalogue catalogue_;
  RecordingFiles files_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const PlayableRecording>> open_;  // by path
};

}  // namespace dvrsim
