#pragma once

// The library's logger: every line has a tag and a level (0 detail, 1 lifecycle and
// connection events, 2 listen and connect calls, 3 warnings, 4 failures). Lines go to the
// application's hook when one is set, otherwise to "test_timer.log" in the current
// directory while an engine is open.
//
// Thread-safety: log_line may be called from any thread. The hook and level are plain
// process-wide values: set them before opening engines.

namespace sigbus {

inline constexpr const char kTransportTag[] = "trans_lib";
inline constexpr int kMaxLineLength = 255;

void log_line(const char* tag, int level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Opens the log file (emptying it) unless it is already open.
void open_log_file();
void close_log_file();

}  // namespace sigbus

#define SIGBUS_LOG(level, ...) ::sigbus::log_line(::sigbus::kTransportTag, level, __VA_ARGS__)
