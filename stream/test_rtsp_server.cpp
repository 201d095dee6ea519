#include "stream/test_rtsp_server.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/net/loopback.h"

namespace {

bool Readable(SOCKET sock, int ms) {
  WSAPOLLFD entry{sock, POLLRDNORM, 0};
  return WSAPoll(&entry, 1, ms) > 0;
}

std::string Reply(int status, int cseq, const std::string& headers, const std::string& body = "") {
  std::string text = "RTSP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Error") +
                     "\r\nCSeq: " + std::to_string(cseq) + "\r\n" + headers + "\r\n";
  return text + body;
}

}  // namespace

ScriptedRtspServer::ScriptedRtspServer(Responder responder) : responder_(std::move(responder)) {
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = platform::net::LoopbackAddress(0);
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener_, 4);
  port_ = platform::net::BoundPort(listener_);
  thread_ = std::thread([this] { Serve(); });
}

ScriptedRtspServer::~ScriptedRtspServer() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stop_ = true;
  }
  thread_.join();
  closesocket(listener_);
}

std::string ScriptedRtspServer::Url(const std::string& path) const {
  return "rtsp://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

std::vector<std::string> ScriptedRtspServer::Requests() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_;
}

bool ScriptedRtspServer::WaitRequests(size_t count, int ms) const {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (Requests().size() >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Requests().size() >= count;
}

void ScriptedRtspServer::CloseConnection() {
  std::lock_guard<std::mutex> hold(mutex_);
  closeNow_ = true;
}

void ScriptedRtspServer::Serve() {
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (stop_) return;
    }
    if (!Readable(listener_, 50)) continue;
    SOCKET conn = accept(listener_, nullptr, nullptr);
    if (conn == INVALID_SOCKET) continue;
    ServeConnection(conn);
    closesocket(conn);
  }
}

void ScriptedRtspServer::ServeConnection(SOCKET conn) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    closeNow_ = false;
  }
  std::string request;
  while (ReadRequest(conn, &request)) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      requests_.push_back(request);
    }
    std::string reply = responder_(request);
    if (reply.empty()) return;
    send(conn, reply.data(), static_cast<int>(reply.size()), 0);
  }
}

// False when the connection ends, the server stops or the test closes it.
bool ScriptedRtspServer::ReadRequest(SOCKET conn, std::string* request) {
  request->clear();
  while (request->size() < 4 || request->compare(request->size() - 4, 4, "\r\n\r\n") != 0) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (stop_ || closeNow_) return false;
    }
    if (!Readable(conn, 50)) continue;
    char byte;
    if (recv(conn, &byte, 1, 0) != 1) return false;
    *request += byte;
  }
  return true;
}

UdpEndpoint::UdpEndpoint() {
  sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in address = platform::net::LoopbackAddress(0);
  bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
  port = platform::net::BoundPort(sock);
}

UdpEndpoint::~UdpEndpoint() { closesocket(sock); }

std::optional<Datagram> UdpEndpoint::Receive(int ms) const {
  if (!Readable(sock, ms)) return std::nullopt;
  Datagram datagram;
  datagram.bytes.resize(65536);
  sockaddr_in from;
  int length = sizeof from;
  int got = recvfrom(sock, reinterpret_cast<char*>(datagram.bytes.data()), 65536, 0,
                     reinterpret_cast<sockaddr*>(&from), &length);
  if (got < 0) return std::nullopt;
  datagram.bytes.resize(got);
  datagram.fromPort = ntohs(from.sin_port);
  return datagram;
}

void UdpEndpoint::SendTo(int to, const std::vector<uint8_t>& bytes) const {
  sockaddr_in address = platform::net::LoopbackAddress(to);
  sendto(sock, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
         reinterpret_cast<sockaddr*>(&address), sizeof address);
}

std::vector<uint8_t> RtpDatagram(uint16_t seq, uint32_t ts, uint32_t ssrc, int payload) {
  std::vector<uint8_t> bytes(12 + payload, 0x65);
  bytes[0] = 0x80;
  bytes[1] = 96;
  bytes[2] = static_cast<uint8_t>(seq >> 8);
  bytes[3] = static_cast<uint8_t>(seq);
  for (int i = 0; i < 4; ++i) {
    bytes[4 + i] = static_cast<uint8_t>(ts >> (24 - 8 * i));
    bytes[8 + i] = static_cast<uint8_t>(ssrc >> (24 - 8 * i));
  }
  return bytes;
}

int CSeqOf(const std::string& request) {
  size_t at = request.find("CSeq: ");
  return at == std::string::npos ? 0 : std::atoi(request.c_str() + at + 6);
}

ScriptedDvr::ScriptedDvr(Settings settings)
    : settings_(std::move(settings)),
      server_([this](const std::string& r) { return Respond(r); }) {}

std::string ScriptedDvr::Sdp() const {
  std::string sdp =
      "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=live\r\nt=0 0\r\n"
      "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:trackID=0\r\n"
      "a=fmtp:96 packetization-mode=1;profile-level-id=42001E\r\n";
  if (settings_.withAudio)
    sdp += "m=audio 0 RTP/AVP 97\r\na=rtpmap:97 L16/8000/1\r\na=control:trackID=1\r\n";
  sdp += std::string(settings_.describeBodyPad, 'x');
  return sdp;
}

std::pair<int, int> ScriptedDvr::ClientPorts(size_t setup) const {
  std::lock_guard<std::mutex> hold(mutex_);
  return setup < clientPorts_.size() ? clientPorts_[setup] : std::pair<int, int>{0, 0};
}

std::string ScriptedDvr::Respond(const std::string& request) {
  int cseq = CSeqOf(request);
  std::string session = "Session: " + settings_.sessionToken + "\r\n";
  if (request.rfind("DESCRIBE", 0) == 0) {
    std::string body = Sdp();
    std::string length =
        settings_.contentLength ? "Content-Length: " + std::to_string(body.size()) + "\r\n" : "";
    return Reply(200, cseq, "Content-Type: application/sdp\r\n" + length, body);
  }
  if (request.rfind("SETUP", 0) == 0) {
    int rtp = 0, rtcp = 0;
    size_t at = request.find("client_port=");
    if (at != std::string::npos)
      std::sscanf(request.c_str() + at, "client_port=%d-%d", &rtp, &rtcp);
    bool audio = request.find("trackID=1") != std::string::npos;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      clientPorts_.emplace_back(rtp, rtcp);
    }
    const UdpEndpoint& srtp = audio ? audioRtp : videoRtp;
    const UdpEndpoint& srtcp = audio ? audioRtcp : videoRtcp;
    std::string transport = "Transport: RTP/AVP;unicast;client_port=" + std::to_string(rtp) + "-" +
                            std::to_string(rtcp) + ";server_port=" + std::to_string(srtp.port) +
                            "-" + std::to_string(srtcp.port) + "\r\n";
    return Reply(200, cseq, transport + session);
  }
  if (request.rfind("PLAY", 0) == 0) {
    std::string reply = Reply(200, cseq, session);
    if (settings_.closeAfterPlay) server_.CloseConnection();
    return reply;
  }
  if (request.rfind("PAUSE", 0) == 0) return Reply(settings_.pauseStatus, cseq, session);
  return Reply(200, cseq, session);
}
