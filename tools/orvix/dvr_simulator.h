#pragma once
// The DVR simulator the host views when no DVR is named: started as a child program on
// loopback, waited for until it listens, stopped when the host ends.

#include <memory>
#include <string>
#include <vector>

#include "platform/process/child_process.h"

namespace orvix {

// The simulator program: `explicit_path` when given, else $ORVIX_DVRSIM, else "dvrsim"
// beside this program or in the build tree's sibling folder. Empty when none is found.
std::string FindDvrsim(const std::string& explicit_path);

// Whether a TCP port can be bound on 127.0.0.1 here (554 needs privileges).
bool CanBindLoopbackPort(int port);

// A UDP port of 127.0.0.1 free at the moment, 0 when none could be had.
int FreeLoopbackUdpPort();

// "dvrsim ready on port P" gives P; -1 for any other line.
int ReadyPort(const std::string& line);

class DvrSimulator {
 public:
  // Starts `program` listening on 127.0.0.1:`port` (0: a free one) with `channels` channels
  // and waits up to `timeout_ms` for it to be ready. Null with *error set on failure.
  static std::unique_ptr<DvrSimulator> Start(const std::string& program, int port, int channels,
                                             const std::vector<std::string>& extra_args,
                                             int timeout_ms, std::string* error);
  ~DvrSimulator();

  int port() const { return port_; }
  // Stops it; gives its exit status.
  int Stop();

 private:
  DvrSimulator(std::unique_ptr<platform::process::ChildProcess> child, int port)
      : child_(std::move(child)), port_(port) {}

  std::unique_ptr<platform::process::ChildProcess> child_;
  int port_;
};

}  // namespace orvix
