#include "platform/process/resource_usage.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace platform::process {

double ProcessCpuSeconds() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long ResidentKiB() {
  // statm gives pages: total size, then resident.
  std::FILE* file = std::fopen("/proc/self/statm", "r");
  if (file == nullptr) return 0;
  long size = 0;
  long resident = 0;
  const int read = std::fscanf(file, "%ld %ld", &size, &resident);
  std::fclose(file);
  if (read != 2) return 0;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace platform::process
