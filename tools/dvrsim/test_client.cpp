#include "tools/dvrsim/test_client.h"

#include <algorithm>
#include <cctype>

#include "platform/h264dec/hi_h264dec_w.h"
#include "stream/rtp_header.h"
#include "tools/dvrsim/encoder.h"
#include "tools/dvrsim/net_util.h"
#include "tools/dvrsim/picture.h"
#include "tools/dvrsim/relay_lamps.h"

namespace dvrsim::test {
namespace {

uint32_t Loopback() { return inet_addr("127.0.0.1"); }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

Reply ParseReply(const std::string& head) {
  Reply r;
  if (head.compare(0, 9, "RTSP/1.0 ") != 0) return r;
  r.code = std::atoi(head.c_str() + 9);
  size_t pos = head.find("\r\n");
  while (pos != std::string::npos && pos + 2 < head.size()) {
    size_t next = head.find("\r\n", pos + 2);
    std::string line = head.substr(pos + 2, next - pos - 2);
    size_t colon = line.find(':');
    if (colon != std::string::npos) {
      size_t v = line.find_first_not_of(' ', colon + 1);
      r.headers[Lower(line.substr(0, colon))] = v == std::string::npos ? "" : line.substr(v);
    }
    pos = next;
  }
  return r;
}

}  // namespace

std::string Reply::Header(const std::string& name) const {
  auto it = headers.find(name);
  return it == headers.end() ? "" : it->second;
}

RtspClient::~RtspClient() {
  if (s_ != INVALID_SOCKET) closesocket(s_);
}

bool RtspClient::Connect(int port) {
  s_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = MakeAddress(Loopback(), port);
  return s_ != INVALID_SOCKET && connect(s_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool RtspClient::SendRaw(const std::string& text) { return SendAll(s_, text); }

Reply RtspClient::Request(const std::string& method, const std::string& url,
                          const std::string& headers, int timeoutMs) {
  std::string text = method + " " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(++cseq_) + "\r\n" +
                     headers + "\r\n";
  if (!SendRaw(text)) return Reply{};
  Reply r = ReadReply(timeoutMs);
  if (r.code >= 0 && r.Header("cseq") != std::to_string(cseq_)) r.code = -2;
  return r;
}

Reply RtspClient::ReadReply(int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto fill = [&] {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !WaitReadable(&s_, 1, static_cast<int>(left.count()))) return false;
    char chunk[4096];
    int n = recv(s_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    pending_.append(chunk, static_cast<size_t>(n));
    return true;
  };
  size_t end;
  while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!fill()) return Reply{};
  }
  Reply r = ParseReply(pending_.substr(0, end + 2));
  pending_.erase(0, end + 4);
  size_t length = static_cast<size_t>(std::atoi(r.Header("content-length").c_str()));
  while (pending_.size() < length) {
    if (!fill()) return Reply{};
  }
  r.body = pending_.substr(0, length);
  pending_.erase(0, length);
  return r;
}

bool RtspClient::WaitClosed(int timeoutMs) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < until) {
    if (!WaitReadable(&s_, 1, 50)) continue;
    char c[512];
    if (recv(s_, c, sizeof c, 0) <= 0) return true;
  }
  return false;
}

std::optional<RtpPacket> ReadRtpPacket(std::span<const uint8_t> datagram) {
  auto header = ParseRtpHeader(datagram);
  if (!header) return std::nullopt;
  RtpPacket p;
  p.marker = header->marker;
  p.payloadType = header->payloadType;
  p.seq = header->sequence;
  p.timestamp = header->timestamp;
  p.ssrc = header->ssrc;
  auto payload = header->Payload(datagram);
  p.payload.assign(payload.begin(), payload.end());
  return p;
}

UdpPair::UdpPair() {
  rtp_ = BindUdp(Loopback(), &rtpPort);
  rtcp_ = BindUdp(Loopback(), &rtcpPort);
}

UdpPair::~UdpPair() {
  if (rtp_ != INVALID_SOCKET) closesocket(rtp_);
  if (rtcp_ != INVALID_SOCKET) closesocket(rtcp_);
}

std::vector<RtpPacket> UdpPair::Receive(int ms) {
  std::vector<RtpPacket> out;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  SOCKET both[2] = {rtp_, rtcp_};
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    unsigned ready = WaitReadable(both, 2, static_cast<int>(left.count()));
    uint8_t b[2048];
    if (ready & 2) {
      int n = recv(rtcp_, reinterpret_cast<char*>(b), sizeof b, 0);
      if (n > 0) rtcp.emplace_back(b, b + n);
    }
    if (!(ready & 1)) continue;
    int n = recv(rtp_, reinterpret_cast<char*>(b), sizeof b, 0);
    if (n <= 0) continue;
    if (auto p = ReadRtpPacket({b, static_cast<size_t>(n)})) out.push_back(std::move(*p));
  }
  return out;
}

void UdpPair::SendRtp(int serverPort, const std::vector<uint8_t>& bytes) {
  sockaddr_in to = MakeAddress(Loopback(), serverPort);
  sendto(rtp_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
         reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void UdpPair::SendRtcp(int serverPort, const std::vector<uint8_t>& bytes) {
  sockaddr_in to = MakeAddress(Loopback(), serverPort);
  sendto(rtcp_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
         reinterpret_cast<sockaddr*>(&to), sizeof to);
}

std::vector<uint8_t> ReceiverReport(uint32_t ssrc, uint16_t highestSeq) {
  std::vector<uint8_t> d = {0x81, 201, 0, 7};
  auto put32 = [&](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) d.push_back(static_cast<uint8_t>(v >> s));
  };
  put32(ssrc);
  put32(ssrc);
  put32(0);
  put32(highestSeq);
  put32(1200);
  put32(0);
  put32(0);
  return d;
}

std::vector<uint8_t> Depacketize(const std::vector<RtpPacket>& packets, int* fragmented) {
  std::vector<uint8_t> out, unit;
  bool inUnit = false;
  uint16_t lastSeq = 0;
  const uint8_t kStart[4] = {0, 0, 0, 1};
  for (const RtpPacket& p : packets) {
    if (p.payload.empty()) continue;
    bool consecutive = static_cast<uint16_t>(lastSeq + 1) == p.seq;
    lastSeq = p.seq;
    uint8_t type = p.payload[0] & 0x1F;
    if (type != 28) {
      inUnit = false;
      out.insert(out.end(), kStart, kStart + 4);
      out.insert(out.end(), p.payload.begin(), p.payload.end());
      continue;
    }
    if (p.payload.size() < 2) continue;
    uint8_t fu = p.payload[1];
    if (fu & 0x80) {
      unit.assign(kStart, kStart + 4);
      unit.push_back(static_cast<uint8_t>((p.payload[0] & 0xE0) | (fu & 0x1F)));
      inUnit = true;
    } else if (!inUnit || !consecutive) {
      inUnit = false;
      continue;
    }
    unit.insert(unit.end(), p.payload.begin() + 2, p.payload.end());
    if (fu & 0x40) {
      out.insert(out.end(), unit.begin(), unit.end());
      if (fragmented) ++*fragmented;
      inUnit = false;
    }
  }
  return out;
}

std::vector<Seen> DecodeAndRead(const std::vector<uint8_t>& annexB, int width, int height) {
  std::vector<Seen> seen;
  H264_DEC_ATTR_S attr{0,
                       0,
                       static_cast<HI_U32>((width + 15) / 16),
                       static_cast<HI_U32>((height + 15) / 16),
                       3,
                       0,
                       nullptr,
                       0};
  HI_HDL decoder = Hi264DecCreate(&attr);
  if (!decoder) return seen;
  H264_DEC_FRAME_S picture{};
  auto collect = [&](HI_S32 r) {
    while (r == HI_H264DEC_OK) {
      const int stride = static_cast<int>(picture.uYStride);
      const int width = static_cast<int>(picture.uWidth);
      seen.push_back(Seen{ReadDigitRow(picture.pY, stride, width, 0),
                          ReadDigitRow(picture.pY, stride, width, 1),
                          ReadRelayLamps(picture.pY, stride, width)});
      r = Hi264DecFrame(decoder, nullptr, 0, 0, &picture, 0);
    }
  };
  // One NAL unit per call, as a viewer's channel feeds its decoder.
  for (auto nal : SplitAnnexB(annexB.data(), annexB.size())) {
    nal.insert(nal.begin(), {0, 0, 0, 1});
    collect(Hi264DecFrame(decoder, nal.data(), static_cast<HI_U32>(nal.size()), 0, &picture, 0));
  }
  collect(Hi264DecFrame(decoder, nullptr, 0, 0, &picture, HI_H264DEC_FLAG_END_OF_STREAM));
  Hi264DecDestroy(decoder);
  return seen;
}

std::vector<Picture> DecodePictures(const std::vector<uint8_t>& annexB, int width, int height) {
  std::vector<Picture> pictures;
  H264_DEC_ATTR_S attr{0,
                       0,
                       static_cast<HI_U32>((width + 15) / 16),
                       static_cast<HI_U32>((height + 15) / 16),
                       3,
                       0,
                       nullptr,
                       0};
  HI_HDL decoder = Hi264DecCreate(&attr);
  if (!decoder) return pictures;
  H264_DEC_FRAME_S out{};
  auto collect = [&](HI_S32 r) {
    for (; r == HI_H264DEC_OK; r = Hi264DecFrame(decoder, nullptr, 0, 0, &out, 0)) {
      Picture p;
      p.width = static_cast<int>(out.uWidth);
      p.height = static_cast<int>(out.uHeight);
      for (int y = 0; y < p.height; ++y)
        p.y.insert(p.y.end(), out.pY + y * out.uYStride, out.pY + y * out.uYStride + p.width);
      for (int y = 0; y < p.height / 2; ++y) {
        p.u.insert(p.u.end(), out.pU + y * out.uUVStride, out.pU + y * out.uUVStride + p.width / 2);
        p.v.insert(p.v.end(), out.pV + y * out.uUVStride, out.pV + y * out.uUVStride + p.width / 2);
      }
      pictures.push_back(std::move(p));
    }
  };
  for (auto nal : SplitAnnexB(annexB.data(), annexB.size())) {
    nal.insert(nal.begin(), {0, 0, 0, 1});
    collect(Hi264DecFrame(decoder, nal.data(), static_cast<HI_U32>(nal.size()), 0, &out, 0));
  }
  collect(Hi264DecFrame(decoder, nullptr, 0, 0, &out, HI_H264DEC_FLAG_END_OF_STREAM));
  Hi264DecDestroy(decoder);
  return pictures;
}

std::string LiveSession::Open(int port, int channel) {
  if (!rtsp.Connect(port)) return "no connection";
  url = "rtsp://127.0.0.1:" + std::to_string(port) + "/" + std::to_string(channel) + ".live";
  Reply d = rtsp.Request("DESCRIBE", url, "Accept: application/sdp\r\n");
  if (d.code != 200) return "DESCRIBE answered " + std::to_string(d.code);
  sdp = d.body;
  size_t at = sdp.find("a=control:trackID");
  if (at == std::string::npos) return "no video control in the SDP";
  std::string control = sdp.substr(at + 10, sdp.find("\r\n", at) - at - 10);
  Reply s = rtsp.Request("SETUP", url + "/" + control,
                         "Transport: RTP/AVP;unicast;client_port=" + std::to_string(video.rtpPort) +
                             "-" + std::to_string(video.rtcpPort) + "\r\n");
  if (s.code != 200) return "SETUP answered " + std::to_string(s.code);
  session = s.Header("session");
  std::string transport = s.Header("transport");
  size_t sp = transport.find("server_port=");
  if (sp == std::string::npos) return "no server_port";
  serverRtp = std::atoi(transport.c_str() + sp + 12);
  serverRtcp = std::atoi(transport.c_str() + transport.find('-', sp) + 1);
  Reply p = rtsp.Request("PLAY", url + "/", "Session: " + session + "\r\nRange: npt=0-\r\n");
  if (p.code != 200) return "PLAY answered " + std::to_string(p.code);
  return "";
}

}  // namespace dvrsim::test
