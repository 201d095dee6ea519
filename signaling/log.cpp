#include "signaling/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "signaling/vq_io.h"

namespace sigbus {
namespace {

std::atomic<vq_log_fn> g_hook{nullptr};
std::atomic<int> g_min_level{0};
std::FILE* g_file = nullptr;
std::mutex g_file_mutex;  // guards g_file and its writes

constexpr const char kLogFileName[] = "test_timer.log";

void write_file_line(int level, const char* text) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d-%02d %02d:%02d:%02d", local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  std::lock_guard<std::mutex> lock(g_file_mutex);
  if (g_file != nullptr) std::fprintf(g_file, "%12s %03d %s\n", stamp, level, text);
}

}  // namespace

void log_line(const char* tag, int level, const char* format, ...) {
  if (level < g_min_level) return;
  char text[kMaxLineLength + 1] = {};
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  vq_log_fn hook = g_hook;
  if (hook != nullptr) {
    // The text may hold peer-supplied words; it must never be taken as a format.
    hook(tag, level, "%s", text);
    return;
  }
  write_file_line(level, text);
}

void open_log_file() {
  std::lock_guard<std::mutex> lock(g_file_mutex);
  if (g_file == nullptr) g_file = std::fopen(kLogFileName, "w+");
}

void close_log_file() {
  std::lock_guard<std::mutex> lock(g_file_mutex);
  if (g_file != nullptr) std::fclose(g_file);
  g_file = nullptr;
}

}  // namespace sigbus

void vq_io_log(vq_log_fn hook) { sigbus::g_hook = hook; }

void vq_io_set_loglevel(int level) { sigbus::g_min_level = level; }
