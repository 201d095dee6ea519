#include "platform/h264dec/test_clip.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <stdexcept>
#include <string>

namespace h264test {
namespace {

void FillPattern(AVFrame* frame, int index) {
  for (int y = 0; y < frame->height; ++y) {
    for (int x = 0; x < frame->width; ++x) {
      frame->data[0][y * frame->linesize[0] + x] =
          static_cast<uint8_t>(((x + index * 4) / 16 % 2) * 160 + (y / 8) + 16);
    }
  }
  for (int y = 0; y < frame->height / 2; ++y) {
    for (int x = 0; x < frame->width / 2; ++x) {
      frame->data[1][y * frame->linesize[1] + x] = static_cast<uint8_t>(128 + index % 40);
      frame->data[2][y * frame->linesize[2] + x] = static_cast<uint8_t>(100 + x % 50);
    }
  }
}

uint32_t LumaSum(const AVFrame* frame) {
  uint32_t sum = 0;
  for (int y = 0; y < frame->height; ++y) {
    for (int x = 0; x < frame->width; ++x) sum += frame->data[0][y * frame->linesize[0] + x];
  }
  return sum;
}

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test clip: ") + what);
}

}  // namespace

std::vector<Nal> SplitNals(const uint8_t* data, size_t size) {
  std::vector<size_t> starts;
  for (size_t i = 0; i + 3 <= size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      starts.push_back(i + 3);
      i += 2;
    }
  }
  std::vector<Nal> nals;
  for (size_t k = 0; k < starts.size(); ++k) {
    size_t end = k + 1 < starts.size() ? starts[k + 1] - 3 : size;
    while (end > starts[k] && data[end - 1] == 0) --end;  // a 4-byte start code's zero
    Nal nal = {0, 0, 0, 1};
    nal.insert(nal.end(), data + starts[k], data + end);
    nals.push_back(std::move(nal));
  }
  return nals;
}

Clip MakeClip(int width, int height, int count, int gop, int slices) {
  av_log_set_level(AV_LOG_ERROR);
  const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
  const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_H264);
  Check(encoder && decoder, "codecs missing");
  AVCodecContext* enc = avcodec_alloc_context3(encoder);
  enc->width = width;
  enc->height = height;
  enc->pix_fmt = AV_PIX_FMT_YUV420P;
  enc->time_base = {1, 25};
  enc->framerate = {25, 1};
  enc->gop_size = gop;
  enc->max_b_frames = 0;
  enc->thread_count = 1;
  enc->slices = slices;
  av_opt_set(enc->priv_data, "preset", "ultrafast", 0);
  av_opt_set(enc->priv_data, "tune", "zerolatency", 0);
  Check(avcodec_open2(enc, encoder, nullptr) == 0, "encoder open");
  AVCodecContext* dec = avcodec_alloc_context3(decoder);
  dec->thread_count = 1;
  Check(avcodec_open2(dec, decoder, nullptr) == 0, "decoder open");

  Clip clip;
  clip.width = width;
  clip.height = height;
  AVFrame* frame = av_frame_alloc();
  frame->width = width;
  frame->height = height;
  frame->format = AV_PIX_FMT_YUV420P;
  av_frame_get_buffer(frame, 0);
  AVFrame* decoded = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  for (int i = 0; i <= count; ++i) {
    if (i < count) {
      av_frame_make_writable(frame);
      FillPattern(frame, i);
      frame->pts = i;
      avcodec_send_frame(enc, frame);
    } else {
      avcodec_send_frame(enc, nullptr);
    }
    while (avcodec_receive_packet(enc, packet) == 0) {
      clip.frames.push_back(SplitNals(packet->data, static_cast<size_t>(packet->size)));
      avcodec_send_packet(dec, packet);
      while (avcodec_receive_frame(dec, decoded) == 0) clip.luma_sums.push_back(LumaSum(decoded));
      av_packet_unref(packet);
    }
  }
  avcodec_send_packet(dec, nullptr);
  while (avcodec_receive_frame(dec, decoded) == 0) clip.luma_sums.push_back(LumaSum(decoded));
  av_packet_free(&packet);
  av_frame_free(&decoded);
  av_frame_free(&frame);
  avcodec_free_context(&dec);
  avcodec_free_context(&enc);
  return clip;
}

}  // namespace h264test
