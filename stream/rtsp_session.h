#pragma once
// One RTSP session with a DVR channel: RTSP control over TCP, RTP and RTCP over UDP, unicast,
// client side only.
//
// The owner (a live channel window or a playback window) creates the record with the options
// its runs play their media with, sets `channel` and `channelNumber`, and calls
// StartRtspSession, which runs the session on its own thread (RunRtspSession). The run ends
// when the owner clears `running`, or after 21 one-second waits without data while not
// paused, or when the DVR closes the RTSP connection; the owner then waits on
// `threadHandle`. The record survives a run and may start another one.
//
// Threads: the session thread (connect, requests, receive loop, teardown), the playout
// threads of the video and audio queues, and the watcher of the RTSP connection. The user
// interface issues PAUSE and PLAY of playback sessions holding `lock`; the session thread's
// own requests take no lock. `running`, `paused` and `requestBusy` are flags polled by them.
//
// Every request operation returns 0 on success and -1 on failure, with one diagnostic line.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/critical_section.h"
#include "platform/kernel/win_types.h"
#include "platform/net/net.h"
#include "stream/nal_delivery.h"
#include "stream/rtp_frame_queue.h"
#include "stream/rtsp_auth.h"
#include "stream/rtsp_standard.h"

class CChannel;
struct RtspSession;

constexpr int kSpareBufferBytes = 245760;
constexpr int kHostFieldBytes = 24;
constexpr int kConfigTextMax = 200;
constexpr int kReceiveBufferBytes = 2048;
constexpr unsigned kSessionStackBytes = 131072;
constexpr unsigned kVideoPlayoutStackBytes = 81920;
constexpr unsigned kAudioPlayoutStackBytes = 131072;
constexpr unsigned kWatcherStackBytes = 131072;
constexpr int kPlaybackChannelNumber = 33;

// Media parameters, sockets and ports of one run; reset at the start of every run. Sockets
// that are not open hold INVALID_SOCKET.
struct MediaAttribute {
  unsigned videoClock = 0;
  uint8_t videoPayloadType = 0;
  char config[kConfigTextMax + 1] = {};
  uint8_t configBytes[kConfigTextMax / 2] = {};
  int configLength = 0;
  int pictureWidth = 0;
  int pictureHeight = 0;
  unsigned audioClock = 0;
  uint8_t audioPayloadType = 0;
  int audioChannels = 0;
  SOCKET rtpSock = INVALID_SOCKET;
  SOCKET rtcpSock = INVALID_SOCKET;
  int rtpPort = 0;
  int rtcpPort = 0;
  SOCKET rtpaudioSock = INVALID_SOCKET;
  SOCKET rtcpaudioSock = INVALID_SOCKET;
  int rtpaudioPort = 0;
  int rtcpaudioPort = 0;
};

// The playout threads that drain a run's queues. Each run starts them with its session and
// the stream's queue, and ends them by clearing the queue's `running` flag and waiting; either
// may be null (no thread: the queue then only fills up to its limit). The session never
// touches a queue's unit buffer.
using RtspPlayoutBody = unsigned (*)(RtspSession* session, RtpFrameQueue* queue);
struct RtspPlayout {
  RtspPlayoutBody video = nullptr;
  RtspPlayoutBody audio = nullptr;
};

// The viewer's playout threads (video_playout.h, audio_playout.h).
unsigned VideoPlayoutThread(RtspSession* session, RtpFrameQueue* queue);
unsigned AudioPlayoutThread(RtspSession* session, RtpFrameQueue* queue);

// What every run of a record plays its media with, fixed when the record is made: the
// playout threads, and the sink the video queue hands its NAL units to with `channel`.
// The defaults are the viewer's.
struct RtspSessionOptions {
  RtspPlayout playout{VideoPlayoutThread, AudioPlayoutThread};
  NalSink nalSink = DeliverToChannel;
  // When no RTP arrives over UDP within kUdpSilenceSeconds of PLAY (a firewall or NAT drops
  // it), the run tears the session down and opens it again with RTP on the RTSP connection.
  // Off for the DVR's channels, whose requests stay as they are whatever happens.
  bool tcpFallback = false;
  // Told the video coding of every run before its first unit; null leaves the channel as it
  // is (H.264), as the DVR's channels are.
  CodecSink codecSink = nullptr;
  // A standard server drops a session it hears no request on within its timeout (";timeout=",
  // else 60 s): a GET_PARAMETER every half of it keeps the session. Off for the DVR, which
  // keeps its sessions while it streams.
  bool keepAlive = false;
};

constexpr int kUdpSilenceSeconds = 4;

struct RtspSession {
  RtspSession();
  explicit RtspSession(const RtspSessionOptions& options);
  ~RtspSession();
  RtspSession(const RtspSession&) = delete;
  RtspSession& operator=(const RtspSession&) = delete;

  const RtspSessionOptions options;
  std::string url;
  std::string sessionId;  // empty until the first SETUP succeeds
  // The standard forms this run switched to; cleared when a run starts. Changed only by the
  // thread issuing a request, and requests never overlap.
  StandardForms standard;
  // Credentials from the URL given to StartRtspSession (`url` keeps the URL without them) and
  // the server's challenge of this run. Same threads as `standard`.
  AuthState auth;
  std::unique_ptr<uint8_t[]> spareBuffer;
  uint32_t fMaxPlayEndTime = 0;
  uint32_t videoClock = 0;
  uint32_t audioClock = 0;
  uint8_t videoPayloadType = 0;
  uint8_t audioPayloadType = 0;
  // The video track's coding and, for H.265, its described parameter sets (Annex B); set by
  // the open of each run.
  VideoCodec videoCodec = VideoCodec::kH264;
  std::vector<uint8_t> videoPrelude;
  int pictureWidth = 0;
  int serverVideoRtpPort = 0;
  int serverVideoRtcpPort = 0;
  int serverAudioRtpPort = 0;
  int serverAudioRtcpPort = 0;
  int waitSeconds = 0;
  int channelNumber = 0;
  HANDLE threadHandle = nullptr;
  int cseq = 0;  // never reset: CSeq keeps rising across runs of the record
  MediaAttribute m_Attribute;
  int playStartSeconds = 0;
  int playStartMicros = 0;
  int isPlayback = 0;
  // Written by the receive thread, read by the user-interface thread for the position shown.
  std::atomic<uint32_t> elapsedSeconds{0};
  uint32_t firstVideoTimestamp = 0;
  uint32_t lastVideoReportTimestamp = 0;
  uint32_t firstAudioTimestamp = 0;
  uint32_t lastAudioReportTimestamp = 0;
  // At most 23 characters, for diagnostics and datagram targets; a longer host is kept whole
  // in connectHost, which is what the connection uses.
  char host[kHostFieldBytes] = {};
  std::string connectHost;
  uint32_t peerAddress = 0;  // network order, from the RTSP connection
  // Seconds; the npt start of the next resume, and after a playback PLAY the start the server
  // chose. The window thread reads it while a seek runs on another.
  std::atomic<int> startPosition{0};
  SOCKET rtspSocket = INVALID_SOCKET;
  std::atomic<int> requestBusy{0};
  std::atomic<int> paused{0};
  // Playback: where the stream of the last successful PLAY starts (PlayBase below), for the
  // receive thread to count elapsedSeconds from; taken, and cleared, by its next video packet.
  std::atomic<uint64_t> playBase{0};
  // 1 once the server said the stream ended (an RTCP BYE on the video track), until the next
  // successful PLAY.
  std::atomic<int> endOfStream{0};
  std::unique_ptr<RtpFrameQueue> videoQueue;
  std::unique_ptr<RtpFrameQueue> audioQueue;
  CRITICAL_SECTION lock;
  std::atomic<int> running{0};
  CChannel* channel = nullptr;  // not owned

  // Datagrams longer than a queue record (or than the receive buffer), and empty ones, dropped
  // by the receive loop (all runs); neither counts as a failed receive. A run that dropped any
  // says so when it ends.
  std::atomic<uint32_t> oversizeDatagrams{0};
  std::atomic<uint32_t> emptyDatagrams{0};
  // What the receive loop of an interleaved run read off the RTSP connection and did not take
  // (from a frame's or message's start), for the TEARDOWN reply reader.
  std::vector<uint8_t> interleavedUnread;
  // Set by the receive loop when it ends because tcpFallback applies.
  bool udpSilent = false;
  // 1 while the run's watcher of the RTSP connection may go on.
  std::atomic<int> watching{0};
};

// The packing of RtspSession::playBase: the pending flag, then the first packet's sequence
// number and RTP time when the PLAY reply named them; without them the next packet is the base.
constexpr uint64_t kPlayBasePending = 1ull << 63;
constexpr uint64_t kPlayBaseHasSeq = 1ull << 62;
constexpr uint64_t kPlayBaseHasTime = 1ull << 61;

// Starts a run on `session` for `url`. REQUIRES: channel and channelNumber set; no run active
// (the owner has waited for the previous run's thread and closed its handle).
// Returns 0, or -1 when the thread cannot be started.
int StartRtspSession(const char* url, RtspSession* session);
// The session thread's body; 0 after a run, -1 when the open failed.
int RunRtspSession(RtspSession* session);

// Requests on the session's RTSP connection `sock`.
int SendPause(RtspSession* session, SOCKET sock);
int ResumePlay(RtspSession* session, SOCKET sock);
int SendPlay(RtspSession* session, SOCKET sock, int startSeconds);
int SendTeardown(RtspSession* session, SOCKET sock);
// GET_PARAMETER on the aggregate URL; its reply is read unless RTP is interleaved (the receive
// loop passes it over among the frames).
int SendKeepAlive(RtspSession* session, SOCKET sock);
