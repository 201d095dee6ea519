#pragma once
// The POSIX side of the Winsock layer. net.cpp speaks Winsock records and constants; this
// file's twin (net_os.cpp) is the only one that includes the system's socket headers, so the
// two sets of names never meet in one translation unit. Every call returns -1 on failure and
// leaves the reason as a WSAE* code in `*error`.

#include <cstddef>
#include <cstdint>

namespace netos {

enum class Option { kRcvBuf, kSndBuf, kReuseAddr, kBroadcast, kError, kSndTimeo, kRcvTimeo };

// poll's readiness bits, named apart from the system's.
constexpr int kPollRead = 1, kPollWrite = 2, kPollError = 4, kPollHangUp = 8, kPollInvalid = 16;
struct PollEntry {
  int fd;
  int want;   // kPollRead | kPollWrite
  int ready;  // any of the five
};

int Socket(int type, int* error);
int Close(int fd, int* error);
int Bind(int fd, const void* address, int* error);
int Connect(int fd, const void* address, int* error);
int Listen(int fd, int backlog, int* error);
int Accept(int fd, void* address, int* error);
int Shutdown(int fd, int how, int* error);
long Send(int fd, const void* buffer, size_t length, int flags, const void* to, int* error);
long Recv(int fd, void* buffer, size_t length, int flags, void* from, int* error);
int SetOption(int fd, Option option, int value, int* error);
int GetOption(int fd, Option option, int* value, int* error);
int LocalAddress(int fd, void* address, int* error);
int SetNonBlocking(int fd, bool on, int* error);
int PendingBytes(int fd, int* count, int* error);
// The count of entries with `ready` set; 0 on a time-out.
int Poll(PollEntry* entries, size_t count, int timeout_ms, int* error);
// The WSAE* code of a socket's pending error (SO_ERROR), 0 when none.
int ErrorCode(int system_error);
// Resolves an IPv4 name into network-order addresses; returns their count (at most max).
int ResolveIpv4(const char* name, uint32_t* addresses, int max, int* error);

}  // namespace netos
