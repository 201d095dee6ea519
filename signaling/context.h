#pragma once

// What the worker knows about one connection.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "signaling/tcp_connection.h"
#include "signaling/wire_format.h"

namespace sigbus {

enum context_state { kStateNew = 0, kStateOpen = 1, kStateClosed = 2 };

struct context {
  context(std::shared_ptr<tcp_connection> conn, bool keep_alive, bool client, std::string arg);

  bool keepalive;
  bool client_role;  // made by vq_connect
  int state = kStateNew;
  std::shared_ptr<tcp_connection> connection;
  std::string user_arg;
  std::unique_ptr<frame_assembler> assembler;
  std::int64_t send_time = 0;  // seconds; when this side last sent KEEPALIVE
  std::int64_t recv_time = 0;  // seconds; when KEEPALIVE or KEEPALIVE_ACK last arrived
};

// The worker's contexts by connection id. Worker thread only.
class connection_manager {
 public:
  ~connection_manager();
  void add(int id, std::unique_ptr<context> ctx);
  context* find(int id);
  void remove(int id);
  std::vector<int> ids() const;
  // Destroys every context without events.
  void release();

 private:
  std::map<int, std::unique_ptr<context>> contexts_;
};

}  // namespace sigbus
