#pragma once
// The RTSP connection's I/O: connecting, readiness waits, sending a request and reading a
// reply header. Text building and parsing live in rtsp_messages.h and rtsp_reply.h.
// Every call is made by the thread that issues the request; failures print one diagnostic
// line and return false, -1 or INVALID_SOCKET.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/net/net.h"
#include "stream/rtsp_reply.h"

constexpr int kConnectAttempts = 3;
constexpr unsigned kConnectRetryMs = 3000;
constexpr int kRequestWriteSeconds = 10;
constexpr int kTeardownSeconds = 1;
constexpr int kReplyByteSeconds = 30;

// Waits until `sock` is readable (`write` false) or writable within `seconds`; a negative
// value waits without limit. True when ready; false on a time-out or an error.
bool WaitReady(SOCKET sock, bool write, int seconds);

// TCP connection to host:port, up to three attempts with a pause after each failure.
// *peer receives the IPv4 address connected to (network order). When `running` is given, its
// owner clearing it ends the pauses at once, so that stopping a viewer whose DVR is away does
// not wait out all the attempts.
SOCKET ConnectRtspServer(const std::string& host, int port, uint32_t* peer,
                         const std::atomic<int>* running = nullptr);

// Sends `text` once the socket is writable within `seconds`. Prints "socket is unwriteable\n"
// or `sendFailed` and returns false on failure.
bool SendRequest(SOCKET sock, const std::string& text, int seconds, const char* sendFailed);

// Reads one reply header byte by byte into `reply`, waiting up to 30 s for each byte (1 s with
// `teardown`, which also prints the short forms of the failure lines). Returns the count of the
// reply's bytes; any count above 0 is a reply.
int ReadRtspReply(SOCKET sock, ReplyHeader* reply, bool teardown);
