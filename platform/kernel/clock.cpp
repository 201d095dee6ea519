#include "platform/kernel/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace {

void Fill(SYSTEMTIME* out, const std::tm& tm, long milliseconds) {
  out->wYear = static_cast<WORD>(tm.tm_year + 1900);
  out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  out->wDay = static_cast<WORD>(tm.tm_mday);
  out->wHour = static_cast<WORD>(tm.tm_hour);
  out->wMinute = static_cast<WORD>(tm.tm_min);
  out->wSecond = static_cast<WORD>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
  out->wMilliseconds = static_cast<WORD>(milliseconds);
}

void Now(SYSTEMTIME* out, bool local) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  if (local) {
    localtime_r(&ts.tv_sec, &tm);
  } else {
    gmtime_r(&ts.tv_sec, &tm);
  }
  Fill(out, tm, ts.tv_nsec / 1000000);
}

}  // namespace

uint64_t GetTickCount64() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void GetLocalTime(SYSTEMTIME* time) { Now(time, true); }
void GetSystemTime(SYSTEMTIME* time) { Now(time, false); }
