#include "platform/net/net.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>

#include "platform/net/loopback.h"

namespace {

SOCKET BoundUdp(u_short* port) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a = platform::net::LoopbackAddress(0);
  EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  int size = sizeof a;
  EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&a), &size), 0);
  *port = ntohs(a.sin_port);
  return s;
}

bool Readable(SOCKET s, long seconds) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{seconds, 0};
  return select(s + 1, &set, nullptr, nullptr, &tv) == 1 && FD_ISSET(s, &set);
}

TEST(Net, AddressTextsRoundTripAndBadOnesAreRefused) {
  EXPECT_EQ(inet_addr("127.0.0.1"), htonl(0x7F000001));
  EXPECT_EQ(inet_addr("10.1.2.300"), INADDR_NONE);
  EXPECT_EQ(inet_addr("1.2.3"), INADDR_NONE);
  EXPECT_EQ(inet_addr("1.2.3.4x"), INADDR_NONE);
  EXPECT_STREQ(inet_ntoa(in_addr{inet_addr("192.168.0.17")}), "192.168.0.17");
  EXPECT_EQ(htons(0x1234), 0x3412);
  EXPECT_EQ(ntohl(htonl(0x01020304)), 0x01020304u);
}

TEST(Net, ResolvesNumericAndLocalNamesAndReportsUnknownOnes) {
  hostent* h = gethostbyname("127.0.0.1");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->h_length, 4);
  uint32_t a;
  std::memcpy(&a, h->h_addr, 4);
  EXPECT_EQ(a, inet_addr("127.0.0.1"));
  EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
}

TEST(Net, UdpDatagramsTravelOverLoopbackAndLongOnesAreReported) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
  u_short port_a, port_b;
  SOCKET a = BoundUdp(&port_a), b = BoundUdp(&port_b);
  ASSERT_NE(port_a, 0);
  sockaddr_in to = platform::net::LoopbackAddress(port_b);
  ASSERT_EQ(sendto(a, "hello", 5, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 5);
  ASSERT_TRUE(Readable(b, 2));
  u_long pending = 0;
  EXPECT_EQ(ioctlsocket(b, FIONREAD, &pending), 0);
  EXPECT_EQ(pending, 5u);
  char buffer[16];
  sockaddr_in from{};
  int from_size = sizeof from;
  EXPECT_EQ(recvfrom(b, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &from_size),
            5);
  EXPECT_EQ(ntohs(from.sin_port), port_a);
  ASSERT_EQ(sendto(a, "0123456789", 10, 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 10);
  ASSERT_TRUE(Readable(b, 2));
  EXPECT_EQ(recv(b, buffer, 4, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
  EXPECT_EQ(std::memcmp(buffer, "0123", 4), 0);
  EXPECT_FALSE(Readable(b, 0));
  closesocket(a);
  closesocket(b);
  EXPECT_EQ(WSACleanup(), 0);
}

TEST(Net, TcpConnectsSendsAndReportsRefusalsAndResets) {
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = platform::net::LoopbackAddress(0);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(listener, SOMAXCONN), 0);
  int size = sizeof a;
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size);
  SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  SOCKET server = accept(listener, nullptr, nullptr);
  ASSERT_NE(server, INVALID_SOCKET);
  EXPECT_EQ(send(client, "abc", 3, 0), 3);
  char buffer[8];
  EXPECT_EQ(recv(server, buffer, sizeof buffer, 0), 3);
  // A peer's close is a hang-up, as Winsock reports it; what it sent first is still read.
  WSAPOLLFD entry{client, POLLRDNORM, 0};
  EXPECT_EQ(WSAPoll(&entry, 1, 0), 0);
  EXPECT_EQ(send(server, "de", 2, 0), 2);
  ASSERT_EQ(WSAPoll(&entry, 1, 2000), 1);
  EXPECT_EQ(entry.revents, POLLRDNORM);
  closesocket(server);
  ASSERT_EQ(WSAPoll(&entry, 1, 2000), 1);
  EXPECT_EQ(entry.revents & (POLLRDNORM | POLLHUP), POLLRDNORM | POLLHUP);
  EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), 2);
  EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), 0);
  // Writing on into a closed connection must fail, never kill the process with a signal.
  int result = 0;
  for (int i = 0; i < 50 && result != SOCKET_ERROR; ++i) result = send(client, "x", 1, 0);
  EXPECT_EQ(result, SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
  closesocket(client);
  closesocket(listener);

  SOCKET refused = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(connect(refused, reinterpret_cast<sockaddr*>(&a), sizeof a), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
  closesocket(refused);
}

TEST(Net, OptionsAndBadArgumentsGiveWinsockCodes) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  int size = 65536;
  EXPECT_EQ(setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), sizeof size), 0);
  int got = 0, got_size = sizeof got;
  EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&got), &got_size), 0);
  EXPECT_GE(got, 65536);
  EXPECT_EQ(setsockopt(s, 6, 1, reinterpret_cast<char*>(&size), sizeof size), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);
  u_long on = 1;
  EXPECT_EQ(ioctlsocket(s, FIONBIO, &on), 0);
  char b;
  EXPECT_EQ(recv(s, &b, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  EXPECT_EQ(socket(10, SOCK_DGRAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);
  closesocket(s);
  EXPECT_EQ(closesocket(s), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

}  // namespace

namespace {

// A copy of `s` numbered 1024 or above, as a process with many files open gets.
SOCKET HighNumbered(SOCKET s) {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur < 1100 && limit.rlim_max >= 1100) {
    limit.rlim_cur = 1100;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  int high = fcntl(s, F_DUPFD_CLOEXEC, 1024);
  ::close(s);
  return high;
}

TEST(Net, PollWaitsOnSocketNumbersBeyondTheSelectLimit) {
  SOCKET receiver = HighNumbered(socket(AF_INET, SOCK_DGRAM, 0));
  ASSERT_GE(receiver, 1024) << "no descriptor above 1023 could be had";
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  ASSERT_EQ(bind(receiver, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  int length = sizeof a;
  ASSERT_EQ(getsockname(receiver, reinterpret_cast<sockaddr*>(&a), &length), 0);
  WSAPOLLFD entry{receiver, POLLRDNORM, 0};
  EXPECT_EQ(WSAPoll(&entry, 1, 20), 0);
  EXPECT_EQ(entry.revents, 0);
  SOCKET sender = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_EQ(sendto(sender, "x", 1, 0, reinterpret_cast<sockaddr*>(&a), sizeof a), 1);
  EXPECT_EQ(WSAPoll(&entry, 1, 1000), 1);
  EXPECT_TRUE(entry.revents & POLLRDNORM);
  entry.events = POLLWRNORM;
  EXPECT_EQ(WSAPoll(&entry, 1, 0), 1);
  EXPECT_EQ(entry.revents, POLLWRNORM);
  closesocket(sender);
  closesocket(receiver);
  // A closed descriptor is reported, not waited on.
  entry = WSAPOLLFD{receiver, POLLRDNORM, 0};
  EXPECT_EQ(WSAPoll(&entry, 1, 1000), 1);
  EXPECT_TRUE(entry.revents & POLLNVAL);
}

TEST(Net, NonBlockingConnectReportsItsOutcomeThroughSoError) {
  SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  int length = sizeof a;
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  SOCKET client = socket(AF_INET, SOCK_STREAM, 0);
  u_long on = 1;
  ASSERT_EQ(ioctlsocket(client, FIONBIO, &on), 0);
  int r = connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (r != 0) {
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  }
  WSAPOLLFD entry{client, POLLWRNORM, 0};
  ASSERT_EQ(WSAPoll(&entry, 1, 2000), 1);
  int error = -1, size = sizeof error;
  ASSERT_EQ(getsockopt(client, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size), 0);
  EXPECT_EQ(error, 0);
  closesocket(client);
  closesocket(listener);
  // Nobody listens now: the outcome is a refusal.
  client = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(ioctlsocket(client, FIONBIO, &on), 0);
  connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
  entry = WSAPOLLFD{client, POLLWRNORM, 0};
  ASSERT_EQ(WSAPoll(&entry, 1, 2000), 1);
  ASSERT_EQ(getsockopt(client, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size), 0);
  EXPECT_EQ(error, WSAECONNREFUSED);
  closesocket(client);
}

}  // namespace
