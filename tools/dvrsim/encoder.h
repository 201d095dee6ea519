#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/dvrsim/picture.h"

namespace dvrsim {

// One coded picture: its NAL units without start codes.
struct CodedFrame {
  std::vector<std::vector<uint8_t>> nals;
  bool key = false;
};

inline constexpr int kFramesPerSecond = 25;
inline constexpr int kGopFrames = 25;

// Encodes `frames` pictures of `channel` with libx264 (one IDR every kGopFrames, SPS and
// PPS before every IDR, no B frames) so that the loop can be replayed seamlessly. The busy
// scene is coded within a camera's bit rate (kSceneKbitPerD1 for a D1 picture).
// With `relayLamps` 0 to 3 the relay lamps of that mask are drawn in (relay_lamps.h).
// Throws std::runtime_error when the encoder is missing or fails.
std::vector<CodedFrame> EncodeChannelLoop(int width, int height, int channel, int frames,
                                          Backdrop backdrop = Backdrop::kGradient,
                                          int relayLamps = -1);

inline constexpr int kSceneKbitPerD1 = 2000;
// The busy scene's rate cap for pictures of width x height, in kbit/s.
int SceneKbit(int width, int height);

// Codes pictures one at a time, as a camera coded live gives them: libx264 as for the loops,
// holding no picture back, so each Encode gives that picture's coded frame. A key frame
// (asked for, or every kGopFrames) is an IDR picture with the parameter sets before it.
// Not thread-safe: one caller at a time.
class LiveEncoder {
 public:
  // `kbit` 0: no rate cap. Throws std::runtime_error when the encoder is missing.
  LiveEncoder(int width, int height, int kbit);
  ~LiveEncoder();
  LiveEncoder(const LiveEncoder&) = delete;
  LiveEncoder& operator=(const LiveEncoder&) = delete;

  // REQUIRES: `picture` has the encoder's size. Throws std::runtime_error when coding fails.
  CodedFrame Encode(const Picture& picture, bool key);

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
};

// Encodes the `frames` pictures `draw` gives for 0..frames-1 the same way.
struct Picture;
std::vector<CodedFrame> EncodePictures(int width, int height, int frames,
                                       const std::function<Picture(int)>& draw);

// Splits an Annex B byte stream into NAL units (start codes removed).
std::vector<std::vector<uint8_t>> SplitAnnexB(const uint8_t* data, size_t size);

// Groups the NAL units of an Annex B stream into coded pictures: each picture's slices with
// the parameter sets before them; SEI and access unit delimiters are left out. A slice that
// starts at macroblock 0 starts a new picture.
std::vector<CodedFrame> SplitPictures(const uint8_t* data, size_t size);

}  // namespace dvrsim
