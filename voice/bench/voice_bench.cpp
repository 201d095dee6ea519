// Encode and decode speed of every type, in samples per second, beside FFmpeg's codec doing the
// same work in the same run. Each of our benchmarks reports "x_ffmpeg": its rate divided by the
// rate FFmpeg reached on the matching benchmark just before it.

#include <benchmark/benchmark.h>

#include <ctime>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "voice/ffmpeg_reference.h"
#include "voice/hi_voice.h"
#include "voice/test_signals.h"

namespace {

using voice::testing::FfmpegDecoder;
using voice::testing::FfmpegEncoder;

constexpr int kSeconds = 2;  // of 8 kHz signal per benchmark iteration
const std::vector<int16_t>& Signal() {
  static const std::vector<int16_t> signal = voice::testing::SpeechLikeNoise(8000 * kSeconds, 9);
  return signal;
}

std::map<std::string, double>& FfmpegRates() {
  static std::map<std::string, double> rates;
  return rates;
}

// Runs `work` (returning samples processed) for the benchmark's iterations and reports rates.
template <typename Work>
void Measure(benchmark::State& state, const std::string& key, bool is_ffmpeg, Work&& work) {
  int64_t samples = 0;
  // Processor time, as the items_per_second figure uses: steadier than wall time on a shared
  // machine.
  const std::clock_t start = std::clock();
  for (auto _ : state) samples += work();
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  state.SetItemsProcessed(samples);
  const double rate = seconds > 0 ? samples / seconds : 0;
  if (is_ffmpeg) {
    FfmpegRates()[key] = rate;
  } else if (FfmpegRates().count(key) && FfmpegRates()[key] > 0) {
    state.counters["x_ffmpeg"] = rate / FfmpegRates()[key];
  }
}

int FrameSamples(int type) { return type == HI_VOICE_IMA_ADPCM ? 161 : 160; }

std::vector<std::vector<uint8_t>> EncodeFrames(int type) {
  std::vector<std::vector<uint8_t>> frames;
  uint8_t state[HI_VOICE_STATE_BYTES];
  HI_VOICE_EncReset(state, type);
  const int n = FrameSamples(type);
  for (size_t at = 0; at + n <= Signal().size(); at += n) {
    uint8_t frame[HI_VOICE_MAX_FRAME_BYTES];
    HI_VOICE_EncodeFrame(state, &Signal()[at], frame, n);
    frames.emplace_back(frame, frame + 4 + 2 * frame[2]);
  }
  return frames;
}

void OurEncode(benchmark::State& state, int type, std::string key) {
  uint8_t codec[HI_VOICE_STATE_BYTES];
  HI_VOICE_EncReset(codec, type);
  const int n = FrameSamples(type);
  uint8_t frame[HI_VOICE_MAX_FRAME_BYTES];
  Measure(state, key, false, [&] {
    int64_t done = 0;
    for (size_t at = 0; at + n <= Signal().size(); at += n, done += n) {
      HI_VOICE_EncodeFrame(codec, &Signal()[at], frame, n);
      benchmark::DoNotOptimize(frame);
    }
    return done;
  });
}

void OurDecode(benchmark::State& state, int type, std::string key) {
  const auto frames = EncodeFrames(type);
  uint8_t codec[HI_VOICE_STATE_BYTES];
  HI_VOICE_DecReset(codec, type);
  int16_t samples[HI_VOICE_MAX_DECODE_SAMPLES];
  Measure(state, key, false, [&] {
    int64_t done = 0;
    for (const auto& f : frames) {
      int32_t count = 0;
      HI_VOICE_DecodeFrame(codec, f.data(), samples, &count);
      benchmark::DoNotOptimize(samples);
      done += count;
    }
    return done;
  });
}

void FfmpegEncode(benchmark::State& state, const char* name, int bit_rate, std::string key) {
  FfmpegEncoder encoder(name, bit_rate);
  if (!encoder.ok()) return state.SkipWithError("FFmpeg encoder unavailable");
  const int n = encoder.frame_size() > 0 ? encoder.frame_size() : 160;
  Measure(state, key, true, [&] {
    int64_t done = 0;
    for (size_t at = 0; at + n <= Signal().size(); at += n, done += n) {
      encoder.EncodeCounting(&Signal()[at], n);
    }
    return done;
  });
}

// FFmpeg's packets for type `type`: our payloads, re-arranged where its layout differs.
std::vector<std::vector<uint8_t>> FfmpegPackets(int type) {
  std::vector<std::vector<uint8_t>> packets;
  for (const auto& f : EncodeFrames(type == 67 ? 3 : type)) {
    std::vector<uint8_t> p(f.begin() + 4, f.end());
    if (type == 3 || type == 67) std::swap(p[0], p[1]);  // SMJPEG's header is big-endian
    if (type == 65 || type == 66 || type == 68) {
      for (size_t i = 0; i + 1 < p.size(); i += 2) std::swap(p[i], p[i + 1]);
    }
    packets.push_back(std::move(p));
  }
  return packets;
}

void FfmpegDecode(benchmark::State& state, int type, const char* name, int bits, int align,
                  std::string key) {
  FfmpegDecoder decoder(name, bits, align);
  if (!decoder.ok()) return state.SkipWithError("FFmpeg decoder unavailable");
  std::vector<AVPacket*> packets;
  for (const auto& p : FfmpegPackets(type)) {
    packets.push_back(FfmpegDecoder::MakePacket(p.data(), static_cast<int>(p.size())));
  }
  Measure(state, key, true, [&] {
    int64_t done = 0;
    for (AVPacket* p : packets) done += decoder.DecodeCounting(p);
    return done;
  });
  for (AVPacket* p : packets) FfmpegDecoder::FreePacket(p);
}

struct Pairing {
  int type;
  const char* encoder;  // FFmpeg encoder doing the same work
  int bit_rate;
  const char* decoder;  // FFmpeg decoder of the same codes
  int bits;
  int block_align;
};

constexpr Pairing kPairings[] = {
    {1, "pcm_alaw", 0, "pcm_alaw", 8, 0},
    {2, "pcm_mulaw", 0, "pcm_mulaw", 8, 0},
    {65, "pcm_alaw", 0, "pcm_alaw", 8, 0},
    {66, "pcm_mulaw", 0, "pcm_mulaw", 8, 0},
    {3, "adpcm_ima_qt", 0, "adpcm_ima_smjpeg", 4, 0},
    {35, "adpcm_ima_qt", 0, "adpcm_ima_wav", 4, 84},
    {67, "adpcm_ima_qt", 0, "adpcm_ima_smjpeg", 4, 0},
    {4, "g726le", 16000, "g726le", 2, 0},
    {5, "g726le", 24000, "g726le", 3, 0},
    {6, "g726le", 32000, "g726le", 4, 0},
    {7, "g726le", 40000, "g726le", 5, 0},
    {36, "g726", 16000, "g726", 2, 0},
    {37, "g726", 24000, "g726", 3, 0},
    {38, "g726", 32000, "g726", 4, 0},
    {39, "g726", 40000, "g726", 5, 0},
    {68, "g726", 16000, "g726", 2, 0},
};

void RegisterAll() {
  for (const Pairing& p : kPairings) {
    const std::string type = "type" + std::to_string(p.type);
    const std::string enc = "encode/" + type, dec = "decode/" + type;
    benchmark::RegisterBenchmark((enc + "/ffmpeg_" + p.encoder).c_str(), [=](benchmark::State& s) {
      FfmpegEncode(s, p.encoder, p.bit_rate, enc);
    });
    benchmark::RegisterBenchmark((enc + "/ours").c_str(),
                                 [=](benchmark::State& s) { OurEncode(s, p.type, enc); });
    benchmark::RegisterBenchmark((dec + "/ffmpeg_" + p.decoder).c_str(), [=](benchmark::State& s) {
      FfmpegDecode(s, p.type, p.decoder, p.bits, p.block_align, dec);
    });
    benchmark::RegisterBenchmark((dec + "/ours").c_str(),
                                 [=](benchmark::State& s) { OurDecode(s, p.type, dec); });
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
