#include "control/viewer_test_support.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/kernel/clock.h"
#include "platform/net/loopback.h"
#include "platform/ui/test_support.h"

namespace control_test {
namespace {

SOCKET UdpOn(int port) {
  SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in address = platform::net::LoopbackAddress(port);
  bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return sock;
}

bool Readable(SOCKET sock, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(sock, &set);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  return select(sock + 1, &set, nullptr, nullptr, &limit) > 0;
}

int CSeqOf(const std::string& request) {
  size_t at = request.find("CSeq:");
  return at == std::string::npos ? 0 : std::atoi(request.c_str() + at + 5);
}

// "/1.live" of "DESCRIBE rtsp://127.0.0.1:P/1.live RTSP/1.0".
std::string PathOf(const std::string& request) {
  size_t scheme = request.find("rtsp://");
  if (scheme == std::string::npos) return "";
  size_t slash = request.find('/', scheme + 7);
  size_t end = request.find_first_of(" /", slash + 1);
  return slash == std::string::npos ? "" : request.substr(slash, end - slash);
}

constexpr char kSdp[] =
    "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=live\r\nt=0 0\r\n"
    "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:trackID=0\r\n"
    "a=fmtp:96 packetization-mode=1;profile-level-id=42001E\r\n";

}  // namespace

int WindowChannel::Open(int width, int height, int, int, int) {
  opened_width = width;
  opened_height = height;
  return 1;
}

int WindowChannel::StartDecode() {
  ++starts;
  decoding = 1;
  m_bOptionBtn = 1;
  return 1;
}

void WindowChannel::ShowVideo(int show) {
  ShowWindow(GetSafeHwnd(), show ? SW_SHOW : SW_HIDE);
  m_bVisible = show;
}

bool TestLibrary::InitRender() {
  ++inits;
  return true;
}

std::string WindowChannel::GetCapturePath() const { return library->GetCapturePath(); }

std::string TestLibrary::GetCapturePath() const {
  return capture_paths.empty() ? std::string() : capture_paths.back();
}

std::unique_ptr<control::ControlChannel> TestLibrary::NewChannel() {
  auto channel = std::make_unique<WindowChannel>();
  channel->library = this;
  made.push_back(channel.get());
  return channel;
}

LoopbackDvr::LoopbackDvr() {
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = platform::net::LoopbackAddress(0);
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener_, 16);
  port_ = platform::net::BoundPort(listener_);
  mediaRtp_ = UdpOn(0);
  mediaPort_ = platform::net::BoundPort(mediaRtp_);
  mediaRtcp_ = UdpOn(mediaPort_ + 1);
  acceptor_ = std::thread([this] { Accept(); });
}

LoopbackDvr::~LoopbackDvr() {
  stop_ = true;
  acceptor_.join();
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    threads.swap(threads_);
  }
  for (auto& t : threads) t.join();
  closesocket(listener_);
  closesocket(mediaRtp_);
  closesocket(mediaRtcp_);
}

int LoopbackDvr::Plays(const std::string& path) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto it = plays_.find(path);
  return it == plays_.end() ? 0 : it->second;
}

int LoopbackDvr::Teardowns() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return teardowns_;
}

void LoopbackDvr::Accept() {
  while (!stop_) {
    if (!Readable(listener_, 50)) continue;
    SOCKET conn = accept(listener_, nullptr, nullptr);
    if (conn == INVALID_SOCKET) continue;
    std::lock_guard<std::mutex> hold(mutex_);
    threads_.emplace_back([this, conn] { Serve(conn); });
  }
}

void LoopbackDvr::Serve(SOCKET conn) {
  std::string pending;
  char buffer[2048];
  while (!stop_) {
    if (!Readable(conn, 50)) continue;
    int got = recv(conn, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    pending.append(buffer, got);
    size_t end;
    while ((end = pending.find("\r\n\r\n")) != std::string::npos) {
      std::string reply = Reply(pending.substr(0, end + 4));
      pending.erase(0, end + 4);
      send(conn, reply.data(), static_cast<int>(reply.size()), 0);
    }
  }
  closesocket(conn);
}

std::string LoopbackDvr::Reply(const std::string& request) {
  std::string head = "RTSP/1.0 200 OK\r\nCSeq: " + std::to_string(CSeqOf(request)) + "\r\n";
  const std::string session = "Session: 12345678;timeout=60\r\n";
  if (request.rfind("DESCRIBE", 0) == 0) {
    return head +
           "Content-Type: application/sdp\r\nContent-Length: " + std::to_string(std::strlen(kSdp)) +
           "\r\n\r\n" + kSdp;
  }
  std::lock_guard<std::mutex> hold(mutex_);
  if (request.rfind("SETUP", 0) == 0) {
    int rtp = 0, rtcp = 0;
    size_t at = request.find("client_port=");
    if (at != std::string::npos)
      std::sscanf(request.c_str() + at, "client_port=%d-%d", &rtp, &rtcp);
    return head + "Transport: RTP/AVP;unicast;client_port=" + std::to_string(rtp) + "-" +
           std::to_string(rtcp) + ";server_port=" + std::to_string(mediaPort_) + "-" +
           std::to_string(mediaPort_ + 1) + "\r\n" + session + "\r\n";
  }
  if (request.rfind("PLAY", 0) == 0) ++plays_[PathOf(request)];
  if (request.rfind("TEARDOWN", 0) == 0) ++teardowns_;
  return head + session + "\r\n";
}

std::string MakeTempDir() {
  std::random_device random;
  auto dir = std::filesystem::temp_directory_path() /
             ("control_test_" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(dir);
  return dir.string() + "/";
}

void PumpFor(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    platform::ui::test::Drain();
    Sleep(5);
  }
}

}  // namespace control_test
