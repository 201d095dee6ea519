#include "stream/rtsp_receive.h"

#include <optional>
#include <vector>

#include "platform/kernel/clock.h"
#include "stream/interleaved.h"
#include "stream/report.h"
#include "stream/rtcp_bye.h"
#include "stream/rtp_header.h"
#include "stream/rtp_sockets.h"
#include "stream/rtsp_session.h"
#include "stream/rtsp_standard.h"

namespace {

enum Ready { kNone = 0, kVideo = 1, kAudio = 2, kConnection = 3, kError = -1 };

// What an interleaved connection may hold unread before frames are taken off it: two whole
// frames of the largest size.
constexpr size_t kStreamBufferBytes = 2 * (kInterleavedHeaderBytes + 65535);

// With both sockets ready the audio one is served; video follows on the next pass. The wait
// looks at `running` every twentieth of a second, so that a stop does not wait it out.
Ready WaitStreams(const MediaAttribute& attr, SOCKET connection, int seconds,
                  const std::atomic<int>& running) {
  WSAPOLLFD entries[3];
  unsigned long count = 0;
  for (SOCKET s : {attr.rtpSock, attr.rtpaudioSock, connection}) {
    if (s == INVALID_SOCKET) continue;
    entries[count++] = WSAPOLLFD{s, POLLRDNORM, 0};
  }
  constexpr int kStopLookMs = 50;
  const int limitMs = seconds * 1000;
  for (int waited = 0;;) {
    if (running != 1) return kNone;
    const int slice = limitMs - waited < kStopLookMs ? limitMs - waited : kStopLookMs;
    int ready = count > 0 ? WSAPoll(entries, count, slice > 0 ? slice : 0) : 0;
    if (count == 0) Sleep(static_cast<DWORD>(slice > 0 ? slice : 0));
    if (ready < 0) return kError;
    if (ready > 0) {
      const short readable = POLLRDNORM | POLLERR | POLLHUP;
      for (unsigned long i = 0; i < count; ++i) {
        if (entries[i].fd == connection && (entries[i].revents & readable)) return kConnection;
      }
      for (unsigned long i = 0; i < count; ++i) {
        if (entries[i].fd == attr.rtpaudioSock && (entries[i].revents & readable)) return kAudio;
      }
      return kVideo;
    }
    waited += slice;
    if (waited >= limitMs) return kNone;
  }
}

class Receiver {
 public:
  explicit Receiver(RtspSession* session) : s_(session), buffer_(kReceiveBufferBytes) {}
  int Run();
  std::vector<uint8_t> TakeUnread() { return std::move(stream_); }

 private:
  bool Silent(DWORD start) const;
  void Serve(Ready which);
  void ServeConnection();
  void Frame(uint8_t channel, const uint8_t* payload, int length);
  void Handle(Ready which, const uint8_t* data, int length);
  void Failed(Ready which);
  void Queue(Ready which, const uint8_t* data, int length);
  void Timing(Ready which, const uint8_t* data, int length);
  void SendReport(SOCKET rtcp, int port, int channel, uint32_t ssrc, uint16_t seq);
  void VideoTiming(uint32_t ts, uint32_t ssrc, uint16_t seq);
  void DrainRtcp();
  void Control(const uint8_t* data, int length);
  void AudioTiming(uint32_t ts, uint32_t ssrc, uint16_t seq);

  RtspSession* s_;
  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> stream_;  // unread bytes of an interleaved connection
  int errors_ = 0;
  bool heard_ = false;  // any RTP or RTCP data this run
  uint16_t lastAudioSeq_ = 0;
  std::optional<uint32_t> videoSsrc_;  // of the last video packet
};

int Receiver::Run() {
  int recvTry = 0;
  const DWORD start = GetTickCount();
  DWORD lastKeepAlive = start;
  while (s_->running == 1 && recvTry <= kMaxRecvTry) {
    if (s_->options.keepAlive &&
        GetTickCount() - lastKeepAlive >=
            static_cast<DWORD>(SessionTimeoutSeconds(s_->sessionId)) * 500) {
      lastKeepAlive = GetTickCount();
      SendKeepAlive(s_, s_->rtspSocket);
    }
    if (Silent(start)) {
      s_->udpSilent = true;
      break;
    }
    SOCKET connection = s_->standard.interleaved ? s_->rtspSocket : INVALID_SOCKET;
    Ready which = WaitStreams(s_->m_Attribute, connection, s_->waitSeconds, s_->running);
    if (s_->isPlayback) DrainRtcp();
    if (which == kError) Report("select() error\n ");
    if (which == kNone || which == kError) {
      recvTry = s_->paused ? 0 : recvTry + 1;
      continue;
    }
    recvTry = 0;
    Serve(which);
  }
  return recvTry;
}

bool Receiver::Silent(DWORD start) const {
  return s_->options.tcpFallback && !s_->standard.interleaved && !heard_ && !s_->paused &&
         GetTickCount() - start >= static_cast<DWORD>(kUdpSilenceSeconds) * 1000;
}

void Receiver::Serve(Ready which) {
  heard_ = true;
  if (which == kConnection) return ServeConnection();
  SOCKET sock = which == kVideo ? s_->m_Attribute.rtpSock : s_->m_Attribute.rtpaudioSock;
  int length = recvfrom(sock, reinterpret_cast<char*>(buffer_.data()),
                        static_cast<int>(buffer_.size()), 0, nullptr, nullptr);
  // An empty datagram, or one cut to the buffer, is the sender's doing, not a failing socket:
  // a burst of them must not rebind it.
  if (length == 0) {
    ++s_->emptyDatagrams;
    return;
  }
  if (length < 0 && WSAGetLastError() == WSAEMSGSIZE) {
    ++s_->oversizeDatagrams;
    return;
  }
  if (length < 0) return Failed(which);
  Handle(which, buffer_.data(), length);
}

void Receiver::Handle(Ready which, const uint8_t* data, int length) {
  if (length == 0) {
    ++s_->emptyDatagrams;
    return;
  }
  if (length >= kMinQueuedDatagram) {
    Queue(which, data, length);
    errors_ = 0;
  }
  Timing(which, data, length);
}

// Frames are taken off the connection as they complete; RTSP messages between them (replies
// to nothing, or the server's own requests) and bytes that belong to neither are passed over.
void Receiver::ServeConnection() {
  size_t used = stream_.size();
  stream_.resize(kStreamBufferBytes);
  int got = recv(s_->rtspSocket, reinterpret_cast<char*>(stream_.data() + used),
                 static_cast<int>(kStreamBufferBytes - used), 0);
  if (got <= 0) {
    stream_.resize(used);
    Report("RTSP connection closed by the server, chn:%d\n", s_->channelNumber);
    s_->running = 0;
    return;
  }
  stream_.resize(used + got);
  size_t at = 0;
  for (;;) {
    InterleavedStep step = ParseInterleaved(stream_.data() + at, stream_.size() - at);
    if (step.kind == InterleavedStep::Kind::kNeedMore) break;
    if (step.kind == InterleavedStep::Kind::kFrame)
      Frame(step.channel, stream_.data() + at + kInterleavedHeaderBytes,
            static_cast<int>(step.payloadLength));
    at += step.consumed;
  }
  stream_.erase(stream_.begin(), stream_.begin() + at);
}

// RTP of the tracks' channels; their RTCP and other channels are not played, but a playback
// hears the end of its recording on the video track's.
void Receiver::Frame(uint8_t channel, const uint8_t* payload, int length) {
  if (channel == kVideoChannel) Handle(kVideo, payload, length);
  if (channel == kVideoChannel + 1 && s_->isPlayback) Control(payload, length);
  if (channel == kAudioChannel && s_->audioQueue) Handle(kAudio, payload, length);
}

// The server's reports on the video RTCP socket, read without waiting: whatever comes there
// neither counts as data nor keeps the run from ending.
void Receiver::DrainRtcp() {
  SOCKET sock = s_->m_Attribute.rtcpSock;
  if (sock == INVALID_SOCKET) return;
  for (int i = 0; i < 16; ++i) {
    WSAPOLLFD entry{sock, POLLRDNORM, 0};
    if (WSAPoll(&entry, 1, 0) <= 0) return;
    int length = recvfrom(sock, reinterpret_cast<char*>(buffer_.data()),
                          static_cast<int>(buffer_.size()), 0, nullptr, nullptr);
    if (length <= 0) return;
    Control(buffer_.data(), length);
  }
}

void Receiver::Control(const uint8_t* data, int length) {
  if (!videoSsrc_ || s_->endOfStream) return;
  if (!RtcpByeFor({data, static_cast<size_t>(length)}, *videoSsrc_)) return;
  s_->endOfStream = 1;
  Report("the server ended the stream (RTCP BYE), chn:%d\n", s_->channelNumber);
}

// Six failed receives in a row, over both streams, replace the socket that failed last.
void Receiver::Failed(Ready which) {
  Report("recv error:%d\n", WSAGetLastError());
  if (++errors_ <= kRecvErrorsBeforeRebind) return;
  MediaAttribute& attr = s_->m_Attribute;
  if (which == kVideo)
    RebindRtpSocket(&attr.rtpSock, attr.rtpPort);
  else
    RebindRtpSocket(&attr.rtpaudioSock, attr.rtpaudioPort);
  Report("recv error:%d,chn:%d,reconnect!\n", WSAGetLastError(), s_->channelNumber);
  errors_ = 0;
}

// A datagram longer than a queue record cannot be kept whole: it is dropped and counted.
void Receiver::Queue(Ready which, const uint8_t* data, int length) {
  RtpFrameQueue* queue = which == kVideo ? s_->videoQueue.get() : s_->audioQueue.get();
  if (!queue) return;
  if (length > kRtpRecordBytes) {
    ++s_->oversizeDatagrams;
    return;
  }
  auto header = ParseRtpFixedHeader({data, static_cast<size_t>(length)});
  if (header) queue->Insert(header->sequence, data, length);
}

// Timing needs the timestamp and SSRC of a whole RTP header; shorter datagrams carry neither.
void Receiver::Timing(Ready which, const uint8_t* data, int length) {
  auto header = ParseRtpFixedHeader({data, static_cast<size_t>(length)});
  if (!header) return;
  if (which == kVideo)
    VideoTiming(header->timestamp, header->ssrc, header->sequence);
  else
    AudioTiming(header->timestamp, header->ssrc, header->sequence);
}

// A playback PLAY names its stream's first packet: packets before it (sent before a PAUSE,
// still on the way) count nothing, and the count starts again from it.
void Receiver::VideoTiming(uint32_t ts, uint32_t ssrc, uint16_t seq) {
  videoSsrc_ = ssrc;
  if (uint64_t base = s_->playBase.load(); base & kPlayBasePending) {
    const bool hasSeq = (base & kPlayBaseHasSeq) != 0;
    const auto firstSeq = static_cast<uint16_t>(base >> 32);
    if (hasSeq && static_cast<int16_t>(seq - firstSeq) < 0) return;
    s_->firstVideoTimestamp = (base & kPlayBaseHasTime) ? static_cast<uint32_t>(base) : ts;
    s_->playBase.compare_exchange_strong(base, 0);
    if (s_->videoQueue) s_->videoQueue->Reanchor(s_->firstVideoTimestamp, hasSeq ? firstSeq : -1);
  }
  if (s_->firstVideoTimestamp == 0) s_->firstVideoTimestamp = ts;
  // A packet stamped before the start (a server's clock that steps back) counts no time, not
  // a wrapped-around number of hours.
  const auto since = static_cast<int32_t>(ts - s_->firstVideoTimestamp);
  s_->elapsedSeconds.store(since > 0 ? static_cast<uint32_t>(since) / 90000 : 0,
                           std::memory_order_relaxed);
  if (s_->lastVideoReportTimestamp != 0 && (ts - s_->lastVideoReportTimestamp) / 90 <= 5000) return;
  SendReport(s_->m_Attribute.rtcpSock, s_->serverVideoRtcpPort, kVideoChannel + 1, ssrc, seq);
  s_->lastVideoReportTimestamp = ts;
}

void Receiver::AudioTiming(uint32_t ts, uint32_t ssrc, uint16_t seq) {
  if (seq != static_cast<uint16_t>(lastAudioSeq_ + 1))
    Report("listseq =%d lasetaudioseq = %d \n", seq, lastAudioSeq_);
  lastAudioSeq_ = seq;
  if (s_->firstAudioTimestamp == 0) s_->firstAudioTimestamp = ts;
  if (s_->lastAudioReportTimestamp != 0 && (ts - s_->lastAudioReportTimestamp) / 8 <= 5000) return;
  SendReport(s_->m_Attribute.rtcpaudioSock, s_->serverAudioRtcpPort, kAudioChannel + 1, ssrc, seq);
  s_->lastAudioReportTimestamp = ts;
}

// On the RTSP connection, the report goes on the track's RTCP channel; the session thread is
// the only one writing to it while the loop runs.
void Receiver::SendReport(SOCKET rtcp, int port, int channel, uint32_t ssrc, uint16_t seq) {
  if (!s_->standard.interleaved) return SendReceiverReport(rtcp, s_->peerAddress, port, ssrc, seq);
  auto report = BuildReceiverReport(ssrc, seq);
  auto frame = BuildInterleaved(static_cast<uint8_t>(channel), report.data(), report.size());
  send(s_->rtspSocket, reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size()),
       0);
}

}  // namespace

int ReceiveLoop(RtspSession* session) {
  const uint32_t empty = session->emptyDatagrams;
  const uint32_t oversize = session->oversizeDatagrams;
  Receiver receiver(session);
  int recvTry = receiver.Run();
  session->interleavedUnread = receiver.TakeUnread();
  if (session->emptyDatagrams != empty || session->oversizeDatagrams != oversize) {
    Report("dropped %u empty and %u over-long datagrams, chn:%d\n",
           static_cast<unsigned>(session->emptyDatagrams - empty),
           static_cast<unsigned>(session->oversizeDatagrams - oversize), session->channelNumber);
  }
  return recvTry;
}
