#include "signaling/tcp_connection.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <cstring>
#include <mutex>

#include "signaling/log.h"

namespace sigbus {
namespace {

std::mutex g_id_mutex;  // guards g_next_id
int g_next_id = 1;

int take_connection_id() {
  std::lock_guard<std::mutex> lock(g_id_mutex);
  return g_next_id++;
}

}  // namespace

tcp_connection::tcp_connection(boost::asio::io_context& io, post_function post)
    : io_(io), socket_(io), post_(std::move(post)), id_(take_connection_id()) {
  SIGBUS_LOG(0, "connection created %d", id_);
}

tcp_connection::~tcp_connection() { SIGBUS_LOG(0, "connection %d deleted", id_); }

void tcp_connection::set_remote(std::string ip, int port) {
  remote_ip_ = std::move(ip);
  remote_port_ = port;
}

void tcp_connection::start_read() {
  boost::asio::post(io_, [self = shared_from_this()] { self->do_read(); });
}

void tcp_connection::do_read() {
  SIGBUS_LOG(0, "connection %d post recv", id_);
  socket_.async_read_some(
      boost::asio::buffer(read_buffer_),
      [self = shared_from_this()](const boost::system::error_code& error, std::size_t count) {
        auto msg = std::make_unique<trans_msg>(TRANS_RECV_RESULT);
        msg->id = self->id_;
        if (error) {
          SIGBUS_LOG(1, "connection %d recv error %d", self->id_, error.value());
          msg->error = error.value();
        } else {
          SIGBUS_LOG(0, "connection %d recv %d bytes", self->id_, static_cast<int>(count));
          msg->bytes.reset(new char[count + 1]);
          std::memcpy(msg->bytes.get(), self->read_buffer_, count);
          msg->bytes[count] = '\0';
          msg->count = count;
        }
        self->post_(std::move(msg));
      });
}

void tcp_connection::send(std::vector<std::uint8_t> bytes) {
  boost::asio::post(io_, [self = shared_from_this(), bytes = std::move(bytes)]() mutable {
    SIGBUS_LOG(0, "connection %d post send %d bytes", self->id_, static_cast<int>(bytes.size()));
    self->outgoing_.push_back(std::move(bytes));
    if (self->writing_.empty()) self->do_write();
  });
}

// Every frame is written whole and in order: a frame cut short or interleaved with the
// next would corrupt the stream for the peer. Frames queued while a write is in progress
// go out together in the next one.
void tcp_connection::do_write() {
  writing_.swap(outgoing_);
  std::vector<boost::asio::const_buffer> buffers;
  buffers.reserve(writing_.size());
  for (const auto& frame : writing_) buffers.emplace_back(boost::asio::buffer(frame));
  boost::asio::async_write(
      socket_, buffers,
      [self = shared_from_this()](const boost::system::error_code& error, std::size_t written) {
        self->on_write(error, written);
      });
}

void tcp_connection::on_write(const boost::system::error_code& error, std::size_t written) {
  std::size_t asked = 0;
  for (const auto& frame : writing_) asked += frame.size();
  writing_.clear();
  if (error) {
    SIGBUS_LOG(1, "connection %d send error %d", id_, error.value());
    if (written < asked) {
      SIGBUS_LOG(3, "connection %d send less data %d<%d", id_, static_cast<int>(written),
                 static_cast<int>(asked));
    }
    outgoing_.clear();
    auto msg = std::make_unique<trans_msg>(TRANS_SEND_RESULT);
    msg->id = id_;
    msg->count = written;
    msg->error = error.value();
    post_(std::move(msg));
    return;
  }
  SIGBUS_LOG(0, "connection %d send bytes=%d", id_, static_cast<int>(written));
  if (!outgoing_.empty()) do_write();
}

void tcp_connection::start_connect(const boost::asio::ip::tcp::endpoint& endpoint) {
  boost::asio::post(io_, [self = shared_from_this(), endpoint] {
    self->socket_.async_connect(endpoint, [self](const boost::system::error_code& error) {
      SIGBUS_LOG(1, "connect %d %d", self->id_, error.value());
      auto msg = std::make_unique<trans_msg>(TRANS_CONNECT_RESULT);
      msg->id = self->id_;
      msg->error = error.value();
      self->post_(std::move(msg));
    });
  });
}

void tcp_connection::close() {
  boost::asio::post(io_, [self = shared_from_this()] {
    boost::system::error_code ignored;
    self->socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    self->socket_.close(ignored);
  });
}

}  // namespace sigbus
