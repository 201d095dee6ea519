// hi_h264dec_w over libavcodec's H.264 decoder, and its H.265 decoder for HiVideoDecCreate.
//
// The channels hand over one NAL unit per call. Parameter sets and SEI are held back and go to
// the decoder together with the next slice, so that each packet holds whole NAL units ending in
// a slice. AV_CODEC_FLAG2_CHUNKS lets a picture span several packets (several slices) and, with
// a single decoding thread, makes a picture available as soon as its last macroblock row is
// decoded, adding no frame of delay.
//
// The H.265 decoder takes whole pictures: libavcodec's parser gathers the units handed over
// into access units, which it knows complete when the next one begins.

#include "platform/h264dec/hi_h264dec_w.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
}

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr HI_U32 kMaxWidthInMb = 256;  // 4096 pixels
constexpr HI_U32 kMaxHeightInMb = 256;

struct Decoder {
  AVCodecContext* context = nullptr;
  bool hevc = false;
  AVCodecParserContext* parser = nullptr;  // H.265 only
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;  // the picture last handed out, kept until the next one
  AVFrame* next = nullptr;   // where the next picture is received
  AVFrame* held = nullptr;   // a picture taken out early to make room for input
  bool has_held = false;
  bool warned_format = false;
  std::vector<uint8_t> pending;  // non-slice NAL units waiting for their slice
  std::vector<uint8_t> padded;   // the parser's input: it reads past the end of what it is given
};

void FreeDecoder(Decoder* decoder) {
  if (decoder->parser != nullptr) av_parser_close(decoder->parser);
  avcodec_free_context(&decoder->context);
  av_packet_free(&decoder->packet);
  av_frame_free(&decoder->frame);
  av_frame_free(&decoder->next);
  av_frame_free(&decoder->held);
  delete decoder;
}

// True when the bytes hold a slice NAL unit (types 1 to 5) after an Annex B start code.
bool HoldsSlice(const HI_U8* data, HI_U32 length) {
  for (HI_U32 i = 0; i + 3 < length; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      int type = data[i + 3] & 0x1F;
      if (type >= 1 && type <= 5) return true;
      i += 2;
    }
  }
  return false;
}

// Planar 4:2:0 with top-down rows and one stride for both chroma planes, as the record holds.
bool IsPlanar420(const AVFrame* f) {
  return (f->format == AV_PIX_FMT_YUV420P || f->format == AV_PIX_FMT_YUVJ420P) &&
         f->linesize[0] >= f->width && f->linesize[1] >= (f->width + 1) / 2 &&
         f->linesize[1] == f->linesize[2];
}

HI_S32 Publish(Decoder* decoder, AVFrame* source, H264_DEC_FRAME_S* picture) {
  if (!IsPlanar420(source)) {
    if (!decoder->warned_format) {
      std::fprintf(stderr, "h264dec: pictures in pixel format %d are not planar 4:2:0; skipped\n",
                   source->format);
      decoder->warned_format = true;
    }
    av_frame_unref(source);
    return HI_H264DEC_NEED_MORE_BITS;
  }
  if (source != decoder->frame) {
    av_frame_unref(decoder->frame);
    av_frame_move_ref(decoder->frame, source);
  }
  AVFrame* f = decoder->frame;
  std::memset(picture, 0, sizeof(*picture));
  // The decoder's own planes, referenced until the next picture: no copy of the picture here.
  picture->pY = f->data[0];
  picture->pU = f->data[1];
  picture->pV = f->data[2];
  picture->uYStride = static_cast<HI_U32>(f->linesize[0]);
  picture->uUVStride = static_cast<HI_U32>(f->linesize[1]);
  picture->uWidth = static_cast<HI_U32>(f->width);
  picture->uHeight = static_cast<HI_U32>(f->height);
  picture->bError = (f->decode_error_flags != 0 || (f->flags & AV_FRAME_FLAG_CORRUPT)) ? 1 : 0;
  picture->bIsFinished = 1;
  picture->ullPTS = f->pts == AV_NOPTS_VALUE ? 0 : static_cast<HI_U64>(f->pts);
  return HI_H264DEC_OK;
}

// Takes the next decoded picture, if there is one.
HI_S32 Receive(Decoder* decoder, H264_DEC_FRAME_S* picture) {
  if (decoder->has_held) {
    decoder->has_held = false;
    return Publish(decoder, decoder->held, picture);
  }
  for (;;) {
    // Into a frame of its own: the picture handed out last stays valid when none comes.
    int rc = avcodec_receive_frame(decoder->context, decoder->next);
    if (rc == AVERROR(EAGAIN)) return HI_H264DEC_NEED_MORE_BITS;
    if (rc == AVERROR_EOF) return HI_H264DEC_NO_PICTURE;
    if (rc < 0) return HI_H264DEC_NEED_MORE_BITS;
    HI_S32 result = Publish(decoder, decoder->next, picture);
    if (result == HI_H264DEC_OK) return result;
  }
}

void Send(Decoder* decoder, const uint8_t* data, size_t length, HI_U64 pts) {
  AVPacket* packet = decoder->packet;
  if (av_new_packet(packet, static_cast<int>(length)) < 0) return;
  std::memcpy(packet->data, data, length);
  packet->pts = static_cast<int64_t>(pts);
  int rc = avcodec_send_packet(decoder->context, packet);
  if (rc == AVERROR(EAGAIN) && !decoder->has_held) {
    // A picture is still waiting: keep it aside, then the input fits.
    if (avcodec_receive_frame(decoder->context, decoder->held) == 0) decoder->has_held = true;
    avcodec_send_packet(decoder->context, packet);
  }
  av_packet_unref(packet);  // damaged input is dropped by the decoder; nothing to report
}

// Every access unit the parser completes goes to the decoder; null data with 0 bytes flushes
// the unit it is holding.
void Parse(Decoder* decoder, const uint8_t* data, size_t length, HI_U64 pts) {
  if (data != nullptr) {
    // The parser may read up to the padding size beyond its input; the caller's buffer
    // need not have those bytes, so the input is parsed from a padded copy.
    decoder->padded.assign(data, data + length);
    decoder->padded.resize(length + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    data = decoder->padded.data();
  }
  int idle = 0;  // calls in a row that took nothing: a parser that stalls is left
  do {
    uint8_t* unit = nullptr;
    int unit_size = 0;
    int step = static_cast<int>(length > 1 << 30 ? 1 << 30 : length);
    int used = av_parser_parse2(decoder->parser, decoder->context, &unit, &unit_size, data, step,
                                static_cast<int64_t>(pts), AV_NOPTS_VALUE, 0);
    if (used < 0) return;
    if (unit_size > 0) Send(decoder, unit, static_cast<size_t>(unit_size), pts);
    if (data == nullptr) return;
    if (used == 0 && ++idle > 2) return;
    if (used > 0) idle = 0;
    data += used;
    length -= static_cast<size_t>(used);
  } while (length > 0);
}

HI_S32 Drain(Decoder* decoder, H264_DEC_FRAME_S* picture) {
  avcodec_send_packet(decoder->context, nullptr);
  HI_S32 result = Receive(decoder, picture);
  if (result == HI_H264DEC_NO_PICTURE || result == HI_H264DEC_NEED_MORE_BITS) {
    avcodec_flush_buffers(decoder->context);  // ready for a new stream
    return HI_H264DEC_NO_PICTURE;
  }
  return result;
}

}  // namespace

extern "C" HI_S32 Hi264DecGetInfo(H264_LIBINFO_S* info) {
  if (info == nullptr) return HI_H264DEC_ERR_HANDLE;
  static char version[96];
  std::snprintf(version, sizeof(version), "hi_h264dec_w 1.0 over libavcodec %s", av_version_info());
  std::memset(info, 0, sizeof(*info));
  info->uMajor = 1;
  info->sVersion = version;
  info->sCopyRight = "decoding by FFmpeg's libavcodec (LGPL)";
  info->uFunctionSet = 0x1;  // progressive frames, byte-stream input
  info->uPicWidth = kMaxWidthInMb * 16;
  info->uPicHeight = kMaxHeightInMb * 16;
  info->uBufNum = 16;
  return 0;
}

extern "C" HI_HDL Hi264DecCreate(H264_DEC_ATTR_S* attr) {
  return HiVideoDecCreate(attr, HI_VIDEO_CODEC_H264);
}

extern "C" HI_HDL HiVideoDecCreate(H264_DEC_ATTR_S* attr, HI_U32 coding) {
  if (attr == nullptr || attr->uPictureFormat != 0 || attr->uStreamInType != 0 ||
      attr->uPicWidthInMB == 0 || attr->uPicHeightInMB == 0 ||
      attr->uPicWidthInMB > kMaxWidthInMb || attr->uPicHeightInMB > kMaxHeightInMb ||
      (coding != HI_VIDEO_CODEC_H264 && coding != HI_VIDEO_CODEC_H265)) {
    return nullptr;
  }
  const bool hevc = coding == HI_VIDEO_CODEC_H265;
  const AVCodec* codec = avcodec_find_decoder(hevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
  if (codec == nullptr) return nullptr;
  av_log_set_level(AV_LOG_FATAL);  // damaged input is normal on a lossy network
  auto* decoder = new (std::nothrow) Decoder;
  if (decoder == nullptr) return nullptr;
  decoder->context = avcodec_alloc_context3(codec);
  decoder->packet = av_packet_alloc();
  decoder->frame = av_frame_alloc();
  decoder->next = av_frame_alloc();
  decoder->held = av_frame_alloc();
  if (!decoder->context || !decoder->packet || !decoder->frame || !decoder->next ||
      !decoder->held) {
    FreeDecoder(decoder);
    return nullptr;
  }
  decoder->hevc = hevc;
  if (hevc && (decoder->parser = av_parser_init(AV_CODEC_ID_HEVC)) == nullptr) {
    FreeDecoder(decoder);
    return nullptr;
  }
  decoder->context->thread_count = 1;
  decoder->context->flags |= AV_CODEC_FLAG_LOW_DELAY;
  if (!hevc) decoder->context->flags2 |= AV_CODEC_FLAG2_CHUNKS;
  if (avcodec_open2(decoder->context, codec, nullptr) < 0) {
    FreeDecoder(decoder);
    return nullptr;
  }
  return decoder;
}

extern "C" HI_S32 Hi264DecFrame(HI_HDL handle, HI_U8* stream, HI_U32 length, HI_U64 pts,
                                H264_DEC_FRAME_S* picture, HI_U32 flags) {
  auto* decoder = static_cast<Decoder*>(handle);
  if (decoder == nullptr || picture == nullptr) return HI_H264DEC_ERR_HANDLE;
  if (decoder->hevc) {
    if (decoder->parser == nullptr) return HI_H264DEC_ERR_HANDLE;
    if (stream != nullptr && length > 0) Parse(decoder, stream, length, pts);
    HI_S32 result = Receive(decoder, picture);
    if (result == HI_H264DEC_OK) return result;
    if ((flags & HI_H264DEC_FLAG_END_OF_STREAM) == 0) return HI_H264DEC_NEED_MORE_BITS;
    Parse(decoder, nullptr, 0, pts);
    result = Drain(decoder, picture);
    if (result == HI_H264DEC_NO_PICTURE) {
      // A new stream starts with a parser that holds nothing of the old one.
      av_parser_close(decoder->parser);
      decoder->parser = av_parser_init(AV_CODEC_ID_HEVC);
      if (decoder->parser == nullptr) return HI_H264DEC_ERR_HANDLE;
    }
    return result;
  }
  if (stream != nullptr && length > 0) {
    decoder->pending.insert(decoder->pending.end(), stream, stream + length);
    if (HoldsSlice(stream, length)) {
      Send(decoder, decoder->pending.data(), decoder->pending.size(), pts);
      decoder->pending.clear();
    }
  }
  HI_S32 result = Receive(decoder, picture);
  if (result == HI_H264DEC_OK) return result;
  if (flags & HI_H264DEC_FLAG_END_OF_STREAM) {
    if (!decoder->pending.empty()) {
      Send(decoder, decoder->pending.data(), decoder->pending.size(), pts);
      decoder->pending.clear();
    }
    return Drain(decoder, picture);
  }
  return HI_H264DEC_NEED_MORE_BITS;
}

extern "C" void Hi264DecDestroy(HI_HDL handle) {
  if (handle != nullptr) FreeDecoder(static_cast<Decoder*>(handle));
}
