#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "voice/g726.h"
#include "voice/hi_voice.h"

namespace voice {

// The records kept in a caller's state block. Each starts with the type code; blocks are plain
// bytes of any alignment, so records are copied in and out rather than cast.
struct ImaRecord {
  int16_t type;
  int16_t predictor;
  uint8_t index;
  uint8_t reserved;
};

struct G726Record {
  int16_t type;
  int16_t sample_bytes;  // 2: 16-bit linear samples
  int16_t bits;          // bits per code
  int16_t reserved;
  G726State g726;
};

// Type 68 keeps its adaptive state after a shorter head of its own.
struct G726WordRecord {
  int16_t type;
  int16_t reserved;
  G726State g726;
};

static_assert(sizeof(G726Record) <= HI_VOICE_STATE_BYTES);
static_assert(sizeof(G726WordRecord) <= HI_VOICE_STATE_BYTES);

template <typename Record>
Record LoadRecord(const void* block) {
  static_assert(std::is_trivially_copyable_v<Record>);
  Record record;
  std::memcpy(&record, block, sizeof record);
  return record;
}

template <typename Record>
void StoreRecord(void* block, const Record& record) {
  std::memcpy(block, &record, sizeof record);
}

inline int16_t LoadType(const void* block) { return LoadRecord<int16_t>(block); }

}  // namespace voice
