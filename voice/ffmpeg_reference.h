#pragma once

// FFmpeg's audio codecs, wrapped for the tests and benchmarks that compare against them.
// Never linked into the codec library itself.

#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace voice::testing {

// One mono 8 kHz FFmpeg decoder, kept open across packets so its state carries over.
class FfmpegDecoder {
 public:
  // `name` as FFmpeg spells it ("pcm_alaw", "adpcm_ima_wav", "g726le", ...).
  FfmpegDecoder(const char* name, int bits_per_coded_sample, int block_align);
  ~FfmpegDecoder();
  FfmpegDecoder(const FfmpegDecoder&) = delete;
  FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

  bool ok() const { return context_ != nullptr; }
  // Decodes one packet and appends its samples to `out`; false on any FFmpeg error.
  bool Decode(const uint8_t* data, int size, std::vector<int16_t>& out);
  // Decodes a packet made by MakePacket, discarding the samples; returns how many there were
  // (-1 on error). For benchmarks: no copies beyond FFmpeg's own.
  int DecodeCounting(const AVPacket* packet);

  static AVPacket* MakePacket(const uint8_t* data, int size);
  static void FreePacket(AVPacket* packet);

 private:
  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
};

// One mono 8 kHz FFmpeg encoder of 16-bit samples.
class FfmpegEncoder {
 public:
  FfmpegEncoder(const char* name, int bit_rate);
  ~FfmpegEncoder();
  FfmpegEncoder(const FfmpegEncoder&) = delete;
  FfmpegEncoder& operator=(const FfmpegEncoder&) = delete;

  bool ok() const { return context_ != nullptr; }
  // Samples per call the encoder insists on (0: any count).
  int frame_size() const;
  // Encodes `count` samples and appends the packet bytes to `out`.
  bool Encode(const int16_t* samples, int count, std::vector<uint8_t>& out);
  // Encodes `count` samples, discarding the packets; returns their bytes (-1 on error). The
  // frame buffer is reused from call to call.
  int EncodeCounting(const int16_t* samples, int count);

 private:
  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
};

}  // namespace voice::testing
