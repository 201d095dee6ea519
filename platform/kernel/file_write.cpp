#include "platform/kernel/file_write.h"

#include <unistd.h>

#include <cerrno>

namespace platform::kernel {

bool WriteAllAt(int fd, const void* data, size_t size, int64_t at) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = pwrite(fd, p, size, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n, size -= static_cast<size_t>(n), at += n;
  }
  return true;
}

}  // namespace platform::kernel
