#include "stream/rtsp_session.h"

#include "platform/kernel/clock.h"
#include "platform/kernel/handle.h"
#include "platform/kernel/thread.h"
#include "stream/audio_playout.h"
#include "stream/report.h"
#include "stream/rtp_sockets.h"
#include "stream/rtsp_io.h"
#include "stream/rtsp_open.h"
#include "stream/rtsp_receive.h"
#include "stream/rtsp_requests.h"
#include "stream/video_playout.h"

namespace {

// What a playout thread starts with; lives on the session thread until the thread is joined.
struct PlayoutStart {
  RtspPlayoutBody body;
  RtspSession* session;
  RtpFrameQueue* queue;
};

unsigned RunPlayout(void* argument) {
  auto* start = static_cast<PlayoutStart*>(argument);
  return start->body(start->session, start->queue);
}

HANDLE StartThread(unsigned stack, unsigned (*body)(void*), void* argument) {
  return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, stack, body, argument, 0, nullptr));
}

HANDLE StartPlayout(PlayoutStart* start, unsigned stack) {
  if (!start->body || !start->queue) return nullptr;
  return StartThread(stack, RunPlayout, start);
}

void Join(HANDLE thread) {
  if (!thread) return;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

void StopQueue(std::unique_ptr<RtpFrameQueue>* queue, HANDLE thread) {
  if (!*queue) return;
  (*queue)->running = 0;
  Join(thread);
  queue->reset();
}

// The watcher waits up to a second at a time. Its stop comes as a datagram on a loopback
// socket of its own, which every wait watches too, so that joining it is quick without
// waking it every few milliseconds. Without that socket it looks at `watching` every 50 ms.
struct Watch {
  RtspSession* session;
  SOCKET wake = INVALID_SOCKET;
  sockaddr_in wakeAddress{};
};

void OpenWake(Watch* watch) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  int size = sizeof address;
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closesocket(s);
    return;
  }
  watch->wake = s;
  watch->wakeAddress = address;
}

void StopWatching(RtspSession* session, Watch* watch) {
  session->watching = 0;
  if (watch->wake == INVALID_SOCKET) return;
  const char byte = 0;
  sendto(watch->wake, &byte, 1, 0, reinterpret_cast<const sockaddr*>(&watch->wakeAddress),
         sizeof watch->wakeAddress);
}

// Waits up to `ms` for the RTSP socket (when given) or a stop; true when the RTSP socket is
// readable.
bool WaitWatching(Watch* watch, SOCKET rtsp, DWORD ms) {
  RtspSession* session = watch->session;
  if (watch->wake == INVALID_SOCKET) {
    if (rtsp != INVALID_SOCKET) return WaitReady(rtsp, false, 1, &session->watching);
    constexpr DWORD kStepMs = 50;
    for (DWORD slept = 0; slept < ms && session->watching == 1; slept += kStepMs) Sleep(kStepMs);
    return false;
  }
  WSAPOLLFD entries[2] = {{watch->wake, POLLRDNORM, 0}, {rtsp, POLLRDNORM, 0}};
  const unsigned long count = rtsp != INVALID_SOCKET ? 2 : 1;
  if (session->watching != 1 || WSAPoll(entries, count, static_cast<int>(ms)) <= 0) return false;
  if (entries[0].revents != 0) {
    // Taken out, so that a stray datagram does not keep the next waits from waiting.
    char byte = 0;
    recv(watch->wake, &byte, 1, 0);
    return false;
  }
  if (session->watching != 1) return false;
  return count == 2 && (entries[1].revents & (POLLRDNORM | POLLHUP | POLLERR)) != 0;
}

// A closed RTSP connection shows as a hang-up on the socket. The watcher reads nothing, not
// even a peek: a notice the DVR sends outside a request stays for the next reply reader, and
// bytes that another thread takes meanwhile can never leave the watcher waiting for more.
unsigned RunWatcher(void* argument) {
  auto* watch = static_cast<Watch*>(argument);
  RtspSession* session = watch->session;
  while (session->running == 1 && session->watching == 1) {
    // Any socket number: a viewer with many files open has sockets beyond select's range.
    if (session->requestBusy) {
      WaitWatching(watch, INVALID_SOCKET, 1000);
      continue;
    }
    if (!WaitWatching(watch, session->rtspSocket, 1000)) continue;
    WSAPOLLFD again{session->rtspSocket, POLLRDNORM, 0};
    const bool closed = WSAPoll(&again, 1, 0) > 0 && (again.revents & (POLLHUP | POLLERR)) != 0;
    if (closed) {
      Report("RTSP connection closed by the server, chn:%d\n", session->channelNumber);
      session->running = 0;
      break;
    }
    WaitWatching(watch, INVALID_SOCKET, 1000);
  }
  return 0;
}

unsigned RunSessionThread(void* argument) {
  return static_cast<unsigned>(RunRtspSession(static_cast<RtspSession*>(argument)));
}

void EndRun(RtspSession* session, SOCKET sock) {
  SendTeardown(session, sock);
  CloseClientPorts(&session->m_Attribute);
  // The window thread reads the socket number for its playback requests under the lock.
  EnterCriticalSection(&session->lock);
  closesocket(sock);
  session->rtspSocket = INVALID_SOCKET;
  LeaveCriticalSection(&session->lock);
}

}  // namespace

RtspSession::RtspSession() : RtspSession(RtspSessionOptions{}) {}

RtspSession::RtspSession(const RtspSessionOptions& runOptions) : options(runOptions) {
  InitializeCriticalSection(&lock);
}

RtspSession::~RtspSession() { DeleteCriticalSection(&lock); }

int StartRtspSession(const char* url, RtspSession* session) {
  if (!session->spareBuffer) session->spareBuffer = std::make_unique<uint8_t[]>(kSpareBufferBytes);
  session->waitSeconds = 1;
  // The password stays out of the URL that requests carry and lines print.
  if (!SplitUrlCredentials(url ? url : "", &session->url, &session->auth.credentials)) {
    Report("the URL, or the user name or password in it, holds a control character\n");
    session->url.clear();
  }
  session->threadHandle = StartThread(kSessionStackBytes, RunSessionThread, session);
  return session->threadHandle ? 0 : -1;
}

namespace {

enum RunEnd { kOpenFailed = -1, kEnded = 0, kUdpSilent = 1 };

RunEnd RunOnce(RtspSession* session, bool interleaved) {
  session->requestBusy = 0;
  session->m_Attribute = MediaAttribute{};
  session->standard = StandardForms{};
  session->standard.interleaved = interleaved;
  session->auth.challenge.reset();
  session->auth.nonceCount = 0;
  session->udpSilent = false;
  session->running = 1;
  SOCKET sock = OpenRtspSession(session);
  if (sock == INVALID_SOCKET) {
    ReleaseSession(session);
    session->running = 0;
    return kOpenFailed;
  }
  session->rtspSocket = sock;
  Report("IsRunning-------------\n");
  session->videoQueue = std::make_unique<RtpFrameQueue>(session->channel, session->options.nalSink);
  session->videoQueue->codec = session->videoCodec;
  session->videoQueue->prelude = session->videoPrelude;
  if (session->options.codecSink && session->channel)
    session->options.codecSink(session->channel, session->videoCodec);
  if (session->m_Attribute.rtpaudioSock != INVALID_SOCKET)
    session->audioQueue = std::make_unique<RtpFrameQueue>();
  PlayoutStart video{session->options.playout.video, session, session->videoQueue.get()};
  PlayoutStart audio{session->options.playout.audio, session, session->audioQueue.get()};
  HANDLE videoThread = StartPlayout(&video, kVideoPlayoutStackBytes);
  Report("m_Attribute.rtpaudioSock = %d \n", session->m_Attribute.rtpaudioSock);
  HANDLE audioThread = StartPlayout(&audio, kAudioPlayoutStackBytes);
  session->watching = 1;
  Watch watch{session};
  OpenWake(&watch);
  HANDLE watcher = StartThread(kWatcherStackBytes, RunWatcher, &watch);

  int recvTry = ReceiveLoop(session);
  Report("+++++++++++++++++++ running =%d recvTry=%d \n", session->running.load(), recvTry);
  // The watcher looks at the RTSP socket: it must be gone before the socket is closed.
  StopWatching(session, &watch);
  Join(watcher);
  if (watch.wake != INVALID_SOCKET) closesocket(watch.wake);
  EndRun(session, sock);
  StopQueue(&session->videoQueue, videoThread);
  StopQueue(&session->audioQueue, audioThread);
  const bool silent = session->udpSilent && session->running == 1;
  session->running = 0;
  Report("rtsp stop!\n");
  return silent ? kUdpSilent : kEnded;
}

}  // namespace

int RunRtspSession(RtspSession* session) {
  // The teardown of a run that falls back releases what the next open needs.
  const std::string url = session->url;
  const Credentials credentials = session->auth.credentials;
  RunEnd end = RunOnce(session, false);
  if (end == kUdpSilent) {
    Report(
        "no RTP over UDP in %d s, chn:%d: opening again with RTP on the RTSP connection "
        "(TCP)\n",
        kUdpSilenceSeconds, session->channelNumber);
    session->url = url;
    session->auth.credentials = credentials;
    session->waitSeconds = 1;
    if (!session->spareBuffer)
      session->spareBuffer = std::make_unique<uint8_t[]>(kSpareBufferBytes);
    end = RunOnce(session, true);
  }
  return end == kOpenFailed ? -1 : 0;
}
