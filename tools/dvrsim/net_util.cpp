#include "tools/dvrsim/net_util.h"

#include <algorithm>

namespace dvrsim {

sockaddr_in MakeAddress(uint32_t address, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = address;
  return a;
}

SOCKET BindUdp(uint32_t address, int* port) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in a = MakeAddress(address, 0);
  int length = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  *port = ntohs(a.sin_port);
  return s;
}

unsigned WaitReadable(const SOCKET* sockets, int count, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  SOCKET highest = -1;
  for (int i = 0; i < count; ++i) {
    if (sockets[i] == INVALID_SOCKET || sockets[i] >= FD_SETSIZE) continue;
    FD_SET(sockets[i], &set);
    highest = std::max(highest, sockets[i]);
  }
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (highest < 0) {
    select(0, nullptr, nullptr, nullptr, &tv);  // nothing to watch: just wait
    return 0;
  }
  if (select(highest + 1, &set, nullptr, nullptr, &tv) <= 0) return 0;
  unsigned ready = 0;
  for (int i = 0; i < count; ++i) {
    if (sockets[i] != INVALID_SOCKET && sockets[i] < FD_SETSIZE && FD_ISSET(sockets[i], &set)) {
      ready |= 1u << i;
    }
  }
  return ready;
}

bool SendAll(SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    // A peer that stops reading must not hold the sender for ever.
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{kSendTimeoutMs / 1000, 0};
    if (s >= FD_SETSIZE || select(s + 1, nullptr, &set, nullptr, &tv) != 1) return false;
    int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string AddressText(uint32_t address) {
  in_addr a{address};
  return inet_ntoa(a);
}

}  // namespace dvrsim
