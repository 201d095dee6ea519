// Keep-alive: the filter that answers and swallows KEEPALIVE and KEEPALIVE_ACK, and the
// check that each timer tick runs on every open context.

#include "signaling/clock.h"
#include "signaling/log.h"
#include "signaling/proto_table.h"
#include "signaling/worker.h"

namespace sigbus {
namespace {

constexpr int kKeepaliveInterval = 10;  // seconds between a client's KEEPALIVE messages
constexpr int kKeepaliveTimeout = 35;   // seconds without keep-alive before the cut-off

}  // namespace

bool worker::keepalive_filter(int id, context& ctx, vq_msg& msg) {
  std::string type = vq_msg_get_frame_type(&msg);
  if (type == "KEEPALIVE_ACK") {
    ctx.recv_time = now_seconds();
    return true;
  }
  if (type != "KEEPALIVE") return false;
  vq_msg reply;
  reply.frame[kKeyType] = "KEEPALIVE_ACK";
  reply.frame[kKeyDir] = reverse_direction(vq_msg_get_frame_dir(&msg));
  write_message(ctx, reply);
  std::int64_t now = now_seconds();
  SIGBUS_LOG(0, "conenction %d send ka_ack recv_ts=%d,diff=%d", id, static_cast<int>(ctx.recv_time),
             static_cast<int>(now - ctx.recv_time));
  ctx.recv_time = now;
  return true;
}

void worker::keepalive_check(int id, context& ctx) {
  if (!ctx.keepalive || ctx.state != kStateOpen) return;
  std::int64_t now = now_seconds();
  if (ctx.client_role) {
    if (ctx.send_time == 0) {
      ctx.send_time = now;
    } else if (now >= ctx.send_time + kKeepaliveInterval) {
      // The same direction whatever the peers are; the pair has no protocol number.
      vq_msg keepalive;
      keepalive.frame[kKeyType] = "KEEPALIVE";
      keepalive.frame[kKeyDir] = "CONTROL_TO_TERMINAL";
      int bytes = write_message(ctx, keepalive);
      SIGBUS_LOG(0, "connection %d send ka bytes=%d", id, bytes);
      ctx.send_time = now;
    }
    SIGBUS_LOG(0, "connection %d ka client send_ts=%d, diff=%d", id,
               static_cast<int>(ctx.send_time), static_cast<int>(now - ctx.send_time));
  }
  if (ctx.recv_time == 0) ctx.recv_time = now;
  if (now > ctx.recv_time + kKeepaliveTimeout) {
    SIGBUS_LOG(1, "connection %d keepalive timeout. recv_ts=%d,now-recv_ts=%d", id,
               static_cast<int>(ctx.recv_time), static_cast<int>(now - ctx.recv_time));
    close_with_reason(id, ctx, "keepalive timeout");
  }
}

void worker::handle_timer() {
  for (int id : manager_.ids()) {
    context* ctx = manager_.find(id);
    if (ctx == nullptr) continue;
    keepalive_check(id, *ctx);
    if (ctx->state == kStateClosed) manager_.remove(id);
  }
}

}  // namespace sigbus
