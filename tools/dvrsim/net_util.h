#pragma once

#include <cstdint>
#include <string>

#include "platform/net/net.h"

namespace dvrsim {

// A UDP socket bound to `address` (network order) and a free port; INVALID_SOCKET on
// failure. `port` receives the chosen port.
SOCKET BindUdp(uint32_t address, int* port);

// Waits up to `timeoutMs` until one of `count` sockets is readable; returns a bit per
// ready socket (bit i for sockets[i]), 0 on time-out or error.
unsigned WaitReadable(const SOCKET* sockets, int count, int timeoutMs);

sockaddr_in MakeAddress(uint32_t address, int port);

inline constexpr int kSendTimeoutMs = 5000;

// Sends the whole buffer on a stream socket; false when the peer is gone or has taken
// nothing for kSendTimeoutMs.
bool SendAll(SOCKET s, const std::string& data);

std::string AddressText(uint32_t address);

}  // namespace dvrsim
