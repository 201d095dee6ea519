#include "tools/dvrsim/recording_session.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "tools/dvrsim/net_util.h"

namespace dvrsim {
namespace {

constexpr auto kFrameInterval = std::chrono::milliseconds(1000 / kFramesPerSecond);
constexpr uint32_t kTicksPerFrame = kVideoClock / kFramesPerSecond;
constexpr auto kReportInterval = std::chrono::seconds(1);
constexpr auto kMaxLag = std::chrono::seconds(1);
// The longest the sender sleeps before it looks at the client's reports and its timeout.
constexpr auto kLookInterval = std::chrono::milliseconds(100);
constexpr uint8_t kRtcpBye = 203;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint64_t NtpNow() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
  uint64_t seconds = static_cast<uint64_t>(us / 1000000) + 2208988800ull;
  uint64_t fraction = (static_cast<uint64_t>(us % 1000000) << 32) / 1000000;
  return (seconds << 32) | fraction;
}

}  // namespace

RecordingSession::RecordingSession(std::string id,
                                   std::shared_ptr<const PlayableRecording> recording,
                                   RecordingSessionConfig config)
    : id_(std::move(id)),
      recording_(std::move(recording)),
      config_(config),
      firstTimestamp_(std::mt19937(config.seed)()),
      video_(kVideoPayloadType, std::mt19937(config.seed ^ 0x5A5A5A5A)(),
             static_cast<uint16_t>(std::mt19937(config.seed ^ 0xA5A5)())),
      lastActivityMs_(NowMs()) {
  track_.ssrc = video_.ssrc();
  sender_ = std::thread(&RecordingSession::Run, this);
}

RecordingSession::~RecordingSession() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  changed_.notify_all();
  sender_.join();
  if (track_.rtp != INVALID_SOCKET) closesocket(track_.rtp);
  if (track_.rtcp != INVALID_SOCKET) closesocket(track_.rtcp);
}

bool RecordingSession::SetupTrack(int clientRtp, int clientRtcp) {
  std::lock_guard<std::mutex> lock(mu_);
  if (track_.rtp == INVALID_SOCKET) track_.rtp = BindUdp(config_.localAddress, &track_.serverRtp);
  if (track_.rtcp == INVALID_SOCKET)
    track_.rtcp = BindUdp(config_.localAddress, &track_.serverRtcp);
  if (track_.rtp == INVALID_SOCKET || track_.rtcp == INVALID_SOCKET) return false;
  track_.clientRtp = clientRtp;
  track_.clientRtcp = clientRtcp;
  track_.setUp = true;
  return true;
}

Track RecordingSession::track() const {
  std::lock_guard<std::mutex> lock(mu_);
  return track_;
}

size_t RecordingSession::KeyFrameAtOrBefore(double seconds) const {
  const auto& frames = recording_->frames;
  double at = std::floor(std::max(seconds, 0.0) * kFramesPerSecond + 1e-6);
  size_t index = std::min(static_cast<size_t>(at), frames.size() - 1);
  while (index > 0 && !frames[index].key) --index;
  return index;
}

std::optional<PlayStartPoint> RecordingSession::Play(std::optional<double> start) {
  Touch();
  std::lock_guard<std::mutex> lock(mu_);
  if (!track_.setUp) return std::nullopt;
  const size_t standing = std::min(next_, recording_->frames.size());
  const bool sameSecond =
      start && static_cast<size_t>(std::max(*start, 0.0)) == standing / kFramesPerSecond;
  if (start && !sameSecond) next_ = KeyFrameAtOrBefore(*start);
  playing_ = true;
  epoch_ = Clock::now();
  epochIndex_ = next_;
  changed_.notify_all();
  return PlayStartPoint{static_cast<double>(next_) / kFramesPerSecond, video_.next_seq(),
                        firstTimestamp_ + static_cast<uint32_t>(next_) * kTicksPerFrame};
}

void RecordingSession::Pause() {
  Touch();
  std::lock_guard<std::mutex> lock(mu_);
  playing_ = false;
  changed_.notify_all();
}

void RecordingSession::Touch() { lastActivityMs_ = NowMs(); }

void RecordingSession::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!stop_) {
    if (NowMs() - lastActivityMs_ > int64_t{config_.timeoutSeconds} * 1000) {
      expired_ = true;
      playing_ = false;
      return;
    }
    if (Step(lock)) continue;
    lock.unlock();
    ReadClient();
    lock.lock();
  }
}

// Sends what is due, or waits up to kLookInterval for it; true when it sent something.
bool RecordingSession::Step(std::unique_lock<std::mutex>& lock) {
  if (!playing_) {
    changed_.wait_for(lock, kLookInterval);
    return false;
  }
  if (next_ >= recording_->frames.size()) {
    SendBye();
    playing_ = false;
    return true;
  }
  auto now = Clock::now();
  auto due = epoch_ + static_cast<int64_t>(next_ - epochIndex_) * kFrameInterval;
  if (now < due) {
    changed_.wait_until(lock, std::min(due, now + kLookInterval));
    return false;
  }
  if (now - due > kMaxLag) epoch_ = now, epochIndex_ = next_;
  SendPicture(next_++);
  return true;
}

void RecordingSession::SendPicture(size_t index) {
  const uint32_t timestamp = firstTimestamp_ + static_cast<uint32_t>(index) * kTicksPerFrame;
  sockaddr_in to = MakeAddress(config_.peerAddress, track_.clientRtp);
  for (const auto& d : video_.PacketizeAccessUnit(recording_->frames[index].nals, timestamp)) {
    sendto(track_.rtp, reinterpret_cast<const char*>(d.data()), static_cast<int>(d.size()), 0,
           reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (config_.stats != nullptr) ++config_.stats->rtpPackets;
  }
  if (Clock::now() - lastReport_ >= kReportInterval) {
    SendRtcp(
        BuildSenderReport(track_.ssrc, NtpNow(), timestamp, video_.packets(), video_.octets()));
    lastReport_ = Clock::now();
  }
}

// A sender report and the BYE in one compound packet, as RTCP asks.
void RecordingSession::SendBye() {
  const uint32_t last =
      firstTimestamp_ + static_cast<uint32_t>(recording_->frames.size()) * kTicksPerFrame;
  Datagram d = BuildSenderReport(track_.ssrc, NtpNow(), last, video_.packets(), video_.octets());
  const uint32_t ssrc = track_.ssrc;
  d.insert(d.end(), {0x81, kRtcpBye, 0, 1, static_cast<uint8_t>(ssrc >> 24),
                     static_cast<uint8_t>(ssrc >> 16), static_cast<uint8_t>(ssrc >> 8),
                     static_cast<uint8_t>(ssrc)});
  SendRtcp(d);
}

void RecordingSession::SendRtcp(const Datagram& d) {
  sockaddr_in to = MakeAddress(config_.peerAddress, track_.clientRtcp);
  sendto(track_.rtcp, reinterpret_cast<const char*>(d.data()), static_cast<int>(d.size()), 0,
         reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (config_.stats != nullptr) ++config_.stats->senderReports;
}

// The client's opening datagrams and receiver reports; a report keeps the session alive.
void RecordingSession::ReadClient() {
  Track t = track();
  if (!t.setUp) return;
  SOCKET sockets[2] = {t.rtp, t.rtcp};
  unsigned ready = WaitReadable(sockets, 2, 0);
  for (int i = 0; i < 2; ++i) {
    if (!(ready & (1u << i))) continue;
    uint8_t buffer[2048];
    int n = recv(sockets[i], reinterpret_cast<char*>(buffer), sizeof buffer, 0);
    if (n > 0 && i == 1) Touch();
  }
}

}  // namespace dvrsim
