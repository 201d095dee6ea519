#include "tools/dvrsim/media.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <future>
#include <stdexcept>
#include <thread>

namespace dvrsim {
namespace {

ChannelLoop MakeLoop(int channel, std::vector<CodedFrame> frames) {
  ChannelLoop loop;
  loop.channel = channel;
  loop.frames = std::move(frames);
  if (loop.frames.empty()) throw std::runtime_error("a channel's loop holds no frame");
  for (const auto& nal : loop.frames.at(0).nals) {
    uint8_t type = nal[0] & 0x1F;
    if (type == 7 && loop.sps.empty()) loop.sps = nal;
    if (type == 8 && loop.pps.empty()) loop.pps = nal;
  }
  if (!loop.frames[0].key || loop.sps.empty() || loop.pps.empty()) {
    throw std::runtime_error("the coded loop does not start with parameter sets and a key frame");
  }
  return loop;
}

ChannelLoop EncodeOne(int width, int height, int channel, int frames, Backdrop backdrop) {
  return MakeLoop(channel, EncodeChannelLoop(width, height, channel, frames, backdrop));
}

}  // namespace

std::vector<ChannelLoop> EncodeChannels(int width, int height, int count, int frames,
                                        Backdrop backdrop,
                                        const std::map<int, std::vector<CodedFrame>>& given) {
  unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  std::vector<int> drawn;
  for (int ch = 1; ch <= count; ++ch) {
    if (given.count(ch) == 0) drawn.push_back(ch);
  }
  std::map<int, ChannelLoop> coded;
  for (size_t first = 0; first < drawn.size(); first += workers) {
    std::vector<std::future<ChannelLoop>> batch;
    for (size_t i = first; i < drawn.size() && i < first + workers; ++i) {
      batch.push_back(
          std::async(std::launch::async, EncodeOne, width, height, drawn[i], frames, backdrop));
    }
    for (auto& f : batch) {
      ChannelLoop loop = f.get();
      coded.emplace(loop.channel, std::move(loop));
    }
  }
  std::vector<ChannelLoop> loops;
  for (int ch = 1; ch <= count; ++ch) {
    auto g = given.find(ch);
    loops.push_back(g != given.end() ? MakeLoop(ch, g->second) : std::move(coded.at(ch)));
  }
  return loops;
}

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 0x3F];
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = bytes[i] << 16;
    if (rest == 2) v |= bytes[i + 1] << 8;
    out += kAlphabet[(v >> 18) & 0x3F];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += rest == 2 ? kAlphabet[(v >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}

std::string BuildLiveSdp(const ChannelLoop& loop, const std::string& serverAddress, bool audio,
                         uint64_t sessionVersion) {
  char profile[8];
  std::snprintf(profile, sizeof profile, "%02X%02X%02X", loop.sps.size() > 1 ? loop.sps[1] : 0,
                loop.sps.size() > 2 ? loop.sps[2] : 0, loop.sps.size() > 3 ? loop.sps[3] : 0);
  std::string v = std::to_string(sessionVersion);
  std::string sdp = "v=0\r\n";
  sdp += "o=- " + v + " " + v + " IN IP4 " + serverAddress + "\r\n";
  sdp += "s=Live channel " + std::to_string(loop.channel) + "\r\n";
  sdp += "c=IN IP4 0.0.0.0\r\n";
  sdp += "t=0 0\r\n";
  sdp += "a=control:*\r\n";
  sdp += "m=video 0 RTP/AVP " + std::to_string(kVideoPayloadType) + "\r\n";
  sdp += "a=rtpmap:" + std::to_string(kVideoPayloadType) + " H264/90000\r\n";
  sdp += "a=fmtp:" + std::to_string(kVideoPayloadType) +
         " packetization-mode=1;profile-level-id=" + profile +
         ";sprop-parameter-sets=" + Base64(loop.sps) + "," + Base64(loop.pps) + "\r\n";
  sdp += "a=framerate:25\r\n";
  sdp += std::string("a=control:") + kVideoControl + "\r\n";
  if (audio) {
    // IMA ADPCM voice frames at 8 kHz, mono.
    sdp += "m=audio 0 RTP/AVP " + std::to_string(kAudioPayloadType) + "\r\n";
    sdp += "a=rtpmap:" + std::to_string(kAudioPayloadType) + " DVI4/8000/1\r\n";
    sdp += std::string("a=control:") + kAudioControl + "\r\n";
  }
  return sdp;
}

double ChannelPitch(int channel) { return 300.0 + 100.0 * channel; }

VoiceSource::VoiceSource(int channel) : step_(ChannelPitch(channel) / kAudioClock) {
  HI_VOICE_EncReset(encoder_, kVoiceType);
}

std::vector<uint8_t> VoiceSource::NextFrame() {
  int16_t samples[kVoiceFrameSamples];
  for (int16_t& s : samples) {
    s = static_cast<int16_t>(std::lround(kVoiceAmplitude * std::cos(2 * M_PI * cycles_)));
    cycles_ += step_;
    if (cycles_ >= 1) cycles_ -= 1;
  }
  std::vector<uint8_t> frame(HI_VOICE_MAX_FRAME_BYTES);
  if (HI_VOICE_EncodeFrame(encoder_, samples, frame.data(), kVoiceFrameSamples) != 0) return {};
  frame.resize(4 + 2 * static_cast<size_t>(frame[2]));
  return frame;
}

}  // namespace dvrsim
