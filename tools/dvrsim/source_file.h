#pragma once
// A channel's loop from a file instead of drawn pictures: any file with a video track that
// ffmpeg reads. Its video is coded again once, to the simulator's form (width x height, 25
// frames/s, a key frame every second with its parameter sets, no B frames) and kept in a cache
// file, so later runs start at once.

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tools/dvrsim/encoder.h"

namespace dvrsim {

// The first `maxFrames` pictures of `file`'s video, coded as above. The cache lives in
// `cacheDir` when given, else in $DVRSIM_CACHE, else in the temporary directory's
// "dvrsim-cache"; it is keyed by the file's
// path, size and time of change and by the size and frame count asked for. Progress goes to
// `log`. Throws std::runtime_error when the file is missing, ffmpeg is not installed or
// fails, or the result holds no key frame.
std::vector<CodedFrame> LoadSourceFrames(const std::string& file, int width, int height,
                                         int maxFrames, std::ostream& log,
                                         const std::string& cacheDir = "");

// The frames of each channel 1..channels that `sources` gives a file (channel 0 stands for
// every channel not named), each distinct file coded once.
std::map<int, std::vector<CodedFrame>> LoadChannelSources(const std::map<int, std::string>& sources,
                                                          int channels, int width, int height,
                                                          int maxFrames, std::ostream& log,
                                                          const std::string& cacheDir = "");

}  // namespace dvrsim
