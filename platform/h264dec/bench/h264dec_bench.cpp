// Decoding a D1 clip NAL unit by NAL unit through hi_h264dec_w, beside libavcodec decoding the
// same access units whole: the ratio shows what the wrapper costs.

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>

#include "platform/h264dec/hi_h264dec_w.h"
#include "platform/h264dec/test_clip.h"

namespace {

const h264test::Clip& D1Clip() {
  static const h264test::Clip clip = h264test::MakeClip(720, 576, 100, 50);
  return clip;
}

void BM_WrapperNalByNal(benchmark::State& state) {
  const auto& clip = D1Clip();
  H264_DEC_ATTR_S attr{0, 0, 45, 36, 3, 0, nullptr, 0};
  int64_t pictures = 0;
  for (auto _ : state) {
    HI_HDL decoder = Hi264DecCreate(&attr);
    H264_DEC_FRAME_S picture{};
    for (const auto& frame : clip.frames) {
      for (const auto& nal : frame) {
        HI_S32 r = Hi264DecFrame(decoder, const_cast<HI_U8*>(nal.data()),
                                 static_cast<HI_U32>(nal.size()), 0, &picture, 0);
        while (r == HI_H264DEC_OK) {
          ++pictures;
          r = Hi264DecFrame(decoder, nullptr, 0, 0, &picture, 0);
        }
      }
    }
    Hi264DecDestroy(decoder);
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(pictures), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WrapperNalByNal)->Unit(benchmark::kMillisecond);

void BM_LibavcodecWholeFrames(benchmark::State& state) {
  const auto& clip = D1Clip();
  int64_t pictures = 0;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  for (auto _ : state) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->thread_count = 1;
    avcodec_open2(context, codec, nullptr);
    for (const auto& unit : clip.frames) {
      size_t size = 0;
      for (const auto& nal : unit) size += nal.size();
      av_new_packet(packet, static_cast<int>(size));
      size_t at = 0;
      for (const auto& nal : unit) {
        std::memcpy(packet->data + at, nal.data(), nal.size());
        at += nal.size();
      }
      avcodec_send_packet(context, packet);
      av_packet_unref(packet);
      while (avcodec_receive_frame(context, frame) == 0) ++pictures;
    }
    avcodec_send_packet(context, nullptr);
    while (avcodec_receive_frame(context, frame) == 0) ++pictures;
    avcodec_free_context(&context);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(pictures), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LibavcodecWholeFrames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
