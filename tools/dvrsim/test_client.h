#pragma once
// A small RTSP/RTP client for the simulator's tests, written from the wire format alone.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/net/net.h"
#include "tools/dvrsim/picture.h"

namespace dvrsim::test {

struct Reply {
  int code = -1;                               // -1: no reply (closed or timed out)
  std::map<std::string, std::string> headers;  // lower-case names
  std::string body;
  std::string Header(const std::string& name) const;
};

class RtspClient {
 public:
  ~RtspClient();
  bool Connect(int port);
  // Sends a request (adds CSeq) and reads its reply, waiting up to `timeoutMs`.
  Reply Request(const std::string& method, const std::string& url, const std::string& headers = "",
                int timeoutMs = 3000);
  bool SendRaw(const std::string& text);
  Reply ReadReply(int timeoutMs);
  // True when the server closed the connection within `timeoutMs`.
  bool WaitClosed(int timeoutMs);
  int cseq() const { return cseq_; }

 private:
  SOCKET s_ = INVALID_SOCKET;
  int cseq_ = 0;
  std::string pending_;
};

struct RtpPacket {
  uint8_t payloadType = 0;
  bool marker = false;
  uint16_t seq = 0;
  uint32_t timestamp = 0;
  uint32_t ssrc = 0;
  std::vector<uint8_t> payload;
};

// The packet in `datagram`, read with the stream client's header reader; empty when it
// refuses the header.
std::optional<RtpPacket> ReadRtpPacket(std::span<const uint8_t> datagram);

// A pair of client UDP sockets bound to loopback.
class UdpPair {
 public:
  UdpPair();
  ~UdpPair();
  int rtpPort = 0, rtcpPort = 0;
  // Collects RTP datagrams for `ms` milliseconds; RTCP datagrams go to `rtcp`.
  std::vector<RtpPacket> Receive(int ms);
  void SendRtp(int serverPort, const std::vector<uint8_t>& bytes);
  void SendRtcp(int serverPort, const std::vector<uint8_t>& bytes);
  std::vector<std::vector<uint8_t>> rtcp;

 private:
  SOCKET rtp_ = INVALID_SOCKET, rtcp_ = INVALID_SOCKET;
};

// A receiver report block for `ssrc`, as a viewer sends it.
std::vector<uint8_t> ReceiverReport(uint32_t ssrc, uint16_t highestSeq);

// Rebuilds an Annex B stream from packets in the order given; a unit whose fragments are
// not consecutive is dropped. `fragmented` counts NAL units that came as FU-A.
std::vector<uint8_t> Depacketize(const std::vector<RtpPacket>& packets, int* fragmented);

struct Seen {
  std::string channel;
  std::string counter;
  int relay = -1;  // the relay lamps' mask, -1 without lamps
};
// Decodes the stream and reads the two digit rows and the relay lamps of every picture.
std::vector<Seen> DecodeAndRead(const std::vector<uint8_t>& annexB, int width, int height);

// Decodes the stream into its pictures, each plane tightly packed.
std::vector<Picture> DecodePictures(const std::vector<uint8_t>& annexB, int width, int height);

// DESCRIBE, SETUP of the video track and PLAY of a live channel.
struct LiveSession {
  RtspClient rtsp;
  UdpPair video;
  std::string url;
  std::string session;  // the whole Session header value
  std::string sdp;
  int serverRtp = 0, serverRtcp = 0;
  // Empty when it worked, else what went wrong.
  std::string Open(int port, int channel);
};

}  // namespace dvrsim::test
