#pragma once

// An engine's worker: the second thread, which does all protocol work. It takes trans_msg
// records from its queue one by one, keeps the contexts of the engine's connections, frames
// and reassembles messages, runs keep-alive, and calls the application's event function.
//
// Threads: post may be called from any thread; everything else runs on the worker thread,
// except start and stop, which the engine calls from the opening and closing threads.

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>
#include <deque>
#include <memory>

#include "signaling/context.h"
#include "signaling/trans_msg.h"
#include "signaling/vq_io.h"
#include "signaling/wire_format.h"

namespace sigbus {

class worker {
 public:
  worker(boost::asio::io_context& io, vq_event_fn on_event, bool keep_alive);
  ~worker();

  void post(trans_ptr msg);
  void start();
  // Clears the running flag, wakes the thread and joins it. REQUIRES: not on the worker.
  void stop();
  // Destroys every context without events. REQUIRES: the thread is stopped.
  void release_contexts();
  bool on_worker_thread() const;

 private:
  void run();
  void handle(trans_msg& msg);
  int handle_accept(trans_msg& msg);
  int handle_connect(trans_msg& msg);
  int handle_connect_result(trans_msg& msg);
  int handle_recv_result(trans_msg& msg);
  int handle_send_result(trans_msg& msg);
  int handle_send(trans_msg& msg);
  int handle_close(trans_msg& msg);
  void handle_timer();

  void receive_bytes(int id, context& ctx, const trans_msg& msg);
  // True when the keep-alive filter took the message (KEEPALIVE or KEEPALIVE_ACK).
  bool keepalive_filter(int id, context& ctx, vq_msg& msg);
  void keepalive_check(int id, context& ctx);
  // Builds, stuffs and writes msg with the context's next sequence number; the stuffed
  // length, or -1 when the message cannot be framed.
  int write_message(context& ctx, const vq_msg& msg);
  void close_with_reason(int id, context& ctx, const char* reason);
  vq_msg* make_event(const char* name, int id, const context& ctx) const;
  void deliver(vq_msg* event);

  boost::asio::io_context& io_;
  vq_event_fn on_event_;
  bool keepalive_;
  connection_manager manager_;         // worker thread only
  std::unique_ptr<wire_frame> frame_;  // worker thread only: scratch for one frame
  boost::mutex queue_mutex_;
  boost::condition_variable queue_ready_;
  std::deque<trans_ptr> queue_;  // guarded by queue_mutex_
  std::atomic<bool> running_{true};
  boost::thread thread_;
};

}  // namespace sigbus
