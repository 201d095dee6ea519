// sigbus_load: holds many connections between two engines on loopback with keep-alive
// running, sends numbered messages on each, and checks that every message arrives exactly
// once and in order. Optional faulty peers (closing mid-frame, sending garbage, going
// silent) run beside the load and must end as their own disconnect events.
//
//   sigbus_load [--connections N] [--seconds S] [--rate R] [--faults]

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "signaling/sigbus.h"
#include "signaling/testing.h"

namespace {

using namespace std::chrono_literals;
using boost::asio::ip::tcp;

struct Options {
  int connections = 1000;
  int seconds = 60;
  int rate = 10;  // messages per second per connection
  bool faults = false;
};

struct Tally {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<int> client_ids;             // connected client-side ids
  std::map<int, long> next_seq;            // per server-side connection
  std::map<std::string, int> disconnects;  // by side and reason
  long received = 0;
  long out_of_order = 0;
  int accepted = 0;
  int connect_failures = 0;
};
Tally g_tally;

std::string reason_key(const char* side, vq_msg* msg) {
  return std::string(side) + " " + vq_msg_get_header_string(msg, "reason");
}

void on_server(vq_msg* msg) {
  std::string name = vq_msg_get_header_string(msg, "event_name");
  int id = vq_msg_get_header_int(msg, "connection");
  std::lock_guard<std::mutex> lock(g_tally.mutex);
  if (name == "accept") {
    ++g_tally.accepted;
  } else if (name == "frame") {
    long seq = std::atol(vq_msg_get_frame_string(msg, "seq"));
    long& expected = g_tally.next_seq[id];
    if (seq != expected) ++g_tally.out_of_order;
    expected = seq + 1;
    ++g_tally.received;
  } else if (name == "disconnect") {
    ++g_tally.disconnects[reason_key("server", msg)];
  }
  g_tally.changed.notify_all();
  vq_msg_release(msg);
}

void on_client(vq_msg* msg) {
  std::string name = vq_msg_get_header_string(msg, "event_name");
  std::lock_guard<std::mutex> lock(g_tally.mutex);
  if (name == "connect") {
    if (vq_msg_get_header_int(msg, "result") == 0) {
      g_tally.client_ids.push_back(vq_msg_get_header_int(msg, "connection"));
    } else {
      ++g_tally.connect_failures;
    }
  } else if (name == "disconnect") {
    ++g_tally.disconnects[reason_key("client", msg)];
  }
  g_tally.changed.notify_all();
  vq_msg_release(msg);
}

// Faulty peers: one closes mid-frame, one sends garbage then closes, one goes silent.
void run_faults(int port, std::atomic<bool>& stop) {
  boost::asio::io_context io;
  tcp::endpoint server(boost::asio::ip::address_v4::loopback(), static_cast<unsigned short>(port));
  tcp::socket mid(io), garbage(io), silent(io);
  mid.connect(server);
  garbage.connect(server);
  silent.connect(server);
  const char partial[] = "~\x12\x34\x00\x00\x00\x00\x52\x01\x00\x40<?xml";
  boost::asio::write(mid, boost::asio::buffer(partial, sizeof partial - 1));
  std::this_thread::sleep_for(200ms);
  mid.close();
  std::string junk(5000, 'j');
  boost::asio::write(garbage, boost::asio::buffer(junk));
  std::this_thread::sleep_for(200ms);
  garbage.close();
  while (!stop) std::this_thread::sleep_for(100ms);  // silent holds its socket open
}

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return false;
    if (arg == "--faults") {
      options.faults = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    int value = std::atoi(argv[++i]);
    if (value <= 0) return false;
    if (arg == "--connections")
      options.connections = value;
    else if (arg == "--seconds")
      options.seconds = value;
    else if (arg == "--rate")
      options.rate = value;
    else
      return false;
  }
  return true;
}

void usage(std::FILE* out) {
  std::fputs(
      "usage: sigbus_load [--connections N] [--seconds S] [--rate R] [--faults]\n"
      "  N connections (default 1000) between two engines on loopback for S seconds\n"
      "  (default 60), R numbered messages per second on each (default 10); --faults adds\n"
      "  peers that close mid-frame, send garbage and go silent. Checks exactly-once,\n"
      "  in-order delivery and that no connection drops; exit status 1 when one fails.\n",
      out);
}

void no_log(const char*, int, const char*, ...) {}

long send_round(int client, const std::vector<int>& ids, int per_connection, long& seq_base,
                std::map<int, long>& seqs) {
  long sent = 0;
  for (int id : ids) {
    for (int k = 0; k < per_connection; ++k) {
      vq_msg* msg = vq_msg_create("CLIENT_TO_CONTROL", "RESOURCES_USED");
      vq_msg_set_frame_int(msg, "seq", static_cast<int>(seqs[id]++));
      vq_send(client, id, msg);
      ++sent;
    }
  }
  seq_base += sent;
  return sent;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    usage(argc > 1 && std::strcmp(argv[1], "--help") == 0 ? stdout : stderr);
    return argc > 1 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
  }
  vq_io_log(no_log);
  vq_io_set_loglevel(1);
  int server = vq_io_open(on_server);
  int client = vq_io_open(on_client);
  vq_listen(server, 0, "load");
  int port = sigbus::listening_port_for_testing(server);
  auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < options.connections; ++i) vq_connect(client, "127.0.0.1", port, "load");
  std::vector<int> ids;
  {
    std::unique_lock<std::mutex> lock(g_tally.mutex);
    g_tally.changed.wait_for(lock, 30s, [&] {
      return static_cast<int>(g_tally.client_ids.size()) + g_tally.connect_failures >=
             options.connections;
    });
    ids = g_tally.client_ids;
  }
  std::printf("%zu of %d connections up in %.2f s\n", ids.size(), options.connections,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  std::fflush(stdout);

  std::atomic<bool> stop_faults{false};
  std::thread faults;
  if (options.faults) faults = std::thread(run_faults, port, std::ref(stop_faults));

  // Ten rounds a second; each round sends rate/10 messages (at least one) per connection.
  int per_round = options.rate >= 10 ? options.rate / 10 : 1;
  long sent = 0, seq_base = 0;
  std::map<int, long> seqs;
  auto load_start = std::chrono::steady_clock::now();
  auto end = load_start + std::chrono::seconds(options.seconds);
  for (auto next = load_start; next < end; next += 100ms) {
    std::this_thread::sleep_until(next);
    sent += send_round(client, ids, per_round, seq_base, seqs);
  }
  {
    std::unique_lock<std::mutex> lock(g_tally.mutex);
    g_tally.changed.wait_for(lock, 10s, [&] { return g_tally.received >= sent; });
  }
  double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - load_start).count();
  stop_faults = true;
  if (faults.joinable()) faults.join();
  std::this_thread::sleep_for(200ms);

  bool ok;
  {
    std::lock_guard<std::mutex> lock(g_tally.mutex);
    std::printf("sent %ld, received %ld, out of order %ld, over %.1f s (%.0f msgs/s)\n", sent,
                g_tally.received, g_tally.out_of_order, elapsed, g_tally.received / elapsed);
    std::printf("accepted %d, connect failures %d\n", g_tally.accepted, g_tally.connect_failures);
    int load_drops = 0;
    for (const auto& [reason, count] : g_tally.disconnects) {
      std::printf("disconnect %s: %d\n", reason.c_str(), count);
      if (reason.rfind("client", 0) == 0) load_drops += count;
    }
    int server_drops = 0;
    for (const auto& [reason, count] : g_tally.disconnects) {
      if (reason.rfind("server", 0) == 0) server_drops += count;
    }
    // The silent peer is cut off 36 to 38 s after its first check; shorter runs may end first.
    int silent_cut = g_tally.disconnects["server keepalive timeout"];
    bool faults_ok =
        !options.faults || (server_drops == 3 && (options.seconds < 45 || silent_cut == 1));
    ok = g_tally.received == sent && g_tally.out_of_order == 0 && load_drops == 0 &&
         (options.faults ? faults_ok : server_drops == 0) &&
         static_cast<int>(ids.size()) == options.connections;
  }
  vq_io_close(client);
  vq_io_close(server);
  std::puts(ok ? "load check passed" : "load check FAILED");
  return ok ? 0 : 1;
}
