#include "platform/net/net.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/kernel/last_error.h"
#include "platform/net/net_os.h"

namespace {

std::atomic<int> g_startups{0};

// Winsock keeps one last error per thread, shared with GetLastError.
int Fail(int error) {
  SetLastError(static_cast<DWORD>(error));
  return SOCKET_ERROR;
}

int Done(long result, const int& error) {  // error is read after the call it follows
  if (result < 0) return Fail(error);
  return static_cast<int>(result);
}

bool ValidAddress(const sockaddr* name, int length) {
  return name && length >= static_cast<int>(sizeof(sockaddr_in)) && name->sa_family == AF_INET;
}

bool MapOption(int level, int name, netos::Option* option) {
  if (level != SOL_SOCKET) return false;
  switch (name) {
    case SO_RCVBUF:
      *option = netos::Option::kRcvBuf;
      return true;
    case SO_SNDBUF:
      *option = netos::Option::kSndBuf;
      return true;
    case SO_REUSEADDR:
      *option = netos::Option::kReuseAddr;
      return true;
    case SO_BROADCAST:
      *option = netos::Option::kBroadcast;
      return true;
    case SO_ERROR:
      *option = netos::Option::kError;
      return true;
    case SO_SNDTIMEO:
      *option = netos::Option::kSndTimeo;
      return true;
    case SO_RCVTIMEO:
      *option = netos::Option::kRcvTimeo;
      return true;
    default:
      return false;
  }
}

}  // namespace

int WSAStartup(WORD version, WSADATA* data) {
  if (!data) return WSAEFAULT;
  std::memset(data, 0, sizeof *data);
  data->wVersion = version;
  data->wHighVersion = MAKEWORD(2, 2);
  std::snprintf(data->szDescription, sizeof data->szDescription, "POSIX sockets");
  std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
  data->iMaxUdpDg = 65507;
  ++g_startups;
  return 0;
}

int WSACleanup() {
  if (g_startups.load() <= 0) return Fail(WSANOTINITIALISED);
  --g_startups;
  return 0;
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }
void WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

SOCKET socket(int family, int type, int protocol) {
  if (family != AF_INET) return Fail(WSAEAFNOSUPPORT);
  if (type != SOCK_STREAM && type != SOCK_DGRAM) return Fail(WSAEPROTONOSUPPORT);
  if (protocol != 0 && protocol != (type == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP))
    return Fail(WSAEPROTONOSUPPORT);
  int error = 0;
  return Done(netos::Socket(type, &error), error);
}

int closesocket(SOCKET s) {
  int error = 0;
  return Done(netos::Close(s, &error), error) < 0 ? SOCKET_ERROR : 0;
}

int bind(SOCKET s, const sockaddr* name, int name_length) {
  if (!ValidAddress(name, name_length)) return Fail(WSAEFAULT);
  int error = 0;
  return Done(netos::Bind(s, name, &error), error);
}

int connect(SOCKET s, const sockaddr* name, int name_length) {
  if (!ValidAddress(name, name_length)) return Fail(WSAEFAULT);
  int error = 0;
  int r = netos::Connect(s, name, &error);
  // Winsock reports a non-blocking connect under way as "would block".
  if (r < 0 && error == WSAEINPROGRESS) error = WSAEWOULDBLOCK;
  return Done(r, error);
}

int listen(SOCKET s, int backlog) {
  int error = 0;
  return Done(netos::Listen(s, backlog, &error), error);
}

SOCKET accept(SOCKET s, sockaddr* address, int* address_length) {
  if (address && (!address_length || *address_length < static_cast<int>(sizeof(sockaddr_in))))
    return Fail(WSAEFAULT);
  int error = 0;
  int r = Done(netos::Accept(s, address, &error), error);
  if (r >= 0 && address_length) *address_length = sizeof(sockaddr_in);
  return r;
}

int shutdown(SOCKET s, int how) {
  int error = 0;
  return Done(netos::Shutdown(s, how, &error), error);
}

int send(SOCKET s, const char* buffer, int length, int flags) {
  if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
  int error = 0;
  return Done(netos::Send(s, buffer, length, flags, nullptr, &error), error);
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
  int error = 0;
  return Done(netos::Recv(s, buffer, length, flags, nullptr, &error), error);
}

int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int to_length) {
  if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
  if (!ValidAddress(to, to_length)) return Fail(WSAEFAULT);
  int error = 0;
  return Done(netos::Send(s, buffer, length, flags, to, &error), error);
}

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* from_length) {
  if (length < 0 || (!buffer && length > 0)) return Fail(WSAEFAULT);
  if (from && (!from_length || *from_length < static_cast<int>(sizeof(sockaddr_in))))
    return Fail(WSAEFAULT);
  int error = 0;
  int r = Done(netos::Recv(s, buffer, length, flags, from, &error), error);
  if (r >= 0 && from_length) *from_length = sizeof(sockaddr_in);
  return r;
}

int setsockopt(SOCKET s, int level, int name, const char* value, int value_length) {
  netos::Option option;
  if (!MapOption(level, name, &option)) return Fail(WSAENOPROTOOPT);
  if (!value || value_length < 1) return Fail(WSAEFAULT);
  int v = 0;
  std::memcpy(&v, value, value_length >= 4 ? 4 : 1);  // BOOL options may be one byte
  if (value_length < 4) v = static_cast<unsigned char>(value[0]);
  int error = 0;
  return Done(netos::SetOption(s, option, v, &error), error);
}

int getsockopt(SOCKET s, int level, int name, char* value, int* value_length) {
  netos::Option option;
  if (!MapOption(level, name, &option)) return Fail(WSAENOPROTOOPT);
  if (!value || !value_length || *value_length < 4) return Fail(WSAEFAULT);
  int v = 0, error = 0;
  if (netos::GetOption(s, option, &v, &error) < 0) return Fail(error);
  if (option == netos::Option::kError) v = netos::ErrorCode(v);
  std::memcpy(value, &v, 4);
  *value_length = 4;
  return 0;
}

int WSAPoll(WSAPOLLFD* fds, unsigned long count, int timeout_ms) {
  if (!fds && count > 0) return Fail(WSAEFAULT);
  std::vector<netos::PollEntry> entries(count);
  for (unsigned long i = 0; i < count; ++i) {
    entries[i].fd = fds[i].fd;
    entries[i].want = (fds[i].events & POLLRDNORM ? netos::kPollRead : 0) |
                      (fds[i].events & POLLWRNORM ? netos::kPollWrite : 0);
  }
  int error = 0;
  int n = netos::Poll(entries.data(), count, timeout_ms, &error);
  if (n < 0) return Fail(error);
  for (unsigned long i = 0; i < count; ++i) {
    const int r = entries[i].ready;
    fds[i].revents = static_cast<short>(
        (r & netos::kPollRead ? POLLRDNORM : 0) | (r & netos::kPollWrite ? POLLWRNORM : 0) |
        (r & netos::kPollError ? POLLERR : 0) | (r & netos::kPollHangUp ? POLLHUP : 0) |
        (r & netos::kPollInvalid ? POLLNVAL : 0));
  }
  return n;
}

int getsockname(SOCKET s, sockaddr* name, int* name_length) {
  if (!name || !name_length || *name_length < static_cast<int>(sizeof(sockaddr_in)))
    return Fail(WSAEFAULT);
  int error = 0;
  if (netos::LocalAddress(s, name, &error) < 0) return Fail(error);
  *name_length = sizeof(sockaddr_in);
  return 0;
}

int ioctlsocket(SOCKET s, long command, u_long* argument) {
  if (!argument) return Fail(WSAEFAULT);
  int error = 0;
  if (command == FIONBIO) return Done(netos::SetNonBlocking(s, *argument != 0, &error), error);
  if (command != FIONREAD) return Fail(WSAEINVAL);
  int count = 0;
  if (netos::PendingBytes(s, &count, &error) < 0) return Fail(error);
  *argument = static_cast<u_long>(count);
  return 0;
}

hostent* gethostbyname(const char* name) {
  constexpr int kMax = 8;
  thread_local char t_name[256];
  thread_local uint32_t t_addresses[kMax];
  thread_local char* t_list[kMax + 1];
  thread_local char* t_aliases[1];
  thread_local hostent t_entry;
  if (!name) {
    Fail(WSAEFAULT);
    return nullptr;
  }
  int error = 0;
  int n = netos::ResolveIpv4(name, t_addresses, kMax, &error);
  if (n <= 0) {
    Fail(n < 0 ? error : WSANO_DATA);
    return nullptr;
  }
  std::snprintf(t_name, sizeof t_name, "%s", name);
  for (int i = 0; i < n; ++i) t_list[i] = reinterpret_cast<char*>(&t_addresses[i]);
  t_list[n] = nullptr;
  t_aliases[0] = nullptr;
  t_entry = hostent{t_name, t_aliases, AF_INET, 4, t_list};
  return &t_entry;
}

uint32_t inet_addr(const char* dotted) {
  if (!dotted) return INADDR_NONE;
  unsigned parts[4];
  char tail;
  if (std::sscanf(dotted, "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
    return INADDR_NONE;
  uint32_t host = 0;
  for (unsigned part : parts) {
    if (part > 255) return INADDR_NONE;
    host = (host << 8) | part;
  }
  return htonl(host);
}

char* inet_ntoa(in_addr address) {
  thread_local char t_text[16];
  uint32_t host = ntohl(address.s_addr);
  std::snprintf(t_text, sizeof t_text, "%u.%u.%u.%u", (host >> 24) & 255, (host >> 16) & 255,
                (host >> 8) & 255, host & 255);
  return t_text;
}
