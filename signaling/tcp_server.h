#pragma once

// A listening port of an engine: an IPv4 acceptor on all local addresses, always with one
// accept pending. It lives as long as that accept is pending, that is until the engine's
// I/O service goes away; there is no way to stop listening on its own.

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <memory>
#include <string>

#include "signaling/tcp_connection.h"

namespace sigbus {

class tcp_server : public std::enable_shared_from_this<tcp_server> {
 public:
  // Opens, sets address reuse, binds and listens on the calling thread; a failure throws
  // boost::system::system_error naming the step ("open", "set_option", "bind", "listen").
  tcp_server(boost::asio::io_context& io, int port, std::string arg, post_function post);

  // Posts the first accept to the I/O thread.
  void start();
  int local_port() const { return local_port_; }

  // The accept completion: hands a connected socket to the worker as TRANS_ACCEPT, skips
  // one whose remote address cannot be read, and posts the next accept either way.
  void handle_accept(const std::shared_ptr<tcp_connection>& connection,
                     const boost::system::error_code& error);

 private:
  void post_accept();

  boost::asio::io_context& io_;
  boost::asio::ip::tcp::acceptor acceptor_;
  std::string arg_;
  post_function post_;
  int local_port_ = 0;
};

}  // namespace sigbus
