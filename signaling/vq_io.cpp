// The exported transport calls and the process-wide registry of engines.

#include "signaling/vq_io.h"

#include <map>
#include <memory>
#include <mutex>

#include "signaling/engine.h"
#include "signaling/log.h"
#include "signaling/testing.h"

namespace sigbus {
namespace {

std::mutex g_registry_mutex;  // guards g_engines
std::map<int, std::shared_ptr<engine>> g_engines;

std::mutex g_handle_mutex;  // guards g_next_handle
int g_next_handle = 1;

int take_handle() {
  std::lock_guard<std::mutex> lock(g_handle_mutex);
  return g_next_handle++;
}

std::shared_ptr<engine> find_engine(int handle) {
  std::lock_guard<std::mutex> lock(g_registry_mutex);
  auto it = g_engines.find(handle);
  return it == g_engines.end() ? nullptr : it->second;
}

}  // namespace

int listening_port_for_testing(int handle) {
  auto found = find_engine(handle);
  return found ? found->last_listen_port() : 0;
}

}  // namespace sigbus

using sigbus::find_engine;

int vq_io_open(vq_event_fn on_event) {
  sigbus::open_log_file();
  int handle = sigbus::take_handle();
  std::shared_ptr<sigbus::engine> created;
  try {
    created = std::make_shared<sigbus::engine>(handle, on_event);
  } catch (const std::exception&) {
    SIGBUS_LOG(4, "vq_io_open fail");
    return -1;
  }
  {
    std::lock_guard<std::mutex> lock(sigbus::g_registry_mutex);
    sigbus::g_engines[handle] = created;
  }
  created->start();
  SIGBUS_LOG(1, "vq_io_open success, handle=%d", handle);
  return handle;
}

int vq_listen(int handle, int port, const char* arg) {
  auto found = find_engine(handle);
  if (!found) {
    SIGBUS_LOG(2, "listen fail,port=%d,handle not exist", port);
    return -1;
  }
  found->listen(port, arg);
  SIGBUS_LOG(2, "listen port=%d,handle=%d", port, handle);
  return 0;
}

int vq_connect(int handle, const char* host, int port, const char* arg) {
  auto found = find_engine(handle);
  if (!found) {
    SIGBUS_LOG(2, "connect %s:%d fail handle not exist, ", host, port);
    return -1;
  }
  int id = found->connect(host, port, arg);
  SIGBUS_LOG(2, "connect %s:%d, arg=%s,id=%d", host, port, arg, id);
  return id;
}

int vq_send(int handle, int connection, vq_msg* msg) {
  auto found = find_engine(handle);
  if (!found) return -1;
  found->send(connection, msg);
  return 0;
}

int vq_close(int handle, int connection) {
  SIGBUS_LOG(1, "close connection %d", connection);
  auto found = find_engine(handle);
  if (!found) return -1;
  found->close(connection);
  return 0;
}

void vq_io_close(int handle) {
  SIGBUS_LOG(1, "vq_io_close handle=%d", handle);
  std::shared_ptr<sigbus::engine> closing;
  bool none_left;
  {
    std::lock_guard<std::mutex> lock(sigbus::g_registry_mutex);
    auto it = sigbus::g_engines.find(handle);
    if (it != sigbus::g_engines.end()) {
      if (it->second->on_worker_thread()) {
        // The worker cannot wait for itself; the engine stays open.
        SIGBUS_LOG(4, "vq_io_close handle=%d fail, called from its own event function", handle);
        return;
      }
      closing = std::move(it->second);
      sigbus::g_engines.erase(it);
    }
    none_left = sigbus::g_engines.empty();
  }
  if (closing) {
    closing->stop();
    closing.reset();
  }
  if (none_left) sigbus::close_log_file();
}
