#pragma once
// SnapQueue: snapshots waiting for the library's capture thread, at most ten. Decode threads
// push, the capture thread pops; an item of width 0 and height 0 asks the thread to stop.

#include <cstdint>

#include "platform/kernel/critical_section.h"
#include "platform/kernel/win_types.h"

struct SnapItem {
  int width = 0;
  int height = 0;
  int format = 0;           // pixel layout code of the picture
  uint8_t* data = nullptr;  // owned heap copy (malloc), freed by whoever takes the item
};

class SnapQueue {
 public:
  static constexpr int kCapacity = 10;

  bool Init();
  // Frees the pictures of items still queued, then the lock and event.
  void Uninit();

  // False when full: the caller keeps (and frees) the picture.
  bool Push(const SnapItem& item);
  bool Pop(SnapItem* item);
  HANDLE event() const { return m_hEvent; }

 private:
  SnapItem m_items[kCapacity];
  int m_count = 0;
  int m_read = 0;
  int m_write = 0;
  CRITICAL_SECTION m_cs{};    // guards the items, count and indexes
  HANDLE m_hEvent = nullptr;  // auto-reset, set by every push
};
