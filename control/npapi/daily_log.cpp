#include "control/npapi/daily_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/kernel/clock.h"
#include "platform/kernel/module.h"

namespace control::npapi {
namespace {

std::mutex logLock;

std::string ModuleFolder() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCSTR>(&ModuleFolder), &self))
    return std::string();
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  std::string folder(path, n);
  const size_t slash = folder.rfind('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

bool Writable(const std::string& folder) {
  if (folder.empty()) return false;
  std::string probe = folder + "/.log_probe";
  FILE* f = std::fopen(probe.c_str(), "a");
  if (f == nullptr) return false;
  std::fclose(f);
  std::remove(probe.c_str());
  return true;
}

}  // namespace

std::string LogDirectory() {
  // The folder of the module, where the dialogs' users look; an installed plug-in's folder is
  // often not writable, and then the log would be lost entirely.
  static const std::string folder = [] {
    std::string own = ModuleFolder();
    if (Writable(own)) return own;
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
  }();
  return folder;
}

std::string LogFileName(int year, int month, int day) {
  char name[64];
  std::snprintf(name, sizeof(name), "Log_%04d%02d%02d.txt", year, month, day);
  return name;
}

void WriteLog(const char* format, ...) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char message[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof(message), format, args);
  va_end(args);
  const std::string path = LogDirectory() + "/" + LogFileName(now.wYear, now.wMonth, now.wDay);
  std::lock_guard<std::mutex> hold(logLock);
  FILE* f = std::fopen(path.c_str(), "a");
  if (f == nullptr) return;
  std::fprintf(f, "%02d:%02d:%02d:%s\n", now.wHour, now.wMinute, now.wSecond, message);
  std::fclose(f);
}

}  // namespace control::npapi
