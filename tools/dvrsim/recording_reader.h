#pragma once
// Reads a recording file back for playback: the coded pictures of the video stream of an AVI
// file as the recorder writes them (one Annex B sample per "00dc" chunk of the "movi" list).

#include <optional>
#include <string>
#include <vector>

#include "tools/dvrsim/encoder.h"

namespace dvrsim {

// The pictures of `path`, key frames marked by their IDR slices; nothing when the file cannot
// be read or holds no picture. The parameter sets stay in the pictures they precede.
std::optional<std::vector<CodedFrame>> ReadRecordingFrames(const std::string& path);

}  // namespace dvrsim
