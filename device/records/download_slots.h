#pragma once
// The download slots: at most five downloads at once, each slot holding its thread's id and
// a keep-running flag, and the count of running downloads. The user-interface thread reserves
// a slot before it starts a thread (so two quick clicks can never start a sixth download),
// reads the count and clears flags; each download thread names itself in its slot, polls its
// flag and frees the slot when it ends. Every call takes the table's lock: any thread may call.

#include <mutex>

#include "platform/kernel/win_types.h"

namespace device::records {

class DownloadSlots {
 public:
  static constexpr int kSlots = 5;

  // A free slot, marked taken and running, or -1 when all five are.
  int Reserve();
  // The thread that runs the download of `slot` names itself.
  void Assign(int slot, DWORD threadId);
  // Frees the slot (id and flag 0).
  void Release(int slot);
  bool KeepRunning(int slot) const;
  // Clears the flag of the slot whose thread is `threadId`; false when none is.
  bool Cancel(DWORD threadId);
  // Clears every taken slot's flag; the number of slots cleared.
  int CancelAll();
  int Count() const;

 private:
  struct Slot {
    bool taken = false;
    DWORD id = 0;
    bool keepRunning = false;
  };
  mutable std::mutex mutex_;
  Slot slots_[kSlots];  // guarded by mutex_
  int count_ = 0;       // guarded by mutex_
};

}  // namespace device::records
