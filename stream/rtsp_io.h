#pragma once
// The RTSP connection's I/O: connecting, readiness waits, sending a request and reading a
// reply header. Text building and parsing live in rtsp_messages.h and rtsp_reply.h.
// Every call is made by the thread that issues the request; failures print one diagnostic
// line and return false, -1 or INVALID_SOCKET.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/net.h"
#include "stream/rtsp_reply.h"

constexpr int kConnectAttempts = 3;
constexpr unsigned kConnectRetryMs = 3000;
constexpr int kRequestWriteSeconds = 10;
constexpr int kTeardownSeconds = 1;
constexpr int kReplyByteSeconds = 30;
// A reply header or body that trickles in is bounded as a whole, not byte by byte.
constexpr int kReplySeconds = 30;
// One connect attempt; a DVR whose accept queue is full never completes it.
constexpr int kConnectSeconds = 10;

// Waits until `sock` is readable (`write` false) or writable within `seconds`; a negative
// value waits without limit. Any socket number may be waited on. True when ready (a closed or
// failed connection counts as readable, so that the read reports it); false on a time-out or
// an error. When `running` is given, its owner clearing it ends the wait (false) within a
// twentieth of a second.
bool WaitReady(SOCKET sock, bool write, int seconds, const std::atomic<int>* running = nullptr);
bool WaitReadyMs(SOCKET sock, bool write, int ms, const std::atomic<int>* running = nullptr);

// TCP connection to host:port, up to three attempts of kConnectSeconds with a pause after each
// failure. *peer receives the IPv4 address connected to (network order). When `running` is
// given, its owner clearing it ends the attempts and pauses at once, so that stopping a viewer
// whose DVR is away or does not accept does not wait them out.
SOCKET ConnectRtspServer(const std::string& host, int port, uint32_t* peer,
                         const std::atomic<int>* running = nullptr);

// Sends `text` once the socket is writable within `seconds`. Prints "socket is unwriteable\n"
// or `sendFailed` and returns false on failure.
bool SendRequest(SOCKET sock, const std::string& text, int seconds, const char* sendFailed,
                 const std::atomic<int>* running = nullptr);

// Reads one reply header byte by byte into `reply`, waiting up to kReplySeconds for the whole
// header (1 s with `teardown`, which also prints the short forms of the failure lines). Returns
// the count of the reply's bytes; any count above 0 is a reply. `running` as in WaitReady.
int ReadRtspReply(SOCKET sock, ReplyHeader* reply, bool teardown,
                  const std::atomic<int>* running = nullptr);

// ReadRtspReply with `teardown` for a connection that carries interleaved frames: `unread`
// holds what was read off it and not yet taken, starting at a frame or message; frames in
// front of the reply are passed over, and so are messages that are not the reply to request
// `cseq` (the server's own requests, late replies); what follows the reply stays in `unread`.
int ReadReplyAmongFrames(SOCKET sock, int cseq, std::vector<uint8_t>* unread, ReplyHeader* reply);
