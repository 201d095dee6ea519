#include "signaling/trans_msg.h"

namespace sigbus {

const char* trans_kind_name(int kind) {
  static const char* const kNames[] = {
      "TRANS_NONE",           "TRANS_ACCEPT",      "TRANS_RECV_RESULT", "TRANS_SEND_RESULT",
      "TRANS_CONNECT_RESULT", "TRANS_CLOSE_EVENT", "TRANS_CONNECT",     "TRANS_SEND",
      "TRANS_CLOSE",          "TRANS_RECV_FRAME",  "TRANS_TIMER"};
  if (kind < 0 || kind > TRANS_TIMER) return "none";
  return kNames[kind];
}

}  // namespace sigbus
