#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/dvrsim/encoder.h"
#include "voice/hi_voice.h"

namespace dvrsim {

class LiveCamera;

// The looped stream of one live channel, coded once at start-up.
struct ChannelLoop {
  int channel = 0;
  std::vector<CodedFrame> frames;
  std::vector<uint8_t> sps, pps;  // from the first key frame, for the SDP
  // Channel 1 with the command side on: the loop once per relay mask 0-3, lamps drawn in;
  // sessions follow `*relayMask` (owned by the command server) from key frame to key frame.
  std::vector<std::vector<CodedFrame>> relayFrames;
  const std::atomic<int>* relayMask = nullptr;
  // With the command side on, the channel's camera (owned by the command server): once it
  // has moved, sessions send its live pictures instead of the loop (live_camera.h).
  LiveCamera* camera = nullptr;
};

// Codes the loops of channels 1..count, several at a time (one per processor), with
// `backdrop` behind the digits; a channel in `given` loops those frames instead.
// Throws std::runtime_error when coding fails or given frames start with no key frame and
// parameter sets.
std::vector<ChannelLoop> EncodeChannels(int width, int height, int count, int frames,
                                        Backdrop backdrop = Backdrop::kGradient,
                                        const std::map<int, std::vector<CodedFrame>>& given = {});

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

// Voice frames: IMA ADPCM (type 35) of 42 words, i.e. the first sample as it is and 160
// coded ones, 161 samples (20.125 ms) per frame; the RTP clock counts samples.
inline constexpr int kVoiceType = HI_VOICE_IMA_ADPCM;
inline constexpr int kVoiceFrameSamples = 161;
inline constexpr int kVoiceFrameMicros = kVoiceFrameSamples * 1000000 / kAudioClock;
inline constexpr double kVoiceAmplitude = 8000;

// The pitch of a channel's tone: 300 + 100 * channel Hz (channel 1 400 Hz .. 8 1100 Hz), so a
// listener or a test can tell the channels apart.
double ChannelPitch(int channel);

// The voice of one channel: a steady tone at its pitch, coded frame after frame with one
// encoder state. Starts at the crest of the wave, so its first sample is never silent.
class VoiceSource {
 public:
  explicit VoiceSource(int channel);
  // The next frame: 4 + 2 * L bytes as the codec lays them out.
  std::vector<uint8_t> NextFrame();

 private:
  double cycles_ = 0;  // phase in cycles, kept within [0, 1)
  double step_;        // cycles per sample
  uint8_t encoder_[HI_VOICE_STATE_BYTES] = {};
};

}  // namespace dvrsim
