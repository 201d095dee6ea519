#include "platform/display/xvfb_server.h"

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace platform::display {
namespace {

constexpr int kFirstNumber = 90;
constexpr int kNumbers = 400;
constexpr auto kStartTimeout = std::chrono::seconds(10);

bool NumberLooksFree(int n) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::string number = std::to_string(n);
  std::string lock = "/tmp/.X";
  lock.append(number).append("-lock");
  std::string socket = "/tmp/.X11-unix/X";
  socket.append(number);
  return !fs::exists(lock, ec) && !fs::exists(socket, ec);
}

}  // namespace

XvfbServer::XvfbServer(int width, int height) {
  int start = static_cast<int>(getpid()) % kNumbers;
  for (int i = 0; i < kNumbers; ++i) {
    int n = kFirstNumber + (start + i) % kNumbers;
    if (NumberLooksFree(n) && TryStart(n, width, height)) return;
  }
  if (error_.empty()) error_ = "no free X display number";
}

bool XvfbServer::TryStart(int number, int width, int height) {
  std::string name(1, ':');
  name.append(std::to_string(number));
  std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  pid_t pid = fork();
  if (pid < 0) {
    error_ = "cannot fork for Xvfb";
    return false;
  }
  if (pid == 0) {
    execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
           "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    int status;
    if (waitpid(pid, &status, WNOHANG) == pid) {  // it ended: the number was taken after all
      error_ = "Xvfb " + name + " did not start";
      return false;
    }
    if (::Display* probe = XOpenDisplay(name.c_str())) {
      XCloseDisplay(probe);
      pid_ = pid;
      name_ = name;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  error_ = "Xvfb " + name + " took no connections";
  return false;
}

XvfbServer::~XvfbServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

}  // namespace platform::display
