#pragma once
// FrameFifo: the byte ring that carries compressed frames from a producer thread to a
// channel's decode thread. A record is a 4-byte length (native byte order) followed by that many
// bytes. PutRecord and GetRecord store and take a record whole under the lock, so a flush can
// never leave half a record (a length without its bytes) behind.
//
// A producer waits for space only while a reader is attached (SetReader): with nobody to take
// records out, a record that does not fit is refused at once instead of blocking for good.
// Detaching the reader also wakes a consumer waiting in GetRecord.
//
// Threads: one producer calls Put, one consumer calls Get; Flush and SetReader may come from a
// third (the owner). `lock` guards every field below it.

#include <cstdint>

#include "platform/kernel/critical_section.h"
#include "platform/kernel/win_types.h"

struct FrameFifo {
  static constexpr int kSize = 262144;
  // The largest frame a record can carry: the whole ring less its length word.
  static constexpr int kMaxFrame = kSize - 4;

  uint8_t* base = nullptr;
  uint8_t* write = nullptr;
  uint8_t* read = nullptr;
  int count1 = 0;  // both zeroed by a flush; count2 grows by a put's count in mode 1
  int count2 = 0;
  int size = 0;
  int used = 0;
  int mode = 0;         // nothing in the library sets it
  bool reader = false;  // a consumer takes records out: full-ring puts wait for space
  CRITICAL_SECTION lock{};
  HANDLE spaceEvent = nullptr;  // auto-reset: set after every get, failed get and flush
  HANDLE dataEvent = nullptr;   // auto-reset: set after every put

  // Makes the buffer, lock and events; on any failure releases what it made and returns false,
  // leaving a ring on which every put and get fails.
  bool Create();
  void Destroy();
  bool usable() const { return base != nullptr; }

  // Stores `length` bytes whole or not at all; 0 when there is no buffer, no source, or not
  // enough free space.
  int Put(const void* source, int length, int count);
  // Takes `length` bytes; 0 when there is no buffer, no destination, or nothing stored.
  int Get(void* destination, int length);
  // Empties the ring and sets the space event.
  void Flush();
  int Used();

  // Attaches or detaches the consumer; both wake any waiting put and get.
  void SetReader(bool attached);
  bool HasReader();

  // One whole record. While a reader is attached PutRecord waits for space, up to `timeout_ms`;
  // without one, when the reader goes while it waits, or when the time is up, a record that
  // does not fit is refused with 0. A frame longer than kMaxFrame (or negative) could never be
  // stored and is refused with 0 at once. Returns 1 when stored.
  int PutRecord(const void* frame, int length, DWORD timeout_ms = INFINITE);
  // Waits until a whole record is there and takes it (true), or until the reader is detached
  // with no whole record stored (false, *length 0). A stored length beyond `capacity` cannot
  // come from PutRecord; should one appear the ring is flushed and the wait goes on, so the
  // destination is never overrun.
  bool GetRecord(void* destination, int capacity, int* length);

 private:
  // Under `lock`: copies in or out across the end of the ring; the caller checked the room.
  void CopyIn(const void* source, int length);
  void CopyOut(void* destination, int length);
};
