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

int FrameFifo::Put(const void* source, int length, int count) {
  if (base == nullptr || source == nullptr || length < 0) return 0;
  EnterCriticalSection(&lock);
  if (size - used < length) {
    LeaveCriticalSection(&lock);
    return 0;
  }
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

int FrameFifo::PutRecord(const void* frame, int length) {
  if (base == nullptr || frame == nullptr || length < 0 || length > kMaxFrame) return 0;
  while (Put(&length, 4, 0) == 0) WaitForSingleObject(spaceEvent, INFINITE);
  while (Put(frame, length, 1) == 0) WaitForSingleObject(spaceEvent, INFINITE);
  return 1;
}

void FrameFifo::GetRecord(void* destination, int capacity, int* length) {
  constexpr DWORD kPollMs = 10;
  for (;;) {
    int stored = 0;
    while (Get(&stored, 4) == 0) Sleep(kPollMs);
    if (stored < 0 || stored > capacity) {
      Flush();
      continue;
    }
    while (stored > 0 && Get(destination, stored) == 0) Sleep(kPollMs);
    *length = stored;
    return;
  }
}
