#include "videolib/snap_queue.h"

#include <cstdlib>

#include "platform/kernel/event.h"
#include "platform/kernel/handle.h"

bool SnapQueue::Init() {
  m_hEvent = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  if (m_hEvent == nullptr) return false;
  InitializeCriticalSection(&m_cs);
  m_count = m_read = m_write = 0;
  return true;
}

void SnapQueue::Uninit() {
  if (m_hEvent == nullptr) return;
  SnapItem item;
  while (Pop(&item)) std::free(item.data);
  CloseHandle(m_hEvent);
  m_hEvent = nullptr;
  DeleteCriticalSection(&m_cs);
}

bool SnapQueue::Push(const SnapItem& item) {
  if (m_hEvent == nullptr) return false;
  EnterCriticalSection(&m_cs);
  bool stored = m_count < kCapacity;
  if (stored) {
    m_items[m_write] = item;
    m_write = (m_write + 1) % kCapacity;
    ++m_count;
  }
  LeaveCriticalSection(&m_cs);
  if (stored) SetEvent(m_hEvent);
  return stored;
}

bool SnapQueue::Pop(SnapItem* item) {
  if (m_hEvent == nullptr) return false;
  EnterCriticalSection(&m_cs);
  bool taken = m_count > 0;
  if (taken) {
    *item = m_items[m_read];
    m_items[m_read] = SnapItem{};
    m_read = (m_read + 1) % kCapacity;
    --m_count;
  }
  LeaveCriticalSection(&m_cs);
  return taken;
}
