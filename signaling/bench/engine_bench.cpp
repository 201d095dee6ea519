// Messages per second through two engines on loopback: vq_send on one engine, framing,
// TCP, extraction, parsing and delivery to the other engine's event function.

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "signaling/sigbus.h"
#include "signaling/testing.h"

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
long g_received = 0;   // guarded by g_mutex
int g_connection = 0;  // guarded by g_mutex

void on_server(vq_msg* msg) {
  if (std::strcmp(vq_msg_get_header_string(msg, "event_name"), "frame") == 0) {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_received;
    g_changed.notify_all();
  }
  vq_msg_release(msg);
}

void on_client(vq_msg* msg) {
  if (std::strcmp(vq_msg_get_header_string(msg, "event_name"), "connect") == 0) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_connection = vq_msg_get_header_int(msg, "connection");
    g_changed.notify_all();
  }
  vq_msg_release(msg);
}

void no_log(const char*, int, const char*, ...) {}

void BM_EngineThroughput(benchmark::State& state) {
  vq_io_log(no_log);
  vq_io_set_loglevel(static_cast<int>(state.range(0)));
  int server = vq_io_open(on_server);
  int client = vq_io_open(on_client);
  vq_listen(server, 0, "bench");
  vq_connect(client, "127.0.0.1", sigbus::listening_port_for_testing(server), "bench");
  int connection;
  {
    std::unique_lock<std::mutex> lock(g_mutex);
    g_changed.wait(lock, [] { return g_connection != 0; });
    connection = g_connection;
    g_received = 0;
  }
  constexpr long kBatch = 20000;
  long target = 0;
  for (auto _ : state) {
    for (long i = 0; i < kBatch; ++i) {
      vq_send(client, connection,
              vq_msg_live_video("CLIENT_TO_CONTROL", "0001-00A1-7788", 3, 1, "client-42",
                                "terminal-7", "192.168.10.20", 9000, 1234567u, 7654321u));
    }
    target += kBatch;
    std::unique_lock<std::mutex> lock(g_mutex);
    g_changed.wait(lock, [&] { return g_received >= target; });
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  vq_io_close(client);
  vq_io_close(server);
  g_connection = 0;
  vq_io_log(nullptr);
}
// Argument: the minimum log level (0 formats every detail line, 1 only lifecycle lines).
BENCHMARK(BM_EngineThroughput)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
