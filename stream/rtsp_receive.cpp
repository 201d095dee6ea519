#include "stream/rtsp_receive.h"

#include <vector>

#include "platform/kernel/clock.h"
#include "stream/report.h"
#include "stream/rtp_header.h"
#include "stream/rtp_sockets.h"
#include "stream/rtsp_session.h"

namespace {

enum Ready { kNone = 0, kVideo = 1, kAudio = 2, kError = -1 };

// With both sockets ready the audio one is served; video follows on the next pass. The wait
// looks at `running` every twentieth of a second, so that a stop does not wait it out.
Ready WaitStreams(const MediaAttribute& attr, int seconds, const std::atomic<int>& running) {
  WSAPOLLFD entries[2];
  unsigned long count = 0;
  for (SOCKET s : {attr.rtpSock, attr.rtpaudioSock}) {
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

 private:
  void Serve(Ready which);
  void Failed(Ready which);
  void Queue(Ready which, int length);
  void Timing(Ready which, int length);
  void VideoTiming(uint32_t ts, uint32_t ssrc, uint16_t seq);
  void AudioTiming(uint32_t ts, uint32_t ssrc, uint16_t seq);

  RtspSession* s_;
  std::vector<uint8_t> buffer_;
  int errors_ = 0;
  uint16_t lastAudioSeq_ = 0;
};

int Receiver::Run() {
  int recvTry = 0;
  while (s_->running == 1 && recvTry <= kMaxRecvTry) {
    Ready which = WaitStreams(s_->m_Attribute, s_->waitSeconds, s_->running);
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

void Receiver::Serve(Ready which) {
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
  if (length >= kMinQueuedDatagram) {
    Queue(which, length);
    errors_ = 0;
  }
  Timing(which, length);
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
void Receiver::Queue(Ready which, int length) {
  RtpFrameQueue* queue = which == kVideo ? s_->videoQueue.get() : s_->audioQueue.get();
  if (!queue) return;
  if (length > kRtpRecordBytes) {
    ++s_->oversizeDatagrams;
    return;
  }
  auto header = ParseRtpFixedHeader({buffer_.data(), static_cast<size_t>(length)});
  if (header) queue->Insert(header->sequence, buffer_.data(), length);
}

// Timing needs the timestamp and SSRC of a whole RTP header; shorter datagrams carry neither.
void Receiver::Timing(Ready which, int length) {
  auto header = ParseRtpFixedHeader({buffer_.data(), static_cast<size_t>(length)});
  if (!header) return;
  if (which == kVideo)
    VideoTiming(header->timestamp, header->ssrc, header->sequence);
  else
    AudioTiming(header->timestamp, header->ssrc, header->sequence);
}

void Receiver::VideoTiming(uint32_t ts, uint32_t ssrc, uint16_t seq) {
  if (s_->firstVideoTimestamp == 0) s_->firstVideoTimestamp = ts;
  s_->elapsedSeconds.store((ts - s_->firstVideoTimestamp) / 90000, std::memory_order_relaxed);
  if (s_->lastVideoReportTimestamp != 0 && (ts - s_->lastVideoReportTimestamp) / 90 <= 5000) return;
  SendReceiverReport(s_->m_Attribute.rtcpSock, s_->peerAddress, s_->serverVideoRtcpPort, ssrc, seq);
  s_->lastVideoReportTimestamp = ts;
}

void Receiver::AudioTiming(uint32_t ts, uint32_t ssrc, uint16_t seq) {
  if (seq != static_cast<uint16_t>(lastAudioSeq_ + 1))
    Report("listseq =%d lasetaudioseq = %d \n", seq, lastAudioSeq_);
  lastAudioSeq_ = seq;
  if (s_->firstAudioTimestamp == 0) s_->firstAudioTimestamp = ts;
  if (s_->lastAudioReportTimestamp != 0 && (ts - s_->lastAudioReportTimestamp) / 8 <= 5000) return;
  SendReceiverReport(s_->m_Attribute.rtcpaudioSock, s_->peerAddress, s_->serverAudioRtcpPort, ssrc,
                     seq);
  s_->lastAudioReportTimestamp = ts;
}

}  // namespace

int ReceiveLoop(RtspSession* session) {
  const uint32_t empty = session->emptyDatagrams;
  const uint32_t oversize = session->oversizeDatagrams;
  int recvTry = Receiver(session).Run();
  if (session->emptyDatagrams != empty || session->oversizeDatagrams != oversize) {
    Report("dropped %u empty and %u over-long datagrams, chn:%d\n",
           static_cast<unsigned>(session->emptyDatagrams - empty),
           static_cast<unsigned>(session->oversizeDatagrams - oversize), session->channelNumber);
  }
  return recvTry;
}
