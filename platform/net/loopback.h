#pragma once
// Small helpers for peers on this machine: the loopback address of a port, and the port a
// socket was bound to (after binding port 0 and letting the system choose).

#include <cstring>

#include "platform/net/net.h"

namespace platform::net {

inline sockaddr_in LoopbackAddress(int port) {
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(0x7F000001);
  address.sin_port = htons(static_cast<u_short>(port));
  return address;
}

// 0 when the socket has no local address.
inline int BoundPort(SOCKET sock) {
  sockaddr_in address;
  int length = sizeof address;
  if (getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

}  // namespace platform::net
