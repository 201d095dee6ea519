#pragma once

// The records that the I/O thread and the exported calls queue for an engine's worker.

#include <cstddef>
#include <memory>
#include <string>

#include "signaling/msg_object.h"

namespace sigbus {

class tcp_connection;

enum trans_kind {
  TRANS_NONE = 0,
  TRANS_ACCEPT = 1,
  TRANS_RECV_RESULT = 2,
  TRANS_SEND_RESULT = 3,
  TRANS_CONNECT_RESULT = 4,
  TRANS_CLOSE_EVENT = 5,
  TRANS_CONNECT = 6,
  TRANS_SEND = 7,
  TRANS_CLOSE = 8,
  TRANS_RECV_FRAME = 9,
  TRANS_TIMER = 10,
};

// The kind's name as the log prints it; "none" for a negative kind.
const char* trans_kind_name(int kind);

struct msg_deleter {
  void operator()(vq_msg* msg) const { delete msg; }
};
using msg_ptr = std::unique_ptr<vq_msg, msg_deleter>;

struct trans_msg {
  explicit trans_msg(trans_kind k) : kind(k) {}

  trans_kind kind;
  int id = 0;                                  // connection id
  std::shared_ptr<tcp_connection> connection;  // TRANS_ACCEPT, TRANS_CONNECT
  std::string arg;                             // listen or connect argument
  std::string host;                            // TRANS_CONNECT
  int port = 0;                                // TRANS_CONNECT
  std::unique_ptr<char[]> bytes;               // TRANS_RECV_RESULT: data and a NUL
  std::size_t count = 0;                       // bytes received or written
  int error = 0;                               // system error value, 0 for none
  msg_ptr msg;                                 // TRANS_SEND
};

using trans_ptr = std::unique_ptr<trans_msg>;

}  // namespace sigbus
