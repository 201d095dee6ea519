#pragma once
// FrameFifo: the byte ring that carries compressed frames from a producer thread to a
// channel's decode thread. A record is a 4-byte length (native byte order) followed by that many
// bytes; the length and the bytes are stored by two separate puts, so a consumer can meet a
// length whose bytes are not there yet and has to wait for them.
//
// Threads: one producer calls Put, one consumer calls Get; Flush may come from a third (the
// owner). `lock` guards every field below it.

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
  int mode = 0;  // nothing in the library sets it
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

  // One whole record. PutRecord blocks while the ring is full; a frame longer than kMaxFrame
  // (or negative) could never be stored and would block the producer for good, so it is
  // refused with 0 at once. Returns 1 when stored.
  int PutRecord(const void* frame, int length);
  // Blocks, polling every 10 ms, until a whole record is there and takes it. A stored length
  // beyond `capacity` cannot come from PutRecord; should one appear the ring is flushed and
  // the wait goes on, so the destination is never overrun.
  void GetRecord(void* destination, int capacity, int* length);
};
