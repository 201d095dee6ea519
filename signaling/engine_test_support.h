#pragma once

// Shared pieces of the transport tests: event collectors, a captured log, raw loopback peers
// and a fixture that gives each test fast timers, a clock it drives and its own directory.

#include <gtest/gtest.h>

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "signaling/msg_object.h"
#include "signaling/vq_io.h"

namespace sigbus::test {

using Map = std::map<std::string, std::string>;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

struct Event {
  Map header;
  Map frame;
  std::string name() const { return header.count("event_name") ? header.at("event_name") : ""; }
};

// Collects the events of one engine; the event functions below feed collectors 0 and 1.
class Collector {
 public:
  void add(vq_msg* msg);
  // Waits until at least count events have arrived; false on time-out.
  bool wait_count(std::size_t count, std::chrono::milliseconds timeout = 5s);
  // Waits for the first event named name from index start on; false on time-out.
  bool wait_event(const std::string& name, Event* out = nullptr,
                  std::chrono::milliseconds timeout = 5s);
  std::vector<Event> events();
  std::size_t count(const std::string& name);
  void clear();
  // Runs inside the event function, before the event is recorded (so a waiter sees the
  // event only after the action ran).
  void set_on_event(std::function<void(const Event&)> action);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;                   // guarded by mutex_
  std::function<void(const Event&)> on_event_;  // guarded by mutex_
};

extern Collector collectors[2];
void on_event_0(vq_msg* msg);
void on_event_1(vq_msg* msg);

// Every log line, captured through the hook.
struct LogLine {
  std::string tag;
  int level;
  std::string text;
};
void capture_log(const char* tag, int level, const char* format, ...);
std::vector<LogLine> captured_log();
bool log_contains(const std::string& text);
// Waits until a line with exactly this text was logged; false on time-out.
bool wait_log(const std::string& text, std::chrono::milliseconds timeout = 5s);

// Wire helpers over the library's own codec.
Bytes frame_bytes(const vq_msg& msg, std::uint32_t sequence = 0);
vq_msg make_msg(const char* dir, const char* type, Map body = {});

// A peer that talks raw bytes on loopback, without the engine.
class RawPeer {
 public:
  RawPeer();
  void connect(int port);
  void write(const Bytes& bytes);
  // Reads until count frames arrived or the time-out; returns the parsed frames.
  std::vector<vq_msg> read_frames(std::size_t count, std::chrono::milliseconds timeout = 3s);
  // Whether the peer closed the connection within the time-out.
  bool wait_closed(std::chrono::milliseconds timeout = 3s);
  void close();
  boost::asio::ip::tcp::socket& socket() { return socket_; }

 private:
  boost::asio::io_context io_;
  boost::asio::ip::tcp::socket socket_;
  Bytes pending_;
};

// A raw listening socket on a free loopback port.
class RawListener {
 public:
  RawListener();
  int port() const { return port_; }
  void accept(RawPeer& peer);

 private:
  boost::asio::io_context io_;
  boost::asio::ip::tcp::acceptor acceptor_;
  int port_;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  int open(int which);
  int listen(int handle, const char* arg = "srv");
  static void set_clock(std::int64_t seconds);
  // Waits until every open engine's worker has handled at least two more timer ticks.
  void let_timers_run();

  std::vector<int> handles_;
  std::string dir_;
  std::string old_dir_;
};

}  // namespace sigbus::test
