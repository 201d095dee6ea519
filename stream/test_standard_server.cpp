#include "stream/test_standard_server.h"

#include <algorithm>

#include "stream/interleaved.h"
#include "stream/md5.h"
#include "stream/rtsp_auth.h"

namespace {

constexpr char kToken[] = "4E2B9C71";
constexpr char kRefusalBody[] = "<html>refused</html>\n";
constexpr char kNonce[] = "8b1d2c3e4f";

// A parameter of an Authorization value, quoted or not.
std::string Parameter(const std::string& value, const std::string& key) {
  size_t at = value.find(" " + key + "=");
  if (at == std::string::npos) at = value.find("," + key + "=");
  if (at == std::string::npos) return "";
  at += key.size() + 2;
  if (value[at] == '"') return value.substr(at + 1, value.find('"', at + 1) - at - 1);
  return value.substr(at, value.find(',', at) - at);
}

}  // namespace

std::string StandardReply(int status, int cseq, const std::string& headers,
                          const std::string& body) {
  std::string text = "RTSP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Refused") +
                     "\r\nCSeq: " + std::to_string(cseq) + "\r\n" + headers;
  if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return text + "\r\n" + body;
}

std::string RequestMethod(const std::string& request) {
  return request.substr(0, request.find(' '));
}

std::string RequestTarget(const std::string& request) {
  size_t from = request.find(' ') + 1;
  return request.substr(from, request.find(' ', from) - from);
}

std::string RequestHeader(const std::string& request, const std::string& name) {
  size_t at = request.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "";
  at += name.size() + 4;
  return request.substr(at, request.find("\r\n", at) - at);
}

StandardServer::StandardServer(Settings settings)
    : settings_(std::move(settings)),
      server_([this](const std::string& r) { return Respond(r); }) {}

std::string StandardServer::Base() const {
  return settings_.contentBase.empty() ? Url() + "/" : server_.Url(settings_.contentBase);
}

std::string StandardServer::Respond(const std::string& received) {
  // Receiver reports of an interleaved session come on the connection ahead of a request.
  std::string request = received;
  while (request.size() >= kInterleavedHeaderBytes && request[0] == '$') {
    size_t length = static_cast<uint8_t>(request[2]) << 8 | static_cast<uint8_t>(request[3]);
    request.erase(0, std::min(request.size(), kInterleavedHeaderBytes + length));
  }
  const std::string method = RequestMethod(request);
  const int cseq = CSeqOf(request);
  const std::string session = RequestHeader(request, "Session");
  if (!Authorized(request)) {
    std::string challenge = "WWW-Authenticate: Basic realm=\"cam\"\r\n";
    if (settings_.authScheme == "Digest")
      challenge += "WWW-Authenticate: Digest realm=\"cam\", nonce=\"" + std::string(kNonce) +
                   "\", qop=\"auth,auth-int\", opaque=\"op1\"\r\n";
    return StandardReply(401, cseq, challenge, kRefusalBody);
  }
  if (method == "DESCRIBE") return Describe(cseq);
  if (method == "SETUP") {
    interleaved_ = RequestHeader(request, "Transport").find("/TCP;") != std::string::npos;
    if (interleaved_ ? !settings_.tcp : !settings_.udp)
      return StandardReply(461, cseq, "", kRefusalBody);
    return Setup(RequestTarget(request), session, cseq);
  }
  if (method == "PLAY" || method == "PAUSE")
    return Play(method, RequestTarget(request), session, cseq);
  // An interleaved session's frames are still on their way when the reply goes: more than a
  // reply header's room of them, then the usual mix.
  if (method == "GET_PARAMETER") return StandardReply(200, cseq, "");
  if (method == "TEARDOWN" && interleaved_) {
    std::string burst;
    for (int i = 0; i < 12; ++i) {
      std::vector<uint8_t> rtp(1400, 0x52);  // 'R', as a reply's start would be
      rtp[0] = 0x80;
      rtp[1] = 96;
      auto bytes = BuildInterleaved(0, rtp.data(), rtp.size());
      burst.append(bytes.begin(), bytes.end());
    }
    return burst + Frames() + StandardReply(200, cseq, "");
  }
  if (method == "TEARDOWN") return StandardReply(200, cseq, "");
  return StandardReply(501, cseq, "", kRefusalBody);
}

std::string StandardServer::Describe(int cseq) const {
  std::string prefix = settings_.absoluteControl ? Base() : "";
  std::string sdp =
      "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=file\r\nt=0 0\r\na=range:npt=0-12.5\r\n"
      "m=audio 0 RTP/AVP 14\r\na=rtpmap:14 MPA/90000/2\r\na=control:" +
      prefix +
      "trackID=0\r\n"
      "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\n"
      "a=fmtp:96 packetization-mode=1;profile-level-id=42001E\r\na=control:" +
      prefix + "trackID=1\r\n";
  std::string base = settings_.contentBase.empty()
                         ? ""
                         : "Content-Base: " + server_.Url(settings_.contentBase) + "\r\n";
  return StandardReply(200, cseq, base + "Content-Type: application/sdp\r\n", sdp);
}

std::string StandardServer::Setup(const std::string& target, const std::string& session,
                                  int cseq) const {
  if (settings_.strictSession && session.find(';') != std::string::npos)
    return StandardReply(454, cseq, "", kRefusalBody);
  const UdpEndpoint* rtp = nullptr;
  const UdpEndpoint* rtcp = nullptr;
  if (target == Base() + "trackID=0") {
    rtp = &audioRtp;
    rtcp = &audioRtcp;
  } else if (target == Base() + "trackID=1") {
    rtp = &videoRtp;
    rtcp = &videoRtcp;
  } else {
    return StandardReply(404, cseq, "", kRefusalBody);
  }
  std::string transport =
      interleaved_ ? "Transport: RTP/AVP/TCP;unicast;interleaved=" +
                         std::string(rtp == &videoRtp ? "0-1" : "2-3")
                   : "Transport: RTP/AVP;unicast;server_port=" + std::to_string(rtp->port) + "-" +
                         std::to_string(rtcp->port);
  return StandardReply(200, cseq,
                       transport + "\r\nSession: " + kToken +
                           ";timeout=" + std::to_string(settings_.sessionTimeout) + "\r\n");
}

std::string StandardServer::Play(const std::string& method, const std::string& target,
                                 const std::string& session, int cseq) const {
  if (settings_.strictSession && session.find(';') != std::string::npos)
    return StandardReply(454, cseq, "", kRefusalBody);
  if (session.substr(0, session.find(';')) != kToken)
    return StandardReply(454, cseq, "", kRefusalBody);
  if (target != Url() && (settings_.strictPlayUrl || target != Url() + "/"))
    return StandardReply(404, cseq, "", kRefusalBody);
  std::string reply = StandardReply(200, cseq,
                                    "Session: " + std::string(kToken) + ";timeout=" +
                                        std::to_string(settings_.sessionTimeout) + "\r\n");
  return interleaved_ && method == "PLAY" ? reply + Frames() : reply;
}

std::string StandardServer::Frames() const {
  auto frame = [](uint8_t channel, const std::vector<uint8_t>& payload) {
    auto bytes = BuildInterleaved(channel, payload.data(), payload.size());
    return std::string(bytes.begin(), bytes.end());
  };
  std::string frames;
  for (int i = 0; i < kInterleavedVideoFrames; ++i) {
    frames += frame(0, RtpDatagram(static_cast<uint16_t>(100 + i), 90000u + 3000u * i, 0x5EED));
    if (i == 1) frames += frame(1, std::vector<uint8_t>(28, 0x80));
    if (i == 2)
      frames +=
          "RTSP/1.0 200 OK\r\nCSeq: 99\r\nContent-Length: 4\r\n\r\n" + std::string("$\0\0\1", 4);
    if (i == 3) frames += std::string("\x01\x02\x03", 3);
  }
  return frames;
}

bool StandardServer::Authorized(const std::string& request) const {
  if (settings_.authScheme.empty()) return true;
  const std::string value = RequestHeader(request, "Authorization");
  if (settings_.authScheme == "Basic")
    return value == "Basic " + Base64(settings_.user + ":" + settings_.password);
  if (value.rfind("Digest ", 0) != 0 || Parameter(value, "username") != settings_.user ||
      Parameter(value, "nonce") != kNonce || Parameter(value, "opaque") != "op1" ||
      Parameter(value, "uri") != RequestTarget(request) || Parameter(value, "qop") != "auth")
    return false;
  std::string ha1 = Md5Hex(settings_.user + ":cam:" + settings_.password);
  std::string ha2 = Md5Hex(RequestMethod(request) + ":" + RequestTarget(request));
  return Parameter(value, "response") == Md5Hex(ha1 + ":" + kNonce + ":" + Parameter(value, "nc") +
                                                ":" + Parameter(value, "cnonce") + ":auth:" + ha2);
}
