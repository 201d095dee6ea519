#pragma once
// The DVR's command side: UDP datagrams of a 20-byte header (command, three words, payload
// length, all 32-bit little-endian) and the payload. Each command code has a handler that
// gives the reply's payload or nothing (no reply); codes without a handler get no reply.
// Built in: 54 (status: the information panel record) and 57 (relay: two outputs).
// Recording search, PTZ, export and picture settings (18, 26, 27, 46, 56) plug in with
// Handle(). The replies go through the fault switches, and every command received is logged.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/net.h"
#include "tools/dvrsim/command_options.h"
#include "tools/dvrsim/device_status.h"

namespace dvrsim {

inline constexpr int kCommandHeaderBytes = 20;
inline constexpr int kStatusCommand = 54;
inline constexpr int kRelayCommand = 57;
inline constexpr int kMaxCommandDatagram = 65536;

// A reply datagram: the header (code, 1, 1, 1, payload size) and the payload.
std::vector<uint8_t> BuildCommandReply(int32_t code, std::span<const uint8_t> payload);

// The faults of CommandFaults applied to one reply: the datagrams to send in its place.
class ReplyFaults {
 public:
  explicit ReplyFaults(unsigned seed) : rng_(seed) {}
  std::vector<std::vector<uint8_t>> Apply(std::vector<uint8_t> reply, const CommandFaults& f);

 private:
  bool Roll(double share) { return share > 0 && uniform_(rng_) < share; }
  void Truncate(std::vector<uint8_t>& reply);
  void Garble(std::vector<uint8_t>& reply);

  std::mt19937 rng_;
  std::uniform_real_distribution<double> uniform_{0.0, 1.0};
};

struct CommandStats {
  std::atomic<uint64_t> received{0};  // datagrams of at least a header
  std::atomic<uint64_t> refused{0};   // shorter than a header, or claiming more than they hold
  std::atomic<uint64_t> replies{0};   // datagrams sent, faults applied
};

class CommandServer {
 public:
  // The reply payload to a command's payload, or nullopt for no reply.
  using Handler = std::function<std::optional<std::vector<uint8_t>>(std::span<const uint8_t>)>;
  using Log = std::function<void(const std::string&)>;

  // `bind`: dotted IPv4 address; `port`: 0 picks a free one.
  CommandServer(std::string bind, int port, int channels, CommandFaults faults, unsigned seed,
                Log log);
  ~CommandServer();
  CommandServer(const CommandServer&) = delete;
  CommandServer& operator=(const CommandServer&) = delete;

  // Adds or replaces the handler of `code`, named `name` in the log. Before Start.
  void Handle(int32_t code, std::string name, Handler handler);

  // Binds and starts answering. Throws std::runtime_error when the port cannot be bound.
  void Start();
  void Stop();
  int port() const { return port_; }
  // The sender of the command being answered; for handlers, on the server's thread.
  const sockaddr_in& peer() const { return peer_; }

  void SetFaults(const CommandFaults& faults);
  CommandFaults faults() const;
  DeviceStatus& status() { return status_; }
  const CommandStats& stats() const { return stats_; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Pending {
    Clock::time_point due;
    std::vector<uint8_t> bytes;
    sockaddr_in to;
  };
  struct Entry {
    std::string name;
    Handler handler;
  };

  void Run();
  void Receive();
  void Answer(int32_t code, std::span<const uint8_t> payload, const sockaddr_in& from);
  void SendDue();
  int MillisecondsToNextDue() const;
  std::optional<std::vector<uint8_t>> Relay(std::span<const uint8_t> payload);

  std::string bind_;
  int port_;
  Log log_;
  DeviceStatus status_;
  std::map<int32_t, Entry> handlers_;
  mutable std::mutex faultsMutex_;
  CommandFaults faults_;         // guarded by faultsMutex_
  ReplyFaults faulter_;          // the server thread's
  std::deque<Pending> pending_;  // the server thread's, in due order (one delay for all)
  SOCKET sock_ = INVALID_SOCKET;
  sockaddr_in peer_{};
  std::thread thread_;
  std::atomic<bool> stop_{false};
  CommandStats stats_;
};

}  // namespace dvrsim
