#include "tools/dvrsim/net_util.h"

#include <algorithm>

#include "platform/kernel/clock.h"

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
  // poll takes any socket number; select cannot watch one of 1024 or more.
  WSAPOLLFD entries[32];
  int index[32];
  unsigned long used = 0;
  for (int i = 0; i < count && i < 32; ++i) {
    if (sockets[i] == INVALID_SOCKET) continue;
    entries[used] = WSAPOLLFD{sockets[i], POLLRDNORM, 0};
    index[used++] = i;
  }
  if (used == 0) {
    Sleep(static_cast<DWORD>(timeoutMs));  // nothing to watch: just wait
    return 0;
  }
  if (WSAPoll(entries, used, timeoutMs) <= 0) return 0;
  unsigned ready = 0;
  for (unsigned long k = 0; k < used; ++k) {
    if (entries[k].revents & (POLLRDNORM | POLLERR | POLLHUP)) ready |= 1u << index[k];
  }
  return ready;
}

bool SendAll(SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    // A peer that stops reading must not hold the sender for ever.
    WSAPOLLFD entry{s, POLLWRNORM, 0};
    if (WSAPoll(&entry, 1, kSendTimeoutMs) != 1 || !(entry.revents & POLLWRNORM)) return false;
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
