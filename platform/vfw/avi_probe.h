#pragma once
// Test helpers: what FFmpeg's tools make of an AVI file. Tests only.

#include <cstdint>
#include <string>
#include <vector>

namespace avi_probe {

// Runs a shell command and returns its standard output; `status` gets the exit status.
std::string Run(const std::string& command, int* status = nullptr);

struct Stream {
  std::string codec_type;  // "video" / "audio"
  std::string codec_tag;   // e.g. "YUY2"
  int width = 0, height = 0;
  long packets = -1;  // packets read, counted by ffprobe
  int sample_rate = 0;
};

// ffprobe's view of the streams; empty when it cannot read the file.
std::vector<Stream> Probe(const std::string& path);
// The first video frame decoded by ffmpeg as raw YUY2 bytes.
std::vector<uint8_t> FirstFrameYuy2(const std::string& path);
// A unique empty directory under the system's temporary directory.
std::string TempDir();

}  // namespace avi_probe
