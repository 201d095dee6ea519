#include "tools/dvrsim/rtsp_server.h"

#include <cstdio>
#include <iostream>
#include <stdexcept>

#include "tools/dvrsim/log_line.h"
#include "tools/dvrsim/net_util.h"
#include "tools/dvrsim/rtsp_connection.h"

namespace dvrsim {

const ChannelLoop* ServerContext::Loop(int channel) const {
  if (channel < 1 || channel > static_cast<int>(loops.size()) || ChannelStopped(channel)) {
    return nullptr;
  }
  return &loops[channel - 1];
}

bool ServerContext::ChannelStopped(int channel) const {
  return channel >= 1 && channel <= 32 && (stoppedChannels >> (channel - 1) & 1u) != 0;
}

void ServerContext::Log(const std::string& line) { LogLine(line); }

std::string ServerContext::NewSessionId() {
  // Multiplying by an odd number permutes 32-bit values, so ids never repeat.
  uint32_t n = ++nextSession;
  uint32_t mixed = n * 0x9E3779B1u + options.seed * 0x85EBCA6Bu;
  char text[12];
  std::snprintf(text, sizeof text, "%08X", mixed);
  return text;
}

RtspServer::RtspServer(Options options, std::vector<ChannelLoop> loops) {
  context_.options = std::move(options);
  context_.loops = std::move(loops);
  const Options& o = context_.options;
  context_.recordings =
      std::make_shared<RecordingLibrary>(o.records, o.channels, o.width, o.height);
}

RtspServer::~RtspServer() { Stop(); }

void RtspServer::Start() {
  uint32_t address = inet_addr(context_.options.bind.c_str());
  if (address == INADDR_NONE && context_.options.bind != "255.255.255.255") {
    throw std::runtime_error("--bind needs a dotted IPv4 address, got \"" + context_.options.bind +
                             "\"");
  }
  context_.bindAddress = address;
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) throw std::runtime_error("cannot create the RTSP socket");
  int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in a = MakeAddress(address, context_.options.port);
  int length = sizeof a;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      listen(listener_, 16) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    int error = WSAGetLastError();
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
    std::string why = error == WSAEACCES       ? " (permission denied: ports below 1024 need "
                                                 "privileges; try --port)"
                      : error == WSAEADDRINUSE ? " (address in use)"
                                               : "";
    throw std::runtime_error("cannot listen on " + context_.options.bind + ":" +
                             std::to_string(context_.options.port) + why);
  }
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread(&RtspServer::AcceptLoop, this);
}

void RtspServer::SetChannelStopped(int channel, bool stopped) {
  if (channel < 1 || channel > 32) return;
  uint32_t bit = 1u << (channel - 1);
  if (stopped) {
    context_.stoppedChannels |= bit;
  } else {
    context_.stoppedChannels &= ~bit;
  }
}

void RtspServer::Stop() {
  context_.stopping = true;
  if (acceptor_.joinable()) acceptor_.join();
  Reap(true);
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  listener_ = INVALID_SOCKET;
}

void RtspServer::AcceptLoop() {
  while (!context_.stopping) {
    Reap(false);
    if (WaitReadable(&listener_, 1, 100)) Accept();
  }
}

void RtspServer::Accept() {
  sockaddr_in peer{};
  int length = sizeof peer;
  SOCKET s = accept(listener_, reinterpret_cast<sockaddr*>(&peer), &length);
  if (s == INVALID_SOCKET) return;
  std::string who = AddressText(peer.sin_addr.s_addr) + ":" + std::to_string(ntohs(peer.sin_port));
  if (context_.options.refuse) {
    context_.Log("refusing " + who);
    closesocket(s);
    return;
  }
  if (connections_.size() >= kMaxConnections) {
    context_.Log("too many connections, closing " + who);
    closesocket(s);
    return;
  }
  auto c = std::make_unique<Connection>();
  Connection* raw = c.get();
  uint32_t address = peer.sin_addr.s_addr;
  int port = ntohs(peer.sin_port);
  raw->thread = std::thread([this, raw, s, address, port] {
    RtspConnection(s, address, port, context_).Run();
    raw->done = true;
  });
  connections_.push_back(std::move(c));
}

void RtspServer::Reap(bool all) {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (all || (*it)->done) {
      (*it)->thread.join();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace dvrsim
