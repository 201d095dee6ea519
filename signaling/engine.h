#pragma once

// One engine per vq_io_open: an I/O service run by its own thread, a timer, the listening
// ports, and the worker that does the protocol work.
//
// Threads: the constructor, start and stop run on the application's threads (stop must not
// run on this engine's worker); listen, connect, send and close may be called from any
// thread and only queue work, except listen, which sets up its socket on the caller's
// thread.

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/thread/thread.hpp>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "signaling/tcp_server.h"
#include "signaling/vq_io.h"
#include "signaling/worker.h"

namespace sigbus {

class engine {
 public:
  engine(int handle, vq_event_fn on_event);
  ~engine();
  engine(const engine&) = delete;
  engine& operator=(const engine&) = delete;

  void start();
  // Stops the worker, destroys the contexts without events, stops the I/O thread.
  void stop();
  bool on_worker_thread() const { return worker_ && worker_->on_worker_thread(); }

  // Throws boost::system::system_error when the socket cannot be set up.
  void listen(int port, const std::string& arg);
  // The port of the most recent listen (useful after listening on port 0).
  int last_listen_port() const;
  int connect(const std::string& host, int port, const std::string& arg);
  void send(int connection, vq_msg* msg);
  void close(int connection);

 private:
  void arm_timer(std::chrono::milliseconds after);
  void post(trans_ptr msg);

  int handle_;
  bool keepalive_ = true;
  boost::asio::io_context io_;
  boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
  boost::asio::steady_timer timer_;
  std::unique_ptr<worker> worker_;
  post_function post_;
  mutable std::mutex servers_mutex_;
  std::vector<std::shared_ptr<tcp_server>> servers_;  // guarded by servers_mutex_
  boost::thread io_thread_;
  bool stopped_ = false;
};

}  // namespace sigbus
