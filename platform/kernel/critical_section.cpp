#include "platform/kernel/critical_section.h"

#include <mutex>

namespace {
std::recursive_mutex* Impl(CRITICAL_SECTION* section) {
  return static_cast<std::recursive_mutex*>(section->impl);
}
}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  section->impl = new std::recursive_mutex;
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  delete Impl(section);
  section->impl = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* section) { Impl(section)->lock(); }
void LeaveCriticalSection(CRITICAL_SECTION* section) { Impl(section)->unlock(); }
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
  return Impl(section)->try_lock() ? TRUE : FALSE;
}
