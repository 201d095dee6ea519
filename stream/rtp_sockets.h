#pragma once
// The UDP side of a session: client ports, the opening datagrams that open the path from the
// DVR, the rebind of a failing socket and the RTCP receiver reports.
//
// Receiver report (RTCP RR, 32 bytes, 32-bit fields in network order):
//   0  0x81  version 2, one report block     16  highest sequence number (16 bits, upper 0)
//   1  201   receiver report                 20  interarrival jitter: 1200
//   2  7     length in words minus one       24  last SR: 0
//   4  SSRC of the reporter (the stream's)   28  delay since last SR: 0
//   8  SSRC of the reported source (same)
//  12  fraction and cumulative lost: 0

#include <array>
#include <cstdint>

#include "platform/net/net.h"

struct MediaAttribute;

constexpr int kReceiverReportBytes = 32;
constexpr uint32_t kReportedJitter = 1200;
constexpr int kVideoReceiveBufferBytes = 65536;

// A UDP socket bound to any address and `port` (0: the system chooses); *bound receives the
// port. INVALID_SOCKET when the socket cannot be created or bound.
SOCKET BindUdp(int port, int* bound);

// Binds the video RTP and RTCP sockets and, with `withAudio`, the audio pair, recording the
// sockets and their ports in `attr`. A failed RTP bind is shown to the user.
void OpenClientPorts(MediaAttribute* attr, bool withAudio);

// Replaces `*sock` with a new socket bound to `port` after a run of failed receives.
void RebindRtpSocket(SOCKET* sock, int port);

// Closes the four UDP sockets of `attr` that are open.
void CloseClientPorts(MediaAttribute* attr);

// Two 4-byte datagrams CE FA ED FE from `sock` to peer:port (peer in network order).
void SendOpeningDatagrams(SOCKET sock, uint32_t peer, int port);

std::array<uint8_t, kReceiverReportBytes> BuildReceiverReport(uint32_t ssrc, uint16_t seq);
void SendReceiverReport(SOCKET rtcp, uint32_t peer, int port, uint32_t ssrc, uint16_t seq);
