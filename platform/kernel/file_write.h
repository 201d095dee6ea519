#pragma once
// Positioned writes that finish: short writes continue and interrupted ones are retried.
#include <cstddef>
#include <cstdint>

namespace platform::kernel {

// Writes all `size` bytes at offset `at` of the open descriptor; false on the first error.
bool WriteAllAt(int fd, const void* data, size_t size, int64_t at);

}  // namespace platform::kernel
