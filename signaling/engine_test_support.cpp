#include "signaling/engine_test_support.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/write.hpp>
#include <cstdarg>
#include <filesystem>
#include <thread>

#include "signaling/clock.h"
#include "signaling/frame_codec.h"
#include "signaling/testing.h"
#include "signaling/vq_msg.h"

namespace sigbus::test {

using boost::asio::ip::tcp;

Collector collectors[2];

void Collector::add(vq_msg* msg) {
  Event event{msg->header, msg->frame};
  vq_msg_release(msg);
  std::function<void(const Event&)> action;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    action = on_event_;
  }
  if (action) action(event);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }
  changed_.notify_all();
}

void Collector::set_on_event(std::function<void(const Event&)> action) {
  std::lock_guard<std::mutex> lock(mutex_);
  on_event_ = std::move(action);
}

bool Collector::wait_count(std::size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return events_.size() >= count; });
}

bool Collector::wait_event(const std::string& name, Event* out, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    for (const Event& e : events_) {
      if (e.name() != name) continue;
      if (out != nullptr) *out = e;
      return true;
    }
    return false;
  });
}

std::vector<Event> Collector::events() {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

std::size_t Collector::count(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t n = 0;
  for (const Event& e : events_) n += e.name() == name;
  return n;
}

void Collector::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
}

void on_event_0(vq_msg* msg) { collectors[0].add(msg); }
void on_event_1(vq_msg* msg) { collectors[1].add(msg); }

namespace {

std::mutex g_log_mutex;
std::vector<LogLine> g_log;
std::atomic<std::int64_t> g_now{1000};

std::int64_t test_clock() { return g_now.load(); }

}  // namespace

void capture_log(const char* tag, int level, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::lock_guard<std::mutex> lock(g_log_mutex);
  g_log.push_back({tag, level, text});
}

std::vector<LogLine> captured_log() {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  return g_log;
}

bool log_contains(const std::string& text) {
  for (const LogLine& line : captured_log()) {
    if (line.text == text) return true;
  }
  return false;
}

bool wait_log(const std::string& text, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!log_contains(text)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

namespace {

std::size_t timer_ticks() {
  std::size_t count = 0;
  for (const LogLine& line : captured_log()) count += line.text == "worker handle TRANS_TIMER";
  return count;
}

}  // namespace

Bytes frame_bytes(const vq_msg& msg, std::uint32_t sequence) {
  auto frame = std::make_unique<wire_frame>();
  if (!build_frame(msg, sequence, *frame) || !stuff_frame(*frame)) return {};
  return Bytes(frame->stuffed, frame->stuffed + frame->stuffed_length);
}

vq_msg make_msg(const char* dir, const char* type, Map body) {
  vq_msg msg;
  msg.frame = std::move(body);
  msg.frame[kKeyDir] = dir;
  msg.frame[kKeyType] = type;
  return msg;
}

RawPeer::RawPeer() : socket_(io_) {}

void RawPeer::connect(int port) {
  socket_.connect(
      tcp::endpoint(boost::asio::ip::address_v4::loopback(), static_cast<unsigned short>(port)));
}

void RawPeer::write(const Bytes& bytes) { boost::asio::write(socket_, boost::asio::buffer(bytes)); }

std::vector<vq_msg> RawPeer::read_frames(std::size_t count, std::chrono::milliseconds timeout) {
  std::vector<vq_msg> out;
  frame_assembler assembler;
  append_received(assembler, pending_.data(), pending_.size());
  auto frame = std::make_unique<wire_frame>();
  auto deadline = std::chrono::steady_clock::now() + timeout;
  socket_.non_blocking(true);
  while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::uint8_t buf[4096];
    boost::system::error_code error;
    std::size_t n = socket_.read_some(boost::asio::buffer(buf), error);
    if (error == boost::asio::error::would_block) {
      std::this_thread::sleep_for(2ms);
      continue;
    }
    if (error) break;
    append_received(assembler, buf, n);
    while (out.size() < count && extract_frame(assembler, *frame)) {
      if (auto msg = parse_frame(*frame)) out.push_back(*msg);
    }
  }
  socket_.non_blocking(false);
  pending_.assign(assembler.buffer, assembler.buffer + assembler.fill);
  return out;
}

bool RawPeer::wait_closed(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  socket_.non_blocking(true);
  while (std::chrono::steady_clock::now() < deadline) {
    std::uint8_t buf[4096];
    boost::system::error_code error;
    socket_.read_some(boost::asio::buffer(buf), error);
    if (error == boost::asio::error::would_block) {
      std::this_thread::sleep_for(2ms);
      continue;
    }
    if (error) return true;
  }
  return false;
}

void RawPeer::close() {
  boost::system::error_code ignored;
  socket_.close(ignored);
}

RawListener::RawListener()
    : acceptor_(io_, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0)),
      port_(acceptor_.local_endpoint().port()) {}

void RawListener::accept(RawPeer& peer) { acceptor_.accept(peer.socket()); }

void EngineTest::SetUp() {
  old_dir_ = std::filesystem::current_path().string();
  dir_ = (std::filesystem::temp_directory_path() /
          ("sigbus_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
             .string();
  std::filesystem::create_directories(dir_);
  std::filesystem::current_path(dir_);
  {
    std::lock_guard<std::mutex> lock(g_log_mutex);
    g_log.clear();
  }
  for (Collector& c : collectors) {
    c.clear();
    c.set_on_event(nullptr);
  }
  vq_io_set_loglevel(0);
  vq_io_log(capture_log);
  set_clock(1000);
  set_clock_for_testing(test_clock);
  engine_timer_periods() = timer_periods{30ms, 20ms};
}

void EngineTest::TearDown() {
  for (int handle : handles_) vq_io_close(handle);
  for (Collector& c : collectors) c.set_on_event(nullptr);
  set_clock_for_testing(nullptr);
  engine_timer_periods() = timer_periods{};
  vq_io_log(nullptr);
  vq_io_set_loglevel(0);
  std::filesystem::current_path(old_dir_);
  std::filesystem::remove_all(dir_);
}

int EngineTest::open(int which) {
  int handle = vq_io_open(which == 0 ? on_event_0 : on_event_1);
  handles_.push_back(handle);
  return handle;
}

int EngineTest::listen(int handle, const char* arg) {
  EXPECT_EQ(vq_listen(handle, 0, arg), 0);
  return listening_port_for_testing(handle);
}

void EngineTest::set_clock(std::int64_t seconds) { g_now = seconds; }

void EngineTest::let_timers_run() {
  // A tick is done once the next one starts being handled: wait for three per engine.
  std::size_t target = timer_ticks() + 3 * handles_.size();
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (timer_ticks() < target && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
}

}  // namespace sigbus::test
