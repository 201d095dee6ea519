#include "tools/dvrsim/log_line.h"

#include <iostream>
#include <mutex>

namespace dvrsim {

void LogLine(const std::string& line) {
  static std::mutex mutex;
  const std::string whole = "dvrsim: " + line + "\n";
  std::lock_guard<std::mutex> lock(mutex);
  // std::cerr is unit-buffered: each << would be a write of its own.
  std::cerr.write(whole.data(), static_cast<std::streamsize>(whole.size()));
  std::cerr.flush();
}

}  // namespace dvrsim
