#include "signaling/tcp_server.h"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>

#include "signaling/log.h"

namespace sigbus {

using boost::asio::ip::tcp;

tcp_server::tcp_server(boost::asio::io_context& io, int port, std::string arg, post_function post)
    : io_(io), acceptor_(io), arg_(std::move(arg)), post_(std::move(post)) {
  tcp::endpoint endpoint(tcp::v4(), static_cast<unsigned short>(port));
  acceptor_.open(endpoint.protocol());
  acceptor_.set_option(tcp::acceptor::reuse_address(true));
  acceptor_.bind(endpoint);
  acceptor_.listen();
  local_port_ = acceptor_.local_endpoint().port();
}

void tcp_server::start() {
  boost::asio::post(io_, [self = shared_from_this()] { self->post_accept(); });
}

void tcp_server::post_accept() {
  auto connection = std::make_shared<tcp_connection>(io_, post_);
  SIGBUS_LOG(0, "post accept connection %d", connection->id());
  acceptor_.async_accept(connection->socket(), [self = shared_from_this(), connection](
                                                   const boost::system::error_code& error) {
    self->handle_accept(connection, error);
  });
}

void tcp_server::handle_accept(const std::shared_ptr<tcp_connection>& connection,
                               const boost::system::error_code& error) {
  // Shutting down: the acceptor is gone, there is nothing to accept any more.
  if (error == boost::asio::error::operation_aborted) return;
  if (!error) {
    boost::system::error_code endpoint_error;
    tcp::endpoint remote = connection->socket().remote_endpoint(endpoint_error);
    if (endpoint_error) {
      // The peer vanished between accept and now; skip it rather than stop accepting.
      SIGBUS_LOG(1, "accept connection %d remote_endpoint error %d", connection->id(),
                 endpoint_error.value());
    } else {
      connection->set_remote(remote.address().to_string(), remote.port());
      SIGBUS_LOG(1, "accept new connection %d, %s:%d", connection->id(),
                 connection->remote_ip().c_str(), connection->remote_port());
      auto msg = std::make_unique<trans_msg>(TRANS_ACCEPT);
      msg->id = connection->id();
      msg->connection = connection;
      msg->arg = arg_;
      post_(std::move(msg));
    }
  }
  post_accept();
}

}  // namespace sigbus
