#pragma once
// One RTSP session playing a recording: its video track and the thread that paces the
// recording's pictures out at 25 frames per second from a position. PLAY with a position
// starts from the key frame at or before it; PLAY without one, or with one inside the second
// being played, resumes where the stream stands; PAUSE holds it. At the end of the recording
// the session sends an RTCP BYE and stops sending; a later PLAY with a position plays again.
// The session ends on destruction, or by itself when neither a request nor a receiver report
// has kept it alive for the timeout.
//
// RTP times follow the recording: picture n carries firstTimestamp + n * 3600, so a PLAY's
// RTP-Info and Range name the same instant.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/net/net.h"
#include "tools/dvrsim/recording_library.h"
#include "tools/dvrsim/rtp_packetizer.h"
#include "tools/dvrsim/session.h"

namespace dvrsim {

struct RecordingSessionConfig {
  uint32_t localAddress = 0;  // network order; where the UDP sockets are bound
  uint32_t peerAddress = 0;   // network order; the client's address
  int timeoutSeconds = 60;
  uint32_t seed = 1;
  ServerStats* stats = nullptr;  // may be null
};

// Where a PLAY starts: the recording's second, and its first packet's sequence number and
// RTP time.
struct PlayStartPoint {
  double npt = 0;
  uint16_t seq = 0;
  uint32_t rtptime = 0;
};

class RecordingSession {
 public:
  RecordingSession(std::string id, std::shared_ptr<const PlayableRecording> recording,
                   RecordingSessionConfig config);
  ~RecordingSession();
  RecordingSession(const RecordingSession&) = delete;
  RecordingSession& operator=(const RecordingSession&) = delete;

  const std::string& id() const { return id_; }
  const PlayableRecording& recording() const { return *recording_; }
  // Binds our two sockets for the client's ports; false when that fails.
  bool SetupTrack(int clientRtp, int clientRtcp);
  Track track() const;
  // Nothing when the track is not set up.
  std::optional<PlayStartPoint> Play(std::optional<double> start);
  void Pause();
  void Touch();
  bool expired() const { return expired_; }

 private:
  using Clock = std::chrono::steady_clock;

  void Run();
  bool Step(std::unique_lock<std::mutex>& lock);
  void SendPicture(size_t index);
  void SendBye();
  void SendRtcp(const Datagram& d);
  void ReadClient();
  size_t KeyFrameAtOrBefore(double seconds) const;

  std::string id_;
  std::shared_ptr<const PlayableRecording> recording_;
  RecordingSessionConfig config_;
  mutable std::mutex mu_;
  std::condition_variable changed_;
  Track track_;                   // guarded by mu_
  bool playing_ = false;          // guarded by mu_
  size_t next_ = 0;               // the next picture to send; guarded by mu_
  size_t epochIndex_ = 0;         // picture sent at epoch_; guarded by mu_
  Clock::time_point epoch_;       // guarded by mu_
  Clock::time_point lastReport_;  // guarded by mu_
  bool stop_ = false;             // guarded by mu_
  uint32_t firstTimestamp_;
  RtpPacketizer video_;  // guarded by mu_
  std::atomic<bool> expired_{false};
  std::atomic<int64_t> lastActivityMs_;
  std::thread sender_;
};

}  // namespace dvrsim
