#include "voice/ffmpeg_reference.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

namespace voice::testing {
namespace {

AVCodecContext* OpenContext(const AVCodec* codec, int bits_per_coded_sample, int block_align,
                            int bit_rate) {
  if (codec == nullptr) return nullptr;
  av_log_set_level(AV_LOG_QUIET);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  context->sample_rate = 8000;
  av_channel_layout_default(&context->ch_layout, 1);
  context->sample_fmt = AV_SAMPLE_FMT_S16;
  context->bits_per_coded_sample = bits_per_coded_sample;
  context->block_align = block_align;
  context->bit_rate = bit_rate;
  if (avcodec_open2(context, codec, nullptr) < 0) avcodec_free_context(&context);
  return context;
}

}  // namespace

FfmpegDecoder::FfmpegDecoder(const char* name, int bits_per_coded_sample, int block_align)
    : context_(
          OpenContext(avcodec_find_decoder_by_name(name), bits_per_coded_sample, block_align, 0)),
      packet_(av_packet_alloc()),
      frame_(av_frame_alloc()) {}

FfmpegDecoder::~FfmpegDecoder() {
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&context_);
}

bool FfmpegDecoder::Decode(const uint8_t* data, int size, std::vector<int16_t>& out) {
  if (context_ == nullptr || av_new_packet(packet_, size) < 0) return false;
  std::memcpy(packet_->data, data, size);
  const int sent = avcodec_send_packet(context_, packet_);
  av_packet_unref(packet_);
  if (sent < 0) return false;
  while (avcodec_receive_frame(context_, frame_) == 0) {
    const auto* samples = reinterpret_cast<const int16_t*>(frame_->data[0]);
    out.insert(out.end(), samples, samples + frame_->nb_samples);
    av_frame_unref(frame_);
  }
  return true;
}

int FfmpegDecoder::DecodeCounting(const AVPacket* packet) {
  if (avcodec_send_packet(context_, packet) < 0) return -1;
  int samples = 0;
  while (avcodec_receive_frame(context_, frame_) == 0) {
    samples += frame_->nb_samples;
    av_frame_unref(frame_);
  }
  return samples;
}

AVPacket* FfmpegDecoder::MakePacket(const uint8_t* data, int size) {
  AVPacket* packet = av_packet_alloc();
  if (av_new_packet(packet, size) == 0) std::memcpy(packet->data, data, size);
  return packet;
}

void FfmpegDecoder::FreePacket(AVPacket* packet) { av_packet_free(&packet); }

FfmpegEncoder::FfmpegEncoder(const char* name, int bit_rate)
    : context_(OpenContext(avcodec_find_encoder_by_name(name), 0, 0, bit_rate)),
      packet_(av_packet_alloc()),
      frame_(av_frame_alloc()) {}

FfmpegEncoder::~FfmpegEncoder() {
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&context_);
}

int FfmpegEncoder::frame_size() const { return context_ ? context_->frame_size : 0; }

bool FfmpegEncoder::Encode(const int16_t* samples, int count, std::vector<uint8_t>& out) {
  if (context_ == nullptr) return false;
  frame_->nb_samples = count;
  frame_->format = AV_SAMPLE_FMT_S16;
  frame_->sample_rate = 8000;
  av_channel_layout_default(&frame_->ch_layout, 1);
  if (av_frame_get_buffer(frame_, 0) < 0) return false;
  std::memcpy(frame_->data[0], samples, count * sizeof(int16_t));
  const int sent = avcodec_send_frame(context_, frame_);
  av_frame_unref(frame_);
  if (sent < 0) return false;
  while (avcodec_receive_packet(context_, packet_) == 0) {
    out.insert(out.end(), packet_->data, packet_->data + packet_->size);
    av_packet_unref(packet_);
  }
  return true;
}

}  // namespace voice::testing

namespace voice::testing {

int FfmpegEncoder::EncodeCounting(const int16_t* samples, int count) {
  if (frame_->nb_samples != count || frame_->data[0] == nullptr) {
    av_frame_unref(frame_);
    frame_->nb_samples = count;
    frame_->format = AV_SAMPLE_FMT_S16;
    frame_->sample_rate = 8000;
    av_channel_layout_default(&frame_->ch_layout, 1);
    if (av_frame_get_buffer(frame_, 0) < 0) return -1;
  }
  if (av_frame_make_writable(frame_) < 0) return -1;
  std::memcpy(frame_->data[0], samples, count * sizeof(int16_t));
  if (avcodec_send_frame(context_, frame_) < 0) return -1;
  int bytes = 0;
  while (avcodec_receive_packet(context_, packet_) == 0) {
    bytes += packet_->size;
    av_packet_unref(packet_);
  }
  return bytes;
}

}  // namespace voice::testing
