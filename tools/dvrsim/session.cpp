#include "tools/dvrsim/session.h"

#include <random>

#include "tools/dvrsim/net_util.h"

namespace dvrsim {
namespace {

constexpr auto kFrameInterval = std::chrono::milliseconds(1000 / kFramesPerSecond);
constexpr uint32_t kTicksPerFrame = kVideoClock / kFramesPerSecond;
constexpr auto kVoiceInterval = std::chrono::microseconds(kVoiceFrameMicros);
constexpr auto kReportInterval = std::chrono::seconds(1);
// A sender that falls this far behind (a stalled machine) starts its clock anew instead of
// bursting the backlog out.
constexpr auto kMaxLag = std::chrono::seconds(1);

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Seconds since 1900 in the upper half, the fraction in the lower.
uint64_t NtpNow() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
  uint64_t seconds = static_cast<uint64_t>(us / 1000000) + 2208988800ull;
  uint64_t fraction = (static_cast<uint64_t>(us % 1000000) << 32) / 1000000;
  return (seconds << 32) | fraction;
}

// Counts the receiver reports of a compound RTCP datagram.
int CountReceiverReports(const uint8_t* d, int length) {
  int reports = 0;
  int pos = 0;
  while (pos + 4 <= length && (d[pos] >> 6) == 2) {
    if (d[pos + 1] == 201) ++reports;
    pos += 4 * (((d[pos + 2] << 8) | d[pos + 3]) + 1);
  }
  return reports;
}

struct Seeds {
  uint32_t ssrc, seq, timestamp, faults;
};

Seeds MakeSeeds(uint32_t seed) {
  std::mt19937 rng(seed);
  return Seeds{static_cast<uint32_t>(rng()), static_cast<uint32_t>(rng()),
               static_cast<uint32_t>(rng()), static_cast<uint32_t>(rng())};
}

}  // namespace

StreamSession::StreamSession(std::string id, SessionConfig config)
    : id_(std::move(id)),
      config_(config),
      lastActivityMs_(NowMs()),
      firstSeq_(static_cast<uint16_t>(MakeSeeds(config.seed).seq)),
      firstTimestamp_(MakeSeeds(config.seed).timestamp),
      firstVoiceTimestamp_(MakeSeeds(config.seed).timestamp ^ 0x00A5A5A5),
      video_(kVideoPayloadType, MakeSeeds(config.seed).ssrc, firstSeq_),
      voice_(kAudioPayloadType, MakeSeeds(config.seed).ssrc ^ 0x5A5A5A5A,
             static_cast<uint16_t>(firstSeq_ ^ 0x5A5A)),
      faults_(config.faults, MakeSeeds(config.seed).faults),
      voiceFaults_(config.faults, MakeSeeds(config.seed).faults ^ 0x5A5A5A5A),
      live_(config.loop->camera),
      voiceSource_(config.loop->channel) {
  tracks_[kVideoTrack].ssrc = video_.ssrc();
  tracks_[kAudioTrack].ssrc = voice_.ssrc();
}

StreamSession::~StreamSession() {
  Stop();
  for (Track& t : tracks_) {
    if (t.rtp != INVALID_SOCKET) closesocket(t.rtp);
    if (t.rtcp != INVALID_SOCKET) closesocket(t.rtcp);
  }
}

bool StreamSession::SetupTrack(int index, int clientRtp, int clientRtcp) {
  std::lock_guard<std::mutex> lock(mu_);
  Track& t = tracks_[index];
  if (t.rtp == INVALID_SOCKET) t.rtp = BindUdp(config_.localAddress, &t.serverRtp);
  if (t.rtcp == INVALID_SOCKET) t.rtcp = BindUdp(config_.localAddress, &t.serverRtcp);
  if (t.rtp == INVALID_SOCKET || t.rtcp == INVALID_SOCKET) return false;
  t.clientRtp = clientRtp;
  t.clientRtcp = clientRtcp;
  t.setUp = true;
  return true;
}

Track StreamSession::track(int index) const {
  std::lock_guard<std::mutex> lock(mu_);
  return tracks_[index];
}

bool StreamSession::Play() {
  std::lock_guard<std::mutex> lock(mu_);
  if (!tracks_[kVideoTrack].setUp) return false;
  Touch();
  if (!sender_.joinable()) {
    playing_ = true;
    sender_ = std::thread(&StreamSession::Run, this);
  } else if (!playing_) {
    resumePending_ = true;  // the decoder needs a key frame after the gap
    playing_ = true;
  }
  return true;
}

void StreamSession::Pause() {
  Touch();
  playing_ = false;
}

void StreamSession::Stop() {
  stop_ = true;
  std::thread sender;
  {
    std::lock_guard<std::mutex> lock(mu_);
    sender.swap(sender_);
  }
  if (sender.joinable()) sender.join();
}

void StreamSession::Touch() { lastActivityMs_ = NowMs(); }

bool StreamSession::TimedOut() const {
  return NowMs() - lastActivityMs_ > int64_t{config_.timeoutSeconds} * 1000;
}

void StreamSession::Run() {
  ++config_.stats->activeSenders;
  const auto epoch = Clock::now();
  Pace video{epoch, kFrameInterval};
  Pace voice{epoch, kVoiceInterval};
  auto videoReport = epoch - kReportInterval, voiceReport = videoReport;
  while (!stop_) {
    bool withVoice = track(kAudioTrack).setUp;
    auto due = withVoice ? std::min(video.due(), voice.due()) : video.due();
    ServeUntil(due);
    if (stop_) break;
    if (TimedOut()) {
      expired_ = true;
      ++config_.stats->sessionsExpired;
      break;
    }
    auto now = Clock::now();
    if (now - due > kMaxLag) video.Restart(now), voice.Restart(now);
    if (video.due() <= now) VideoStep(video.n++, &videoReport);
    if (withVoice && voice.due() <= now) VoiceStep(voice.n++, &voiceReport);
  }
  --config_.stats->activeSenders;
}

void StreamSession::VideoStep(uint64_t n, Clock::time_point* lastReport) {
  const auto& frames = config_.loop->frames;
  uint32_t timestamp = firstTimestamp_ + static_cast<uint32_t>(n) * kTicksPerFrame;
  size_t index = n % frames.size();
  if (resumePending_ && index % kGopFrames == 0) resumePending_ = false;
  if (!Sending()) live_.Restart();  // back from a pause, a live channel starts on a key frame
  const CodedFrame* live = Sending() ? live_.Next() : nullptr;
  if (live == nullptr && (!Sending() || resumePending_)) return;
  SendFrame(live != nullptr ? *live : PictureFrame(index), timestamp);
  if (Clock::now() - *lastReport >= kReportInterval) {
    SendSenderReport(kVideoTrack, video_, timestamp);
    *lastReport = Clock::now();
  }
}

// Channel 1 shows the relay outputs: its picture follows the mask from a key frame on.
const CodedFrame& StreamSession::PictureFrame(size_t index) {
  const ChannelLoop& loop = *config_.loop;
  if (loop.relayFrames.size() != 4 || loop.relayMask == nullptr) return loop.frames[index];
  if (index % kGopFrames == 0) relayShown_ = loop.relayMask->load() & 3;
  return loop.relayFrames[relayShown_][index];
}

// The voice needs no key frame: it goes on as soon as the session plays again.
void StreamSession::VoiceStep(uint64_t n, Clock::time_point* lastReport) {
  uint32_t timestamp = firstVoiceTimestamp_ + static_cast<uint32_t>(n) * kVoiceFrameSamples;
  if (!Sending()) return;
  std::vector<uint8_t> frame = voiceSource_.NextFrame();
  if (frame.empty()) return;
  Track t = track(kAudioTrack);
  ++config_.stats->rtpPacketsOffered;
  for (const auto& d : voiceFaults_.Apply(voice_.PacketizeRaw(frame, timestamp)))
    SendTo(t, d, false);
  if (Clock::now() - *lastReport >= kReportInterval) {
    SendSenderReport(kAudioTrack, voice_, timestamp);
    *lastReport = Clock::now();
  }
}

void StreamSession::SendFrame(const CodedFrame& frame, uint32_t timestamp) {
  Track t = track(kVideoTrack);
  for (auto& packet : video_.PacketizeAccessUnit(frame.nals, timestamp)) {
    ++config_.stats->rtpPacketsOffered;
    for (const auto& d : faults_.Apply(std::move(packet))) SendTo(t, d, false);
  }
}

void StreamSession::SendSenderReport(int index, const RtpPacketizer& packetizer,
                                     uint32_t timestamp) {
  Track t = track(index);
  SendTo(t,
         BuildSenderReport(t.ssrc, NtpNow(), timestamp, packetizer.packets(), packetizer.octets()),
         true);
  ++config_.stats->senderReports;
}

void StreamSession::SendTo(const Track& t, const Datagram& d, bool rtcp) {
  sockaddr_in to = MakeAddress(config_.peerAddress, rtcp ? t.clientRtcp : t.clientRtp);
  SOCKET s = rtcp ? t.rtcp : t.rtp;
  if (sendto(s, reinterpret_cast<const char*>(d.data()), static_cast<int>(d.size()), 0,
             reinterpret_cast<const sockaddr*>(&to), sizeof to) > 0 &&
      !rtcp) {
    ++config_.stats->rtpPackets;
  }
}

// Waits for the next frame's time while reading what the client sends: its opening
// datagrams on the RTP ports and its receiver reports on the RTCP ports.
void StreamSession::ServeUntil(Clock::time_point deadline) {
  SOCKET sockets[4];
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (int i = 0; i < 2; ++i)
      sockets[2 * i] = tracks_[i].rtp, sockets[2 * i + 1] = tracks_[i].rtcp;
  }
  while (!stop_) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    int wait = static_cast<int>(std::min<int64_t>(left.count(), 100));
    unsigned ready = WaitReadable(sockets, 4, wait);
    for (int i = 0; i < 4; ++i) {
      if (ready & (1u << i)) ReadDatagram(sockets[i], i % 2 == 1);
    }
  }
}

void StreamSession::ReadDatagram(SOCKET s, bool rtcp) {
  uint8_t buffer[2048];
  int n = recv(s, reinterpret_cast<char*>(buffer), sizeof buffer, 0);
  if (n <= 0) return;
  if (!rtcp) {
    ++config_.stats->openingDatagrams;
    return;
  }
  int reports = CountReceiverReports(buffer, n);
  if (reports > 0) {
    receiverReports_ += reports;
    config_.stats->receiverReports += reports;
    Touch();
  }
}

}  // namespace dvrsim
