#include "platform/net/net_os.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace netos {
namespace {

int ToWsa(int e) {
  switch (e) {
    case EINTR:
      return 10004;
    case EBADF:
      return 10038;  // a closed or bogus descriptor is "not a socket" to callers
    case EACCES:
    case EPERM:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
    case ENFILE:
      return 10024;
    case EAGAIN:
      return 10035;
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EMSGSIZE:
      return 10040;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case EOPNOTSUPP:
      return 10045;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
    case EPIPE:
      return 10054;
    case ENOBUFS:
    case ENOMEM:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case ESHUTDOWN:
      return 10058;
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return 10061;
    case EHOSTUNREACH:
      return 10065;
    default:
      return 10022;
  }
}

template <typename T>
T Check(T result, int* error) {
  if (result < 0) *error = ToWsa(errno);
  return result;
}

// Winsock's sockaddr_in has the POSIX layout on this platform; copying keeps aliasing clean.
sockaddr_in FromWinsock(const void* address) {
  sockaddr_in in{};
  std::memcpy(&in, address, sizeof in);
  in.sin_family = AF_INET;
  return in;
}

int Level(Option) { return SOL_SOCKET; }
int Name(Option option) {
  switch (option) {
    case Option::kRcvBuf:
      return SO_RCVBUF;
    case Option::kSndBuf:
      return SO_SNDBUF;
    case Option::kReuseAddr:
      return SO_REUSEADDR;
    case Option::kBroadcast:
      return SO_BROADCAST;
    case Option::kError:
      return SO_ERROR;
    case Option::kSndTimeo:
      return SO_SNDTIMEO;
    case Option::kRcvTimeo:
      return SO_RCVTIMEO;
  }
  return SO_RCVBUF;
}

}  // namespace

int Socket(int type, int* error) {
  int kind = type == 1 ? SOCK_STREAM : SOCK_DGRAM;
  return Check(::socket(AF_INET, kind | SOCK_CLOEXEC, 0), error);
}

int Close(int fd, int* error) { return Check(::close(fd), error); }

int Bind(int fd, const void* address, int* error) {
  sockaddr_in in = FromWinsock(address);
  return Check(::bind(fd, reinterpret_cast<sockaddr*>(&in), sizeof in), error);
}

int Connect(int fd, const void* address, int* error) {
  sockaddr_in in = FromWinsock(address);
  return Check(::connect(fd, reinterpret_cast<sockaddr*>(&in), sizeof in), error);
}

int Listen(int fd, int backlog, int* error) {
  return Check(::listen(fd, backlog > 4096 ? 4096 : backlog), error);
}

int Accept(int fd, void* address, int* error) {
  sockaddr_in in{};
  socklen_t size = sizeof in;
  int s = Check(::accept4(fd, reinterpret_cast<sockaddr*>(&in), &size, SOCK_CLOEXEC), error);
  if (s >= 0 && address) std::memcpy(address, &in, sizeof in);
  return s;
}

int Shutdown(int fd, int how, int* error) {
  int mode = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
  return Check(::shutdown(fd, mode), error);
}

long Send(int fd, const void* buffer, size_t length, int flags, const void* to, int* error) {
  int f = MSG_NOSIGNAL | (flags & 1 ? MSG_OOB : 0);
  if (!to) return Check(::send(fd, buffer, length, f), error);
  sockaddr_in in = FromWinsock(to);
  return Check(::sendto(fd, buffer, length, f, reinterpret_cast<sockaddr*>(&in), sizeof in), error);
}

long Recv(int fd, void* buffer, size_t length, int flags, void* from, int* error) {
  int f = (flags & 1 ? MSG_OOB : 0) | (flags & 2 ? MSG_PEEK : 0);
  sockaddr_in in{};
  socklen_t size = sizeof in;
  // A datagram longer than the buffer is cut and reported, as Winsock does (WSAEMSGSIZE).
  msghdr message{};
  iovec piece{buffer, length};
  message.msg_iov = &piece;
  message.msg_iovlen = 1;
  message.msg_name = &in;
  message.msg_namelen = size;
  long n = Check(::recvmsg(fd, &message, f), error);
  if (n >= 0 && (message.msg_flags & MSG_TRUNC)) {
    *error = 10040;
    return -1;
  }
  if (n >= 0 && from) std::memcpy(from, &in, sizeof in);
  return n;
}

bool IsTimeout(Option option) { return option == Option::kSndTimeo || option == Option::kRcvTimeo; }

int SetOption(int fd, Option option, int value, int* error) {
  if (IsTimeout(option)) {
    // Winsock gives milliseconds; POSIX a timeval.
    timeval t{value / 1000, (value % 1000) * 1000};
    return Check(::setsockopt(fd, Level(option), Name(option), &t, sizeof t), error);
  }
  return Check(::setsockopt(fd, Level(option), Name(option), &value, sizeof value), error);
}

int GetOption(int fd, Option option, int* value, int* error) {
  if (IsTimeout(option)) {
    timeval t{};
    socklen_t size = sizeof t;
    int r = Check(::getsockopt(fd, Level(option), Name(option), &t, &size), error);
    *value = static_cast<int>(t.tv_sec * 1000 + t.tv_usec / 1000);
    return r;
  }
  socklen_t size = sizeof *value;
  return Check(::getsockopt(fd, Level(option), Name(option), value, &size), error);
}

int LocalAddress(int fd, void* address, int* error) {
  sockaddr_in in{};
  socklen_t size = sizeof in;
  int r = Check(::getsockname(fd, reinterpret_cast<sockaddr*>(&in), &size), error);
  if (r == 0) std::memcpy(address, &in, sizeof in);
  return r;
}

int SetNonBlocking(int fd, bool on, int* error) {
  int flags = Check(::fcntl(fd, F_GETFL), error);
  if (flags < 0) return -1;
  flags = on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
  return Check(::fcntl(fd, F_SETFL, flags), error);
}

int PendingBytes(int fd, int* count, int* error) {
  return Check(::ioctl(fd, FIONREAD, count), error);
}

int Poll(PollEntry* entries, size_t count, int timeout_ms, int* error) {
  pollfd fixed[16];
  pollfd* fds = count <= 16 ? fixed : new pollfd[count];
  for (size_t i = 0; i < count; ++i) {
    fds[i].fd = entries[i].fd;
    fds[i].events = static_cast<short>((entries[i].want & kPollRead ? POLLIN | POLLRDHUP : 0) |
                                       (entries[i].want & kPollWrite ? POLLOUT : 0));
    fds[i].revents = 0;
  }
  int n = Check(::poll(fds, count, timeout_ms < 0 ? -1 : timeout_ms), error);
  for (size_t i = 0; i < count; ++i) {
    const short r = n > 0 ? fds[i].revents : 0;
    entries[i].ready = (r & POLLIN ? kPollRead : 0) | (r & POLLOUT ? kPollWrite : 0) |
                       (r & POLLERR ? kPollError : 0) |
                       (r & (POLLHUP | POLLRDHUP) ? kPollHangUp : 0) |
                       (r & POLLNVAL ? kPollInvalid : 0);
  }
  if (fds != fixed) delete[] fds;
  return n;
}

int ErrorCode(int system_error) { return system_error == 0 ? 0 : ToWsa(system_error); }

int ResolveIpv4(const char* name, uint32_t* addresses, int max, int* error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* list = nullptr;
  if (::getaddrinfo(name, nullptr, &hints, &list) != 0 || !list) {
    *error = 11001;
    return -1;
  }
  int n = 0;
  for (addrinfo* a = list; a && n < max; a = a->ai_next) {
    uint32_t address = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
    bool seen = false;
    for (int i = 0; i < n; ++i) seen = seen || addresses[i] == address;
    if (!seen) addresses[n++] = address;
  }
  ::freeaddrinfo(list);
  return n;
}

}  // namespace netos
