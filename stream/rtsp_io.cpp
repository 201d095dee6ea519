#include "stream/rtsp_io.h"

#include <cstring>

#include "platform/kernel/clock.h"
#include "stream/report.h"

bool WaitReady(SOCKET sock, bool write, int seconds) {
  if (sock == INVALID_SOCKET || sock >= FD_SETSIZE) return false;
  fd_set set;
  FD_ZERO(&set);
  FD_SET(sock, &set);
  timeval limit{seconds, 0};
  int ready = select(sock + 1, write ? nullptr : &set, write ? &set : nullptr, nullptr,
                     seconds < 0 ? nullptr : &limit);
  return ready > 0 && FD_ISSET(sock, &set);
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
    if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
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

bool SendRequest(SOCKET sock, const std::string& text, int seconds, const char* sendFailed) {
  if (!WaitReady(sock, true, seconds)) {
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

int ReadRtspReply(SOCKET sock, ReplyHeader* reply, bool teardown) {
  bool plain = teardown || STREAM_NPAPI_REPORTING;
  for (;;) {
    if (!WaitReady(sock, false, teardown ? kTeardownSeconds : kReplyByteSeconds)) {
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
