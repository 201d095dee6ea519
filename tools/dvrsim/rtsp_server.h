#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/net.h"
#include "tools/dvrsim/media.h"
#include "tools/dvrsim/options.h"
#include "tools/dvrsim/recording_library.h"
#include "tools/dvrsim/session.h"

namespace dvrsim {

// What every connection of a server shares.
struct ServerContext {
  Options options;
  std::vector<ChannelLoop> loops;
  uint32_t bindAddress = 0;  // network order
  ServerStats stats;
  std::atomic<uint32_t> nextSession{0};
  std::atomic<bool> stopping{false};
  std::atomic<uint32_t> stoppedChannels{0};  // bit N-1 for channel N, set by the console
  // The recordings played back at "/S_A_C_B_D_SIZE_.avi"; null serves none.
  std::shared_ptr<RecordingLibrary> recordings;

  // The loop of a served channel; null for an unknown or a stopped one.
  const ChannelLoop* Loop(int channel) const;
  bool ChannelStopped(int channel) const;
  void Log(const std::string& line);
  // A fresh session id: eight hex digits, never repeated within the server's life.
  std::string NewSessionId();
};

// The RTSP listener: one thread accepts, one thread per connection answers it.
class RtspServer {
 public:
  RtspServer(Options options, std::vector<ChannelLoop> loops);
  ~RtspServer();
  RtspServer(const RtspServer&) = delete;
  RtspServer& operator=(const RtspServer&) = delete;

  // Listens on the configured address and port. Throws std::runtime_error on failure.
  void Start();
  void Stop();
  int port() const { return port_; }
  const ServerStats& stats() const { return context_.stats; }
  // A stopped channel is refused, and the connections holding its sessions are closed.
  void SetChannelStopped(int channel, bool stopped);

 private:
  struct Connection {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void AcceptLoop();
  void Accept();
  void Reap(bool all);

  ServerContext context_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread acceptor_;
  std::list<std::unique_ptr<Connection>> connections_;
};

inline constexpr size_t kMaxConnections = 64;

}  // namespace dvrsim
