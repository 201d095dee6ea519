#include "signaling/engine.h"

#include "signaling/clock.h"
#include "signaling/log.h"

namespace sigbus {
namespace {

constexpr int kKeepaliveIntervalSeconds = 10;

}  // namespace

engine::engine(int handle, vq_event_fn on_event)
    : handle_(handle),
      work_(boost::asio::make_work_guard(io_)),
      timer_(io_),
      worker_(std::make_unique<worker>(io_, on_event, keepalive_)) {
  worker* target = worker_.get();
  post_ = [target](trans_ptr msg) { target->post(std::move(msg)); };
  SIGBUS_LOG(1, "engine %d created, keepalive %s,ka_interval=%d", handle_,
             keepalive_ ? "enable" : "disable", kKeepaliveIntervalSeconds);
}

engine::~engine() {
  stop();
  SIGBUS_LOG(1, "engine %d deleted", handle_);
}

void engine::start() {
  SIGBUS_LOG(1, "engine %d start", handle_);
  arm_timer(engine_timer_periods().first);
  io_thread_ = boost::thread([this] { io_.run(); });
  worker_->start();
}

void engine::arm_timer(std::chrono::milliseconds after) {
  timer_.expires_after(after);
  timer_.async_wait([this](const boost::system::error_code& error) {
    if (error) return;
    post(std::make_unique<trans_msg>(TRANS_TIMER));
    arm_timer(engine_timer_periods().rearm);
    SIGBUS_LOG(0, "engine %d timer", handle_);
  });
}

void engine::stop() {
  if (stopped_) return;
  stopped_ = true;
  SIGBUS_LOG(1, "engine %d stop", handle_);
  worker_->stop();
  worker_->release_contexts();
  io_.stop();
  if (io_thread_.joinable()) io_thread_.join();
  // The worker itself stays until destruction: a call racing with the close may still
  // queue into it, and its queue is freed with it.
  std::lock_guard<std::mutex> lock(servers_mutex_);
  servers_.clear();
}

void engine::post(trans_ptr msg) { post_(std::move(msg)); }

void engine::listen(int port, const std::string& arg) {
  auto server = std::make_shared<tcp_server>(io_, port, arg, post_);
  SIGBUS_LOG(1, "tcp server created port=%d,arg=%s", port, arg.c_str());
  server->start();
  std::lock_guard<std::mutex> lock(servers_mutex_);
  servers_.push_back(std::move(server));
}

int engine::last_listen_port() const {
  std::lock_guard<std::mutex> lock(servers_mutex_);
  return servers_.empty() ? 0 : servers_.back()->local_port();
}

int engine::connect(const std::string& host, int port, const std::string& arg) {
  auto connection = std::make_shared<tcp_connection>(io_, post_);
  auto msg = std::make_unique<trans_msg>(TRANS_CONNECT);
  msg->id = connection->id();
  msg->connection = std::move(connection);
  msg->host = host;
  msg->port = port;
  msg->arg = arg;
  int id = msg->id;
  post(std::move(msg));
  return id;
}

void engine::send(int connection, vq_msg* message) {
  auto msg = std::make_unique<trans_msg>(TRANS_SEND);
  msg->id = connection;
  msg->msg.reset(message);
  post(std::move(msg));
}

void engine::close(int connection) {
  auto msg = std::make_unique<trans_msg>(TRANS_CLOSE);
  msg->id = connection;
  post(std::move(msg));
}

}  // namespace sigbus
