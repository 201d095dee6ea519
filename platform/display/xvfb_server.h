#pragma once
// For tests and benchmarks of the x11 backend: starts a private Xvfb on a free display
// number and stops it again.

#include <string>

namespace platform::display {

class XvfbServer {
 public:
  // Starts "Xvfb :N -screen 0 WxHx24 -nolisten tcp -noreset" and waits until it takes connections.
  XvfbServer(int width, int height);
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool running() const { return pid_ > 0; }
  const std::string& name() const { return name_; }  // ":N"
  const std::string& error() const { return error_; }

 private:
  bool TryStart(int number, int width, int height);
  int pid_ = -1;
  std::string name_;
  std::string error_;
};

}  // namespace platform::display
