#include "platform/process/console.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel/last_error.h"

namespace {

std::mutex g_mutex;
std::vector<PHANDLER_ROUTINE> g_handlers;  // in the order added
bool g_ignore_ctrl_c = false;
int g_pipe[2] = {-1, -1};

// The signal handler only writes the signal number; the watcher thread does the rest.
void OnSignal(int signal_number) {
  int saved = errno;
  unsigned char byte = static_cast<unsigned char>(signal_number);
  ssize_t ignored = write(g_pipe[1], &byte, 1);
  (void)ignored;
  errno = saved;
}

DWORD EventOf(int signal_number) {
  return signal_number == SIGINT ? CTRL_C_EVENT : CTRL_CLOSE_EVENT;
}

bool RunHandlers(DWORD ctrl_type) {
  std::vector<PHANDLER_ROUTINE> handlers;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (ctrl_type == CTRL_C_EVENT && g_ignore_ctrl_c) return true;
    handlers = g_handlers;
  }
  for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) {
    if ((*it)(ctrl_type)) return true;
  }
  return false;
}

void Watch() {
  for (;;) {
    unsigned char byte;
    ssize_t n = read(g_pipe[0], &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    if (RunHandlers(EventOf(byte))) continue;
    // Nobody took it: end the way the signal would have.
    signal(byte, SIG_DFL);
    raise(byte);
  }
}

void StartOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (pipe2(g_pipe, O_CLOEXEC) != 0) return;
    std::thread(Watch).detach();
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
  });
}

}  // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
  StartOnce();
  std::lock_guard<std::mutex> lock(g_mutex);
  if (handler == nullptr) {
    g_ignore_ctrl_c = add != FALSE;
    return TRUE;
  }
  if (add) {
    g_handlers.push_back(handler);
    return TRUE;
  }
  auto it = std::find(g_handlers.rbegin(), g_handlers.rend(), handler);
  if (it == g_handlers.rend()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g_handlers.erase(std::next(it).base());
  return TRUE;
}
