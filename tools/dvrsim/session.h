#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/net/net.h"
#include "tools/dvrsim/live_camera.h"
#include "tools/dvrsim/media.h"
#include "tools/dvrsim/rtp_packetizer.h"

namespace dvrsim {

// Counters of the whole server, for the log and for tests.
struct ServerStats {
  std::atomic<uint64_t> rtpPackets{0};         // datagrams put on the wire, faults applied
  std::atomic<uint64_t> rtpPacketsOffered{0};  // datagrams before the faults
  std::atomic<uint64_t> senderReports{0};
  std::atomic<uint64_t> receiverReports{0};
  std::atomic<uint64_t> openingDatagrams{0};  // datagrams received on the RTP ports
  std::atomic<uint64_t> sessionsOpened{0};
  std::atomic<uint64_t> sessionsExpired{0};
  std::atomic<int> activeSenders{0};
};

// One side of a track: our sockets and ports and the client's.
struct Track {
  SOCKET rtp = INVALID_SOCKET;
  SOCKET rtcp = INVALID_SOCKET;
  int serverRtp = 0, serverRtcp = 0;
  int clientRtp = 0, clientRtcp = 0;
  uint32_t ssrc = 0;
  bool setUp = false;
};

struct SessionConfig {
  const ChannelLoop* loop = nullptr;
  bool silent = false;  // answer requests but send nothing
  FaultShares faults;
  uint32_t seed = 1;
  int timeoutSeconds = 60;
  uint32_t localAddress = 0;  // network order; where the UDP sockets are bound
  uint32_t peerAddress = 0;   // network order; the client's address
  ServerStats* stats = nullptr;
};

inline constexpr int kVideoTrack = 0;
inline constexpr int kAudioTrack = 1;

// One RTSP session: its tracks and the thread that paces the channel's loop out at 25
// frames per second once PLAY arrives, and with it, when the audio track is set up, the
// channel's voice frames (one every 20.125 ms). The session ends on Stop, or by itself when
// neither a request nor a receiver report has kept it alive for the timeout.
class StreamSession {
 public:
  StreamSession(std::string id, SessionConfig config);
  ~StreamSession();
  StreamSession(const StreamSession&) = delete;
  StreamSession& operator=(const StreamSession&) = delete;

  const std::string& id() const { return id_; }
  int channel() const { return config_.loop->channel; }

  // Binds our two sockets of the track for the client's ports; false when that fails.
  bool SetupTrack(int index, int clientRtp, int clientRtcp);
  Track track(int index) const;
  bool playing() const { return playing_; }

  // Starts or resumes sending; false when the video track is not set up.
  bool Play();
  void Pause();
  void Stop();
  // Any request naming the session keeps it alive.
  void Touch();
  bool expired() const { return expired_; }

  // What the first packet of the video stream carries (for RTP-Info).
  uint16_t firstSequence() const { return firstSeq_; }
  uint32_t firstTimestamp() const { return firstTimestamp_; }
  uint64_t receiverReports() const { return receiverReports_; }

 private:
  using Clock = std::chrono::steady_clock;

  // When the next unit of a stream is due: unit n at start + n intervals.
  struct Pace {
    Clock::time_point start;
    Clock::duration interval;
    uint64_t n = 0, shifted = 0;
    Clock::time_point due() const { return start + static_cast<int64_t>(n - shifted) * interval; }
    void Restart(Clock::time_point now) { start = now, shifted = n; }
  };

  void Run();
  bool Sending() const { return playing_ && !config_.silent; }
  void VideoStep(uint64_t n, Clock::time_point* lastReport);
  void VoiceStep(uint64_t n, Clock::time_point* lastReport);
  void SendFrame(const CodedFrame& frame, uint32_t timestamp);
  const CodedFrame& PictureFrame(size_t index);
  void SendSenderReport(int index, const RtpPacketizer& packetizer, uint32_t timestamp);
  void ServeUntil(Clock::time_point deadline);
  void ReadDatagram(SOCKET s, bool rtcp);
  void SendTo(const Track& t, const Datagram& d, bool rtcp);
  bool TimedOut() const;

  std::string id_;
  SessionConfig config_;
  Track tracks_[2];
  mutable std::mutex mu_;
  std::thread sender_;
  std::atomic<bool> playing_{false};
  std::atomic<bool> resumePending_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> expired_{false};
  std::atomic<int64_t> lastActivityMs_;
  std::atomic<uint64_t> receiverReports_{0};
  uint16_t firstSeq_;
  uint32_t firstTimestamp_;
  uint32_t firstVoiceTimestamp_;
  RtpPacketizer video_;
  RtpPacketizer voice_;
  int relayShown_ = 0;  // the relay mask channel 1's picture shows, sender thread's
  FaultInjector faults_;
  FaultInjector voiceFaults_;
  LiveFeed live_;  // sender thread's
  VoiceSource voiceSource_;
};

}  // namespace dvrsim
