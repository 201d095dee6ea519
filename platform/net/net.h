#pragma once
// Winsock 2 over POSIX sockets: the names, records, constants and error codes that callers
// written against Winsock use, with Winsock's semantics.
//
// Contract:
// - SOCKET is a descriptor; INVALID_SOCKET and SOCKET_ERROR report failures, after which
//   WSAGetLastError (and GetLastError, which shares the value) gives a WSAE* code.
// - Records (sockaddr, sockaddr_in, in_addr, hostent) have Winsock's layout; addresses and
//   ports inside them are in network order.
// - send never raises a signal on a closed peer; it fails with WSAECONNRESET instead.
// - select, fd_set, FD_ZERO/FD_SET/FD_CLR/FD_ISSET and timeval are the C library's own.
//   Unlike Winsock, select needs its first argument: the highest socket plus one (Winsock
//   ignores it, so passing it is portable). Sockets above FD_SETSIZE cannot join a set: wait
//   on those with WSAPoll, which takes any socket number.
// - gethostbyname and inet_ntoa return per-thread storage, valid until the next call of the
//   same function on the same thread. gethostbyname resolves IPv4 names only.
// - WSAStartup and WSACleanup keep a count; the calls work without them.
// - WSAPoll: WSAPOLLFD records with POLLRDNORM / POLLWRNORM (POLLIN / POLLOUT) asked and
//   POLLERR / POLLHUP / POLLNVAL reported as well; a negative time-out waits without limit.
//   As with Winsock, POLLHUP is set once the peer has closed its side of a connection (with
//   POLLRDNORM: what it sent before can still be read).
// - connect on a non-blocking socket fails with WSAEWOULDBLOCK while it is under way; its
//   outcome is then getsockopt(SO_ERROR), a WSAE* code or 0.
// - Socket options: SOL_SOCKET with SO_RCVBUF, SO_SNDBUF, SO_REUSEADDR, SO_BROADCAST, SO_ERROR;
//   ioctlsocket with FIONBIO and FIONREAD. Others fail with WSAENOPROTOOPT / WSAEINVAL.
// Every call may be made from any thread.

#include <sys/select.h>
#include <sys/types.h>

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

// u_char, u_short, u_int and u_long are the C library's (<sys/types.h>); u_long is wider than
// Winsock's, so 32-bit wire values (addresses, htonl) are uint32_t here.
using SOCKET = int;

constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
constexpr int IPPROTO_TCP = 6;
constexpr int IPPROTO_UDP = 17;
constexpr uint32_t INADDR_ANY = 0;
constexpr uint32_t INADDR_NONE = 0xFFFFFFFF;
constexpr int SOMAXCONN = 0x7FFFFFFF;

constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_REUSEADDR = 0x0004;
constexpr int SO_BROADCAST = 0x0020;
constexpr int SO_SNDBUF = 0x1001;
constexpr int SO_RCVBUF = 0x1002;
constexpr int SO_SNDTIMEO = 0x1005;  // DWORD milliseconds; 0 waits for ever
constexpr int SO_RCVTIMEO = 0x1006;  // a receive or send that waits longer fails with WSAETIMEDOUT
constexpr int SO_ERROR = 0x1007;

constexpr short POLLRDNORM = 0x0100;
constexpr short POLLRDBAND = 0x0200;
constexpr short POLLIN = POLLRDNORM | POLLRDBAND;
constexpr short POLLPRI = 0x0400;
constexpr short POLLWRNORM = 0x0010;
constexpr short POLLOUT = POLLWRNORM;
constexpr short POLLERR = 0x0001;
constexpr short POLLHUP = 0x0002;
constexpr short POLLNVAL = 0x0004;

struct WSAPOLLFD {
  SOCKET fd;
  short events;
  short revents;
};

constexpr long FIONREAD = 0x4004667F;
constexpr long FIONBIO = static_cast<long>(0x8004667E);

constexpr int MSG_OOB = 0x1;
constexpr int MSG_PEEK = 0x2;

constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSANO_DATA = 11004;

struct in_addr {
  uint32_t s_addr;
};

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  u_short sin_port;
  in_addr sin_addr;
  char sin_zero[8];
};
static_assert(sizeof(sockaddr_in) == 16 && sizeof(sockaddr) == 16);

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};
#define h_addr h_addr_list[0]

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};
using LPWSADATA = WSADATA*;

constexpr WORD MAKEWORD(BYTE low, BYTE high) { return static_cast<WORD>(low | (high << 8)); }

int WSAStartup(WORD version, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int family, int type, int protocol);
int closesocket(SOCKET s);
int bind(SOCKET s, const sockaddr* name, int name_length);
int connect(SOCKET s, const sockaddr* name, int name_length);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* address, int* address_length);
int shutdown(SOCKET s, int how);
int send(SOCKET s, const char* buffer, int length, int flags);
int recv(SOCKET s, char* buffer, int length, int flags);
int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int to_length);
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* from_length);
int setsockopt(SOCKET s, int level, int name, const char* value, int value_length);
int getsockopt(SOCKET s, int level, int name, char* value, int* value_length);
int getsockname(SOCKET s, sockaddr* name, int* name_length);
int ioctlsocket(SOCKET s, long command, u_long* argument);
// The count of records with revents set, 0 on a time-out, SOCKET_ERROR on failure.
int WSAPoll(WSAPOLLFD* fds, unsigned long count, int timeout_ms);

hostent* gethostbyname(const char* name);
uint32_t inet_addr(const char* dotted);
char* inet_ntoa(in_addr address);

constexpr u_short htons(u_short v) { return static_cast<u_short>((v >> 8) | (v << 8)); }
constexpr u_short ntohs(u_short v) { return htons(v); }
constexpr uint32_t htonl(uint32_t v) {
  return ((v & 0xFF) << 24) | ((v & 0xFF00) << 8) | ((v >> 8) & 0xFF00) | (v >> 24);
}
constexpr uint32_t ntohl(uint32_t v) { return htonl(v); }

#pragma GCC visibility pop
