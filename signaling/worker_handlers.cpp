// The worker's handling of each kind of trans_msg.

#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <mutex>
#include <string>

#include "signaling/frame_codec.h"
#include "signaling/log.h"
#include "signaling/worker.h"

namespace sigbus {
namespace {

std::mutex g_elapse_mutex;  // guards g_max_elapse
int g_max_elapse = 0;       // microseconds, process-wide

void note_callback_time(std::chrono::steady_clock::duration spent) {
  auto micros =
      static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(spent).count());
  if (micros <= 1000) return;
  int max;
  {
    std::lock_guard<std::mutex> lock(g_elapse_mutex);
    if (micros > g_max_elapse) g_max_elapse = micros;
    max = g_max_elapse;
  }
  SIGBUS_LOG(3, "callback elapse %d, max_elapse=%d", micros, max);
}

}  // namespace

vq_msg* worker::make_event(const char* name, int id, const context& ctx) const {
  vq_msg* event = new vq_msg;
  vq_msg_set_header_string(event, "event_name", name);
  vq_msg_set_header_string(event, "from", "transport");
  vq_msg_set_header_int(event, "connection", id);
  vq_msg_set_header_string(event, "user_arg", ctx.user_arg.c_str());
  return event;
}

void worker::deliver(vq_msg* event) { on_event_(event); }

int worker::handle_accept(trans_msg& msg) {
  auto ctx = std::make_unique<context>(msg.connection, keepalive_, false, msg.arg);
  context& added = *ctx;
  manager_.add(msg.id, std::move(ctx));
  added.state = kStateOpen;
  added.connection->start_read();
  vq_msg* event = make_event("accept", msg.id, added);
  vq_msg_set_header_string(event, "remote_ip", added.connection->remote_ip().c_str());
  vq_msg_set_header_int(event, "remote_port", added.connection->remote_port());
  deliver(event);
  return msg.id;
}

int worker::handle_connect(trans_msg& msg) {
  auto ctx = std::make_unique<context>(msg.connection, keepalive_, true, msg.arg);
  context& added = *ctx;
  manager_.add(msg.id, std::move(ctx));
  int result = 0;
  if (added.state != kStateNew) {
    result = -1;
  } else {
    boost::asio::ip::tcp::resolver resolver(io_);
    boost::system::error_code error;
    auto endpoints = resolver.resolve(msg.host, std::to_string(msg.port), error);
    if (!error && endpoints.empty()) error = boost::asio::error::host_not_found;
    if (!error) {
      added.connection->start_connect(*endpoints.begin());
      return msg.id;
    }
    // The context stays registered, in state 0, until vq_close is called for it.
    result = error.value();
  }
  vq_msg* event = make_event("connect", msg.id, added);
  vq_msg_set_header_int(event, "result", result);
  deliver(event);
  return msg.id;
}

int worker::handle_connect_result(trans_msg& msg) {
  context* ctx = manager_.find(msg.id);
  if (ctx == nullptr || ctx->state != kStateNew) return msg.id;
  if (msg.error != 0) {
    ctx->state = kStateClosed;
  } else {
    ctx->state = kStateOpen;
    ctx->connection->start_read();
  }
  vq_msg* event = make_event("connect", msg.id, *ctx);
  vq_msg_set_header_int(event, "result", msg.error);
  deliver(event);
  return msg.id;
}

int worker::handle_recv_result(trans_msg& msg) {
  context* ctx = manager_.find(msg.id);
  if (ctx == nullptr || ctx->state != kStateOpen) return msg.id;
  if (msg.error != 0) {
    std::string reason = "recv error " + std::to_string(msg.error);
    close_with_reason(msg.id, *ctx, reason.c_str());
    return msg.id;
  }
  ctx->connection->start_read();
  receive_bytes(msg.id, *ctx, msg);
  return msg.id;
}

void worker::receive_bytes(int id, context& ctx, const trans_msg& msg) {
  append_received(*ctx.assembler, reinterpret_cast<const std::uint8_t*>(msg.bytes.get()),
                  msg.count);
  while (extract_frame(*ctx.assembler, *frame_)) {
    std::unique_ptr<vq_msg> parsed = parse_frame(*frame_);
    if (!parsed || keepalive_filter(id, ctx, *parsed)) continue;
    SIGBUS_LOG(0, "recv frame %s", vq_msg_get_frame_type(parsed.get()));
    vq_msg* event = parsed.release();
    vq_msg_set_header_string(event, "event_name", "frame");
    vq_msg_set_header_string(event, "from", "transport");
    vq_msg_set_header_int(event, "connection", id);
    vq_msg_set_header_string(event, "user_arg", ctx.user_arg.c_str());
    vq_msg_set_header_string(event, "remote_ip", ctx.connection->remote_ip().c_str());
    vq_msg_set_header_int(event, "remote_port", ctx.connection->remote_port());
    deliver(event);
  }
}

int worker::handle_send_result(trans_msg& msg) {
  context* ctx = manager_.find(msg.id);
  if (ctx != nullptr && ctx->state == kStateOpen) close_with_reason(msg.id, *ctx, "send error");
  return msg.id;
}

int worker::handle_send(trans_msg& msg) {
  context* ctx = manager_.find(msg.id);
  if (ctx == nullptr) {
    SIGBUS_LOG(1, "send fail,no connection %d", msg.id);
  } else if (ctx->state == kStateOpen) {
    write_message(*ctx, *msg.msg);
  }
  msg.msg.reset();
  return msg.id;
}

int worker::handle_close(trans_msg& msg) {
  context* ctx = manager_.find(msg.id);
  if (ctx != nullptr && ctx->state != kStateClosed) {
    SIGBUS_LOG(1, "close context %d, %s", msg.id, "local close");
    ctx->state = kStateClosed;
    ctx->connection->close();
  }
  return msg.id;
}

int worker::write_message(context& ctx, const vq_msg& msg) {
  std::uint32_t sequence = ctx.assembler->sequence++;
  if (!build_frame(msg, sequence, *frame_) || !stuff_frame(*frame_)) return -1;
  ctx.connection->send(
      std::vector<std::uint8_t>(frame_->stuffed, frame_->stuffed + frame_->stuffed_length));
  return frame_->stuffed_length;
}

void worker::close_with_reason(int id, context& ctx, const char* reason) {
  if (ctx.state == kStateClosed) return;
  ctx.state = kStateClosed;
  ctx.connection->close();
  SIGBUS_LOG(1, "context %d close %s", id, reason);
  vq_msg* event = make_event("disconnect", id, ctx);
  vq_msg_set_header_string(event, "reason", reason);
  auto started = std::chrono::steady_clock::now();
  deliver(event);
  note_callback_time(std::chrono::steady_clock::now() - started);
}

}  // namespace sigbus
