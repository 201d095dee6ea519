#pragma once

// One TCP connection of an engine, accepted or made by vq_connect. Shared: the worker's
// context and every pending asynchronous operation hold it, so it lives until both let go.
//
// Threads: the public operations may be called from any thread; each one is posted to the
// engine's I/O thread, which alone touches the socket. Completion handlers only copy what
// they have into a trans_msg and hand it to the post function.

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "signaling/trans_msg.h"

namespace sigbus {

using post_function = std::function<void(trans_ptr)>;

class tcp_connection : public std::enable_shared_from_this<tcp_connection> {
 public:
  static constexpr std::size_t kReadSize = 2048;

  // Takes the next process-wide connection id.
  tcp_connection(boost::asio::io_context& io, post_function post);
  ~tcp_connection();
  tcp_connection(const tcp_connection&) = delete;
  tcp_connection& operator=(const tcp_connection&) = delete;

  int id() const { return id_; }
  boost::asio::ip::tcp::socket& socket() { return socket_; }
  // Filled for accepted connections only (before the accept is handed to the worker).
  const std::string& remote_ip() const { return remote_ip_; }
  int remote_port() const { return remote_port_; }
  void set_remote(std::string ip, int port);

  // Posts one read of at most kReadSize bytes; its result is queued as TRANS_RECV_RESULT.
  void start_read();
  // Writes one stuffed frame after those already given; a failure queues TRANS_SEND_RESULT.
  void send(std::vector<std::uint8_t> bytes);
  // Connects to endpoint; the outcome is queued as TRANS_CONNECT_RESULT.
  void start_connect(const boost::asio::ip::tcp::endpoint& endpoint);
  // Closes the socket; pending operations end with operation_aborted.
  void close();

 private:
  void do_read();
  void do_write();
  void on_write(const boost::system::error_code& error, std::size_t written);

  boost::asio::io_context& io_;
  boost::asio::ip::tcp::socket socket_;
  post_function post_;
  int id_;
  std::string remote_ip_;
  int remote_port_ = 0;
  char read_buffer_[kReadSize];
  // I/O thread only: the frames of the one write in progress, and those queued behind it.
  std::vector<std::vector<std::uint8_t>> writing_;
  std::vector<std::vector<std::uint8_t>> outgoing_;
};

}  // namespace sigbus
