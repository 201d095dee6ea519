#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/dvrsim/encoder.h"

namespace dvrsim {

// The looped stream of one live channel, coded once at start-up.
struct ChannelLoop {
  int channel = 0;
  std::vector<CodedFrame> frames;
  std::vector<uint8_t> sps, pps;  // from the first key frame, for the SDP
};

// Codes the loops of channels 1..count, several at a time (one per processor).
// Throws std::runtime_error when coding fails.
std::vector<ChannelLoop> EncodeChannels(int width, int height, int count, int frames,
                                        bool busy = false);

inline constexpr uint8_t kVideoPayloadType = 96;
inline constexpr uint8_t kAudioPayloadType = 97;
inline constexpr uint32_t kVideoClock = 90000;
inline constexpr uint32_t kAudioClock = 8000;
inline constexpr const char* kVideoControl = "trackID=1";
inline constexpr const char* kAudioControl = "trackID=2";

// The session description of a live channel: one H.264 video line and, with `audio`, an
// 8 kHz voice line. Control paths are relative, so "<url>/<control>" names each track.
std::string BuildLiveSdp(const ChannelLoop& loop, const std::string& serverAddress, bool audio,
                         uint64_t sessionVersion);

std::string Base64(const std::vector<uint8_t>& bytes);

}  // namespace dvrsim
