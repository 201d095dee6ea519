#pragma once
// The socket utilities every dialog of the command protocol shares. Diagnostics are fixed
// lines on standard output, flushed.

#include <cstdint>

#include "device/protocol/messages.h"
#include "platform/net/net.h"

// Sends `length` bytes of `datagram` to UDP port `port` (the command port unless a test
// says otherwise) of the dotted IPv4 `address`. True unless the address is not dotted or the
// send fails. Every UDP request goes through it.
bool SendCommand(const void* datagram, SOCKET sock, int length, const char* address,
                 int port = kCommandPort);

// One receive of at most `size` bytes. The byte count, or -1 with the reason left in
// WSAGetLastError().
int ReceiveDatagram(SOCKET sock, void* buffer, int size);

// Waits until `sock` is readable or `seconds` have passed. 0 on time-out or for
// INVALID_SOCKET, positive when readable, -1 when the wait fails ("select() error\n ") or
// ends without the socket ready ("select() error - !FD_ISSET\n"). A peer that closed or
// reset counts as readable: the next receive reports it.
int WaitReadable(SOCKET sock, int seconds);

// A new TCP socket; on failure prints "fun:tcpInit,sock:-1\n" and returns -1.
SOCKET OpenStreamSocket();

// A new UDP socket for commands; on failure prints "fun:socketinit,sock:%d\n" with the failing
// value and returns -1.
SOCKET OpenDatagramSocket();

// The panel's builder of the small commands, by kind:
//   3       CMD_PTZ_ACTION from 4 bytes of `values` (a PtzAction)
//   6, 7    CMD_PTZ_CONFIG from 6 bytes (a PtzConfig)
//   18, 19  CMD_STATUS with payload byte 1 (user refresh) or 2 (periodic); `values` unused
//   20      CMD_RELAY from an int32 mask
// Any other kind sends nothing. True when a datagram was sent.
enum BuildKind {
  kBuildPtzAction = 3,
  kBuildPtzConfigGet = 6,
  kBuildPtzConfigSet = 7,
  kBuildStatusUser = 18,
  kBuildStatusPeriodic = 19,
  kBuildRelay = 20,
};
bool BuildAndSend(const void* values, SOCKET sock, const char* address, int kind,
                  int port = kCommandPort);
