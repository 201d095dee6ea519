#include "device/protocol/dvr_socket.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "device/protocol/requests.h"

namespace {

void PrintSocketFailure(const char* function, int value) {
  std::printf("fun:%s,sock:%d\n", function, value);
  std::fflush(stdout);
}

}  // namespace

bool SendCommand(const void* datagram, SOCKET sock, int length, const char* address, int port) {
  uint32_t ip = inet_addr(address);
  if (ip == INADDR_NONE && std::strcmp(address, "255.255.255.255") != 0) return false;
  sockaddr_in to;
  std::memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = ip;
  to.sin_port = htons(static_cast<u_short>(port));
  return sendto(sock, static_cast<const char*>(datagram), length, 0,
                reinterpret_cast<const sockaddr*>(&to), sizeof to) != SOCKET_ERROR;
}

int ReceiveDatagram(SOCKET sock, void* buffer, int size) {
  sockaddr_in from;
  int fromLength = sizeof from;
  int got = recvfrom(sock, static_cast<char*>(buffer), size, 0, reinterpret_cast<sockaddr*>(&from),
                     &fromLength);
  return got == SOCKET_ERROR ? -1 : got;
}

// Through WSAPoll rather than select: a socket numbered above FD_SETSIZE cannot join an fd_set.
int WaitReadable(SOCKET sock, int seconds) {
  if (sock == INVALID_SOCKET) return 0;
  WSAPOLLFD entry{sock, POLLRDNORM, 0};
  int ready = WSAPoll(&entry, 1, seconds * 1000);
  if (ready == 0) return 0;
  if (ready < 0 || (entry.revents & POLLNVAL) != 0) {
    std::printf("select() error\n ");
    std::fflush(stdout);
    return -1;
  }
  if ((entry.revents & (POLLRDNORM | POLLHUP | POLLERR)) == 0) {
    std::printf("select() error - !FD_ISSET\n");
    std::fflush(stdout);
    return -1;
  }
  return ready;
}

SOCKET OpenStreamSocket() {
  SOCKET sock = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (sock == INVALID_SOCKET) {
    PrintSocketFailure("tcpInit", -1);
    return -1;
  }
  return sock;
}

SOCKET OpenDatagramSocket() {
  SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (sock == INVALID_SOCKET) {
    PrintSocketFailure("socketinit", sock);
    return -1;
  }
  return sock;
}

bool BuildAndSend(const void* values, SOCKET sock, const char* address, int kind, int port) {
  std::vector<uint8_t> datagram;
  switch (kind) {
    case kBuildPtzAction:
      datagram = BuildDatagram(CMD_PTZ_ACTION, values, sizeof(PtzAction));
      break;
    case kBuildPtzConfigGet:
    case kBuildPtzConfigSet:
      datagram = BuildDatagram(CMD_PTZ_CONFIG, values, sizeof(PtzConfig));
      break;
    case kBuildStatusUser:
      datagram = BuildStatusRequest(kStatusRefreshUser);
      break;
    case kBuildStatusPeriodic:
      datagram = BuildStatusRequest(kStatusRefreshPeriodic);
      break;
    case kBuildRelay:
      datagram = BuildDatagram(CMD_RELAY, values, sizeof(int32_t));
      break;
    default:
      return false;
  }
  return SendCommand(datagram.data(), sock, static_cast<int>(datagram.size()), address, port);
}
