#include "tools/dvrsim/encoder.h"

#include <cstring>
#include <memory>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <optional>
#include <string>

#include "tools/dvrsim/picture.h"
#include "tools/dvrsim/relay_lamps.h"
#include "tools/dvrsim/scene.h"

namespace dvrsim {
namespace {

struct CodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::unique_ptr<AVCodecContext, CodecDeleter> OpenEncoder(int width, int height, int kbit,
                                                          bool forcedIdr = false) {
  av_log_set_level(AV_LOG_ERROR);  // the coder's statistics would bury the simulator's log
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) throw std::runtime_error("libx264 encoder not available in libavcodec");
  std::unique_ptr<AVCodecContext, CodecDeleter> ctx(avcodec_alloc_context3(codec));
  ctx->width = width;
  ctx->height = height;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = AVRational{1, kFramesPerSecond};
  ctx->framerate = AVRational{kFramesPerSecond, 1};
  ctx->gop_size = kGopFrames;
  ctx->max_b_frames = 0;
  ctx->thread_count = 1;
  av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
  av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
  std::string params = "keyint=25:min-keyint=25:scenecut=0:repeat-headers=1";
  // A rate cap keeps noisy pictures at a camera's sizes (and key frames far below what a
  // viewer's frame buffers take).
  if (kbit > 0) {
    params += ":vbv-maxrate=" + std::to_string(kbit) + ":vbv-bufsize=" + std::to_string(kbit / 2);
  }
  av_opt_set(ctx->priv_data, "x264-params", params.c_str(), 0);
  av_opt_set(ctx->priv_data, "crf", "23", 0);
  // A key frame asked for must be one a viewer can start from.
  if (forcedIdr) av_opt_set(ctx->priv_data, "forced-idr", "1", 0);
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) throw std::runtime_error("cannot open libx264");
  return ctx;
}

void Drain(AVCodecContext* ctx, AVPacket* pkt, std::vector<CodedFrame>& out) {
  while (avcodec_receive_packet(ctx, pkt) == 0) {
    CodedFrame frame;
    frame.key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
    for (auto& nal : SplitAnnexB(pkt->data, pkt->size)) {
      if ((nal[0] & 0x1F) != 6) frame.nals.push_back(std::move(nal));  // SEI says nothing useful
    }
    out.push_back(std::move(frame));
    av_packet_unref(pkt);
  }
}

void CopyPicture(const Picture& pic, AVFrame* frame) {
  const int width = pic.width, height = pic.height;
  av_frame_make_writable(frame);
  for (int y = 0; y < height; ++y)
    std::memcpy(frame->data[0] + y * frame->linesize[0], &pic.y[y * width], width);
  for (int y = 0; y < height / 2; ++y) {
    std::memcpy(frame->data[1] + y * frame->linesize[1], &pic.u[y * (width / 2)], width / 2);
    std::memcpy(frame->data[2] + y * frame->linesize[2], &pic.v[y * (width / 2)], width / 2);
  }
}

std::unique_ptr<AVFrame, FrameDeleter> AllocFrame(int width, int height) {
  std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) throw std::runtime_error("out of memory");
  return frame;
}

}  // namespace

int SceneKbit(int width, int height) {
  return static_cast<int>(static_cast<long long>(kSceneKbitPerD1) * width * height / (720 * 576));
}

struct LiveEncoder::Codec {
  std::unique_ptr<AVCodecContext, CodecDeleter> ctx;
  std::unique_ptr<AVFrame, FrameDeleter> frame;
  std::unique_ptr<AVPacket, PacketDeleter> pkt;
  int64_t pts = 0;
};

LiveEncoder::LiveEncoder(int width, int height, int kbit) : codec_(std::make_unique<Codec>()) {
  codec_->ctx = OpenEncoder(width, height, kbit, true);
  codec_->frame = AllocFrame(width, height);
  codec_->pkt.reset(av_packet_alloc());
}

LiveEncoder::~LiveEncoder() = default;

CodedFrame LiveEncoder::Encode(const Picture& picture, bool key) {
  AVFrame* frame = codec_->frame.get();
  CopyPicture(picture, frame);
  frame->pts = codec_->pts++;
  frame->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  if (avcodec_send_frame(codec_->ctx.get(), frame) < 0) throw std::runtime_error("libx264 failed");
  std::vector<CodedFrame> out;
  Drain(codec_->ctx.get(), codec_->pkt.get(), out);
  if (out.size() != 1) throw std::runtime_error("libx264 held a live picture back");
  return std::move(out[0]);
}

std::vector<std::vector<uint8_t>> SplitAnnexB(const uint8_t* data, size_t size) {
  std::vector<std::vector<uint8_t>> nals;
  size_t i = 0, start = SIZE_MAX;
  while (i + 3 <= size) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      if (start != SIZE_MAX) {
        size_t end = i;
        while (end > start && data[end - 1] == 0) --end;
        if (end > start) nals.emplace_back(data + start, data + end);
      }
      i += 3;
      start = i;
    } else {
      ++i;
    }
  }
  if (start != SIZE_MAX && start < size) nals.emplace_back(data + start, data + size);
  return nals;
}

std::vector<CodedFrame> SplitPictures(const uint8_t* data, size_t size) {
  std::vector<CodedFrame> frames;
  CodedFrame current;
  bool hasSlice = false;
  auto finish = [&] {
    if (hasSlice) frames.push_back(std::move(current));
    current = CodedFrame{};
    hasSlice = false;
  };
  for (auto& nal : SplitAnnexB(data, size)) {
    const int type = nal[0] & 0x1F;
    if (type == 6 || type == 9) continue;
    const bool slice = type >= 1 && type <= 5;
    // first_mb_in_slice is the first field of the header: ue(v) 0 is a single 1 bit.
    if ((!slice || (nal.size() > 1 && (nal[1] & 0x80) != 0)) && hasSlice) finish();
    if (slice) hasSlice = true;
    if (type == 5) current.key = true;
    current.nals.push_back(std::move(nal));
  }
  finish();
  return frames;
}

std::vector<CodedFrame> EncodeChannelLoop(int width, int height, int channel, int frames,
                                          Backdrop backdrop, int relayLamps) {
  const bool scene = backdrop == Backdrop::kBusyScene;
  const int kbit = scene ? SceneKbit(width, height) : 0;
  auto ctx = OpenEncoder(width, height, kbit);
  std::optional<Scene> world;
  if (scene) world.emplace(Scene::ForPictures(width, height));
  auto frame = AllocFrame(width, height);
  std::unique_ptr<AVPacket, PacketDeleter> pkt(av_packet_alloc());
  std::vector<CodedFrame> out;
  for (int n = 0; n < frames; ++n) {
    Picture pic;
    if (world) {
      pic = world->Render(world->ChannelView(channel, width, height), n, width, height);
      DrawChannelMarks(pic, channel, n);
    } else {
      pic = DrawTestPicture(width, height, channel, n, backdrop == Backdrop::kNoise);
    }
    if (relayLamps >= 0) DrawRelayLamps(pic, relayLamps);
    CopyPicture(pic, frame.get());
    frame->pts = n;
    if (avcodec_send_frame(ctx.get(), frame.get()) < 0) throw std::runtime_error("libx264 failed");
    Drain(ctx.get(), pkt.get(), out);
  }
  avcodec_send_frame(ctx.get(), nullptr);
  Drain(ctx.get(), pkt.get(), out);
  if (static_cast<int>(out.size()) != frames) throw std::runtime_error("libx264 dropped frames");
  return out;
}

std::vector<CodedFrame> EncodePictures(int width, int height, int frames,
                                       const std::function<Picture(int)>& draw) {
  auto ctx = OpenEncoder(width, height, 0);
  auto frame = AllocFrame(width, height);
  std::unique_ptr<AVPacket, PacketDeleter> pkt(av_packet_alloc());
  std::vector<CodedFrame> out;
  for (int n = 0; n < frames; ++n) {
    Picture pic = draw(n);
    CopyPicture(pic, frame.get());
    frame->pts = n;
    if (avcodec_send_frame(ctx.get(), frame.get()) < 0) throw std::runtime_error("libx264 failed");
    Drain(ctx.get(), pkt.get(), out);
  }
  avcodec_send_frame(ctx.get(), nullptr);
  Drain(ctx.get(), pkt.get(), out);
  return out;
}

}  // namespace dvrsim
