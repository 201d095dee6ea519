#include "videolib/frame_fifo.h"

#include <cstdlib>
#include <cstring>

#include "platform/kernel/clock.h"
#include "platform/kernel/event.h"
#include "platform/kernel/handle.h"

bool FrameFifo::Create() {
  base = static_cast<uint8_t*>(std::malloc(kSize));
  spaceEvent = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  dataEvent = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  if (base == nullptr || spaceEvent == nullptr || dataEvent == nullptr) {
    std::free(base);
    base = nullptr;
    if (spaceEvent) CloseHandle(spaceEvent);
    if (dataEvent) CloseHandle(dataEvent);
    spaceEvent = dataEvent = nullptr;
    return false;
  }
  InitializeCriticalSection(&lock);
  write = read = base;
  size = kSize;
  used = count1 = count2 = 0;
  return true;
}

void FrameFifo::Destroy() {
  if (base == nullptr) return;
  std::free(base);
  base = write = read = nullptr;
  CloseHandle(spaceEvent);
  CloseHandle(dataEvent);
  spaceEvent = dataEvent = nullptr;
  DeleteCriticalSection(&lock);
}

void FrameFifo::CopyIn(const void* source, int length) {
  const auto* bytes = static_cast<const uint8_t*>(source);
  int to_end = static_cast<int>(base + size - write);
  if (length <= to_end) {
    std::memcpy(write, bytes, static_cast<size_t>(length));
    write += length;
    if (write == base + size) write = base;
  } else {
    std::memcpy(write, bytes, static_cast<size_t>(to_end));
    std::memcpy(base, bytes + to_end, static_cast<size_t>(length - to_end));
    write = base + (length - to_end);
  }
  used += length;
}

void FrameFifo::CopyOut(void* destination, int length) {
  auto* bytes = static_cast<uint8_t*>(destination);
  int to_end = static_cast<int>(base + size - read);
  if (length <= to_end) {
    std::memcpy(bytes, read, static_cast<size_t>(length));
    read += length;
    if (read == base + size) read = base;
  } else {
    std::memcpy(bytes, read, static_cast<size_t>(to_end));
    std::memcpy(bytes + to_end, base, static_cast<size_t>(length - to_end));
    read = base + (length - to_end);
  }
  used -= length;
}

int FrameFifo::Put(const void* source, int length, int count) {
  if (base == nullptr || source == nullptr || length < 0) return 0;
  EnterCriticalSection(&lock);
  if (size - used < length) {
    LeaveCriticalSection(&lock);
    return 0;
  }
  CopyIn(source, length);
  if (mode == 1) count2 += count;
  SetEvent(dataEvent);
  LeaveCriticalSection(&lock);
  return 1;
}

int FrameFifo::Get(void* destination, int length) {
  if (base == nullptr) return 0;
  EnterCriticalSection(&lock);
  // A get never takes more than is stored, so it cannot run past the producer.
  if (destination == nullptr || used == 0 || length < 0 || length > used) {
    SetEvent(spaceEvent);
    LeaveCriticalSection(&lock);
    return 0;
  }
  CopyOut(destination, length);
  SetEvent(spaceEvent);
  LeaveCriticalSection(&lock);
  return 1;
}

void FrameFifo::Flush() {
  if (base == nullptr) return;
  EnterCriticalSection(&lock);
  read = write = base;
  used = count1 = count2 = 0;
  SetEvent(spaceEvent);
  LeaveCriticalSection(&lock);
}

int FrameFifo::Used() {
  if (base == nullptr) return 0;
  EnterCriticalSection(&lock);
  int n = used;
  LeaveCriticalSection(&lock);
  return n;
}

void FrameFifo::SetReader(bool attached) {
  if (base == nullptr) return;
  EnterCriticalSection(&lock);
  reader = attached;
  SetEvent(spaceEvent);
  SetEvent(dataEvent);
  LeaveCriticalSection(&lock);
}

bool FrameFifo::HasReader() {
  if (base == nullptr) return false;
  EnterCriticalSection(&lock);
  bool attached = reader;
  LeaveCriticalSection(&lock);
  return attached;
}

namespace {
// Every wait also wakes on its own now and then, so that a lost wake-up costs this much at
// most instead of a thread.
constexpr DWORD kWakeMs = 50;
}  // namespace

int FrameFifo::PutRecord(const void* frame, int length, DWORD timeout_ms) {
  if (base == nullptr || frame == nullptr || length < 0 || length > kMaxFrame) return 0;
  const DWORD start = GetTickCount();
  for (;;) {
    EnterCriticalSection(&lock);
    if (size - used >= length + 4) {
      CopyIn(&length, 4);
      CopyIn(frame, length);
      if (mode == 1) count2 += 1;
      SetEvent(dataEvent);
      LeaveCriticalSection(&lock);
      return 1;
    }
    const bool wait = reader;
    LeaveCriticalSection(&lock);
    const DWORD waited = GetTickCount() - start;
    if (!wait || (timeout_ms != INFINITE && waited >= timeout_ms)) return 0;
    DWORD step = kWakeMs;
    if (timeout_ms != INFINITE && timeout_ms - waited < step) step = timeout_ms - waited;
    WaitForSingleObject(spaceEvent, step);
  }
}

bool FrameFifo::GetRecord(void* destination, int capacity, int* length) {
  *length = 0;
  if (base == nullptr) return false;
  for (;;) {
    EnterCriticalSection(&lock);
    int stored = -1;
    if (used >= 4) {
      // Peek at the length: the record is taken only when all of it is there.
      uint8_t* saved_read = read;
      const int saved_used = used;
      CopyOut(&stored, 4);
      if (stored < 0 || stored > capacity || stored > used) {
        read = saved_read;
        used = saved_used;
        if (stored < 0 || stored > capacity || stored > size - 4) {
          read = write = base;
          used = count1 = count2 = 0;
        }
        stored = -1;
      }
    }
    if (stored >= 0) {
      CopyOut(destination, stored);
      SetEvent(spaceEvent);
      LeaveCriticalSection(&lock);
      *length = stored;
      return true;
    }
    const bool attached = reader;
    SetEvent(spaceEvent);
    LeaveCriticalSection(&lock);
    if (!attached) return false;
    WaitForSingleObject(dataEvent, kWakeMs);
  }
}
