#include "stream/rtp_sockets.h"

#include <cstring>

#include "platform/kernel/clock.h"
#include "platform/prompt/prompt.h"
#include "stream/report.h"
#include "stream/rtsp_session.h"

namespace {

sockaddr_in Address(uint32_t host, int port) {
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = host;
  address.sin_port = htons(static_cast<u_short>(port));
  return address;
}

void SendTo(SOCKET sock, const void* bytes, int length, uint32_t peer, int port) {
  sockaddr_in to = Address(peer, port);
  sendto(sock, static_cast<const char*>(bytes), length, 0, reinterpret_cast<sockaddr*>(&to),
         sizeof to);
}

void ReportRtpBindFailure(int port) {
#if STREAM_NPAPI_REPORTING
  Report("bind socket to port:%d error,init_rtp_recv!\n", port);
#else
  (void)port;
  MessageBoxA(nullptr, "RTP BIND ERROR", nullptr, MB_OK);
#endif
}

// One RTP/RTCP pair on ports the system chooses; the two ports are independent.
void OpenPair(SOCKET* rtp, SOCKET* rtcp, int* rtpPort, int* rtcpPort) {
  *rtp = BindUdp(0, rtpPort);
  if (*rtp == INVALID_SOCKET) ReportRtpBindFailure(0);
  *rtcp = BindUdp(0, rtcpPort);
  if (*rtcp == INVALID_SOCKET) Report("create rtp recv socket error!\n");
}

void Close(SOCKET* sock) {
  if (*sock == INVALID_SOCKET) return;
  closesocket(*sock);
  *sock = INVALID_SOCKET;
}

void Put32(uint8_t* at, uint32_t value) {
  uint32_t wire = htonl(value);
  std::memcpy(at, &wire, 4);
}

}  // namespace

SOCKET BindUdp(int port, int* bound) {
  SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (sock == INVALID_SOCKET) return INVALID_SOCKET;
  sockaddr_in address = Address(INADDR_ANY, port);
  int length = sizeof address;
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(sock);
    return INVALID_SOCKET;
  }
  if (bound) *bound = ntohs(address.sin_port);
  return sock;
}

void OpenClientPorts(MediaAttribute* attr, bool withAudio) {
  OpenPair(&attr->rtpSock, &attr->rtcpSock, &attr->rtpPort, &attr->rtcpPort);
  if (withAudio)
    OpenPair(&attr->rtpaudioSock, &attr->rtcpaudioSock, &attr->rtpaudioPort, &attr->rtcpaudioPort);
  Report("rtpProt:%d-%d\n", attr->rtpPort, attr->rtcpPort);
  Report("rtpSock:%d\n", attr->rtpSock);
}

void RebindRtpSocket(SOCKET* sock, int port) {
  Close(sock);
  Sleep(10);
  *sock = BindUdp(port, nullptr);
  if (*sock == INVALID_SOCKET) MessageBoxA(nullptr, "reset_rtp_sock ERROR", nullptr, MB_OK);
}

void CloseClientPorts(MediaAttribute* attr) {
  Close(&attr->rtpSock);
  Close(&attr->rtcpSock);
  Close(&attr->rtpaudioSock);
  Close(&attr->rtcpaudioSock);
}

void SendOpeningDatagrams(SOCKET sock, uint32_t peer, int port) {
  static constexpr uint8_t kOpening[4] = {0xCE, 0xFA, 0xED, 0xFE};
  for (int i = 0; i < 2; ++i) SendTo(sock, kOpening, sizeof kOpening, peer, port);
}

std::array<uint8_t, kReceiverReportBytes> BuildReceiverReport(uint32_t ssrc, uint16_t seq) {
  std::array<uint8_t, kReceiverReportBytes> packet{};
  packet[0] = 0x81;
  packet[1] = 201;
  packet[2] = 0;
  packet[3] = 7;
  Put32(&packet[4], ssrc);
  Put32(&packet[8], ssrc);
  Put32(&packet[16], seq);
  Put32(&packet[20], kReportedJitter);
  return packet;
}

void SendReceiverReport(SOCKET rtcp, uint32_t peer, int port, uint32_t ssrc, uint16_t seq) {
  if (rtcp == INVALID_SOCKET) return;
  auto packet = BuildReceiverReport(ssrc, seq);
  SendTo(rtcp, packet.data(), kReceiverReportBytes, peer, port);
}
