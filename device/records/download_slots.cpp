#include "device/records/download_slots.h"

namespace device::records {

int DownloadSlots::Reserve() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int i = 0; i < kSlots; ++i) {
    if (!slots_[i].taken) {
      slots_[i] = Slot{true, 0, true};
      ++count_;
      return i;
    }
  }
  return -1;
}

void DownloadSlots::Assign(int slot, DWORD threadId) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (slot >= 0 && slot < kSlots && slots_[slot].taken) slots_[slot].id = threadId;
}

void DownloadSlots::Release(int slot) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (slot < 0 || slot >= kSlots || !slots_[slot].taken) return;
  slots_[slot] = Slot{};
  --count_;
}

bool DownloadSlots::KeepRunning(int slot) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return slot >= 0 && slot < kSlots && slots_[slot].taken && slots_[slot].keepRunning;
}

bool DownloadSlots::Cancel(DWORD threadId) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Slot& s : slots_) {
    if (s.taken && threadId != 0 && s.id == threadId) {
      s.keepRunning = false;
      return true;
    }
  }
  return false;
}

int DownloadSlots::CancelAll() {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (Slot& s : slots_) {
    if (s.taken && s.keepRunning) {
      s.keepRunning = false;
      ++n;
    }
  }
  return n;
}

int DownloadSlots::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

}  // namespace device::records
