#pragma once
// What this process has used so far: processor time and resident memory.

#pragma GCC visibility push(default)

namespace platform::process {

// User plus system processor time of the whole process (all its threads), in seconds.
double ProcessCpuSeconds();

// Resident set size of the process in KiB; 0 when it cannot be read.
long ResidentKiB();

}  // namespace platform::process

#pragma GCC visibility pop
