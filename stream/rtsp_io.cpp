#include "stream/rtsp_io.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/kernel/clock.h"
#include "stream/interleaved.h"
#include "stream/report.h"

namespace {

constexpr int kStopLookMs = 50;

bool Stopped(const std::atomic<int>* running) { return running && running->load() == 0; }

}  // namespace

bool WaitReadyMs(SOCKET sock, bool write, int ms, const std::atomic<int>* running) {
  if (sock == INVALID_SOCKET) return false;
  const DWORD start = GetTickCount();
  for (;;) {
    if (Stopped(running)) return false;
    int slice = ms;
    if (ms >= 0) {
      const int spent = static_cast<int>(GetTickCount() - start);
      if (spent >= ms && ms > 0) return false;
      slice = ms - spent;
    }
    if (running && (slice < 0 || slice > kStopLookMs)) slice = kStopLookMs;
    WSAPOLLFD entry{sock, write ? POLLWRNORM : POLLRDNORM, 0};
    int ready = WSAPoll(&entry, 1, slice);
    if (ready < 0 || (entry.revents & POLLNVAL)) return false;
    if (ready > 0) return (entry.revents & (write ? POLLWRNORM : POLLRDNORM | POLLHUP | POLLERR));
    if (ms == 0) return false;
  }
}

bool WaitReady(SOCKET sock, bool write, int seconds, const std::atomic<int>* running) {
  return WaitReadyMs(sock, write, seconds < 0 ? -1 : seconds * 1000, running);
}

namespace {

bool Resolve(const std::string& host, sockaddr_in* address) {
  hostent* entry = gethostbyname(host.c_str());
  if (!entry || !entry->h_addr_list || !entry->h_addr_list[0]) {
    Report("Client: Cannot resolve address [%s]\n", host.c_str());
    return false;
  }
  std::memset(address, 0, sizeof *address);
  address->sin_family = AF_INET;
  std::memcpy(&address->sin_addr, entry->h_addr_list[0], sizeof address->sin_addr);
  return true;
}

// Sleeps `ms` in short steps; false when the owner stopped the run meanwhile.
bool PauseUnlessStopped(unsigned ms, const std::atomic<int>* running) {
  constexpr unsigned kStepMs = 50;
  for (unsigned slept = 0; slept < ms; slept += kStepMs) {
    if (running && running->load() == 0) return false;
    Sleep(ms - slept < kStepMs ? ms - slept : kStepMs);
  }
  return !running || running->load() != 0;
}

// One attempt, non-blocking so that it has a bound and a stop ends it; the socket is blocking
// again afterwards, as the readers expect.
bool ConnectOnce(SOCKET sock, const sockaddr_in& address, const std::atomic<int>* running) {
  u_long on = 1;
  ioctlsocket(sock, FIONBIO, &on);
  bool connected = connect(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (!connected && WSAGetLastError() == WSAEWOULDBLOCK &&
      WaitReady(sock, true, kConnectSeconds, running)) {
    int error = -1;
    int size = sizeof error;
    connected =
        getsockopt(sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
        error == 0;
  }
  u_long off = 0;
  ioctlsocket(sock, FIONBIO, &off);
  return connected;
}

}  // namespace

SOCKET ConnectRtspServer(const std::string& host, int port, uint32_t* peer,
                         const std::atomic<int>* running) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 0), &data);
  SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (sock == INVALID_SOCKET) {
    Report("Client: Error Opening socket\n");
    return INVALID_SOCKET;
  }
  sockaddr_in address;
  if (!Resolve(host, &address)) {
    closesocket(sock);
    return INVALID_SOCKET;
  }
  address.sin_port = htons(static_cast<u_short>(port));
  for (int attempt = 1;; ++attempt) {
    if (ConnectOnce(sock, address, running)) break;
    bool stopped = !PauseUnlessStopped(kConnectRetryMs, running);
    if (stopped) {
      closesocket(sock);
      return INVALID_SOCKET;
    }
    if (attempt == kConnectAttempts) {
      Report("connect() failed num:%d\n", sock);
      closesocket(sock);
      return INVALID_SOCKET;
    }
    // A socket whose connect failed cannot be connected again here: take a fresh one.
    closesocket(sock);
    sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (sock == INVALID_SOCKET) {
      Report("Client: Error Opening socket\n");
      return INVALID_SOCKET;
    }
  }
  if (peer) *peer = address.sin_addr.s_addr;
  return sock;
}

bool SendRequest(SOCKET sock, const std::string& text, int seconds, const char* sendFailed,
                 const std::atomic<int>* running) {
  if (!WaitReady(sock, true, seconds, running)) {
    ReportWait("socket is unwriteable\n");
    return false;
  }
  int length = static_cast<int>(text.size());
  if (send(sock, text.data(), length, 0) != length) {
    Report("%s", sendFailed);
    return false;
  }
  return true;
}

int ReadRtspReply(SOCKET sock, ReplyHeader* reply, bool teardown, const std::atomic<int>* running) {
  bool plain = teardown || STREAM_NPAPI_REPORTING;
  const int limitMs = (teardown ? kTeardownSeconds : kReplySeconds) * 1000;
  const DWORD start = GetTickCount();
  for (;;) {
    const int spent = static_cast<int>(GetTickCount() - start);
    if (spent >= limitMs || !WaitReadyMs(sock, false, limitMs - spent, running)) {
      if (plain)
        ReportWait("socket is unreadable\n");
      else
        ReportWait("socket is unreadable errorno %d \n", WSAGetLastError());
      break;
    }
    char byte = 0;
    if (recv(sock, &byte, 1, 0) != 1) {
      if (plain)
        Report("RTSP response was truncated\n");
      else
        Report("RTSP response was truncated errorno %d ,sock:%d\n", WSAGetLastError(), sock);
      break;
    }
    if (reply->Push(byte) != ReplyHeader::Step::kMore) break;
  }
  return reply->Count();
}

namespace {

// Whether the message of `size` bytes is a reply ("RTSP/...") with a CSeq of `cseq`.
bool IsReplyTo(const uint8_t* message, size_t size, int cseq) {
  std::string text(reinterpret_cast<const char*>(message), size);
  if (text.compare(0, 5, "RTSP/") != 0) return false;
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    if (text.size() - at < 6) break;
    std::string name = text.substr(at + 1, 5);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "cseq:") return std::atoi(text.c_str() + at + 6) == cseq;
  }
  return false;
}

}  // namespace

int ReadReplyAmongFrames(SOCKET sock, int cseq, std::vector<uint8_t>* unread, ReplyHeader* reply) {
  constexpr size_t kReadBytes = 4096;
  // A frame is at most 65539 bytes and a reply header fits its buffer, so this much unread
  // without a whole frame or message in front is not an RTSP connection any more.
  constexpr size_t kMostUnread = 2 * (kInterleavedHeaderBytes + 65535);
  const int limitMs = kTeardownSeconds * 1000;
  const DWORD start = GetTickCount();
  for (;;) {
    size_t at = 0;
    for (;;) {
      InterleavedStep step = ParseInterleaved(unread->data() + at, unread->size() - at);
      if (step.kind == InterleavedStep::Kind::kNeedMore) break;
      if (step.kind == InterleavedStep::Kind::kMessage &&
          IsReplyTo(unread->data() + at, step.consumed, cseq)) {
        for (size_t i = 0; i < step.consumed; ++i) {
          if (reply->Push(static_cast<char>((*unread)[at + i])) != ReplyHeader::Step::kMore) break;
        }
        unread->erase(unread->begin(),
                      unread->begin() + static_cast<std::ptrdiff_t>(at + step.consumed));
        return reply->Count();
      }
      at += step.consumed;
    }
    unread->erase(unread->begin(), unread->begin() + static_cast<std::ptrdiff_t>(at));
    const int spent = static_cast<int>(GetTickCount() - start);
    if (unread->size() >= kMostUnread || spent >= limitMs ||
        !WaitReadyMs(sock, false, limitMs - spent)) {
      ReportWait("socket is unreadable\n");
      return 0;
    }
    size_t used = unread->size();
    unread->resize(used + kReadBytes);
    int got = recv(sock, reinterpret_cast<char*>(unread->data() + used), kReadBytes, 0);
    if (got <= 0) {
      unread->resize(used);
      Report("RTSP response was truncated\n");
      return 0;
    }
    unread->resize(used + static_cast<size_t>(got));
  }
}
