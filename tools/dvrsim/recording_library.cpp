#include "tools/dvrsim/recording_library.h"

#include <ctime>
#include <stdexcept>

#include "tools/dvrsim/recording_reader.h"

namespace dvrsim {

RecordingLibrary::RecordingLibrary(const RecorderOptions& options, int channels, int width,
                                   int height)
    : catalogue_(channels, options.recordsPerDay, std::time(nullptr)),
      files_(CacheDirectory(options), width, height, options.recordSeconds) {}

std::shared_ptr<const PlayableRecording> RecordingLibrary::Open(const RecordDescriptorFields& d) {
  const Recording* r = catalogue_.Find(d);
  if (r == nullptr) return nullptr;
  RecordingFile file;
  try {
    file = files_.Get(*r);
  } catch (const std::runtime_error&) {
    return nullptr;
  }
  if (file.size != d.size) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = open_.find(file.path);
  if (it != open_.end()) return it->second;
  auto frames = ReadRecordingFrames(file.path);
  if (!frames) return nullptr;
  auto playable = std::make_shared<PlayableRecording>();
  playable->name = files_.Name(*r);
  playable->frames = std::move(*frames);
  for (const auto& nal : playable->frames.front().nals) {
    if (nal.empty()) continue;
    if ((nal[0] & 0x1F) == 7 && playable->sps.empty()) playable->sps = nal;
    if ((nal[0] & 0x1F) == 8 && playable->pps.empty()) playable->pps = nal;
  }
  open_[file.path] = playable;
  return playable;
}

}  // namespace dvrsim
