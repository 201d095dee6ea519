#pragma once
// The recorder's catalogue: the recordings of every channel for today and the day before, and
// the search and lookup the command protocol asks of it. Pure: no files, no sockets.
//
// Wire layouts (little-endian; the simulator keeps its own copy of them so that a fault on
// either side shows up in the tests):
//   query   (52 bytes): channel mask, type mask, storage, start text[20], end text[20]
//   entry   (60 bytes): locator A u8, B u8, C i16, channel i16, type u16, locator D i32,
//                       size i32, 4 unused, start text[20], end text[20]
//   descriptor (20 bytes): channel i32, storage i32, A u8, B u8, C i16, D i32, size i32

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dvrsim {

inline constexpr int kRecordQueryBytes = 52;
inline constexpr int kRecordEntryBytes = 60;
inline constexpr int kRecordDescriptorBytes = 20;
inline constexpr int kMaxReplyEntries = 512;  // what the viewer's 30 740-byte buffer holds

enum RecordType : int { kNormal = 1, kMoveDetect = 2, kAlarm = 4, kManual = 8 };

struct Recording {
  int channel = 0;  // 1-based
  int type = kNormal;
  int day = 0;                     // 0 the day before, 1 today
  int segment = 0;                 // within its channel and day
  std::time_t start = 0, end = 0;  // local time, end inclusive
  std::string startText, endText;  // "yyyy-MM-dd HH:mm:ss"
  int32_t serial = 0;              // locator D: yyyymmdd of its day
  // On the SD card too (today's recordings); the hard disk holds them all.
  bool onSdCard() const { return day == 1; }
};

struct RecordQueryFields {
  int32_t channelMask = 0, typeMask = 0, storage = 0;
  std::string start, end;
};
struct RecordDescriptorFields {
  int32_t channel = 0, storage = 0;
  uint8_t a = 0, b = 0;
  int16_t c = 0;
  int32_t d = 0, size = 0;
};

std::optional<RecordQueryFields> ParseRecordQuery(std::span<const uint8_t> payload);
std::optional<RecordDescriptorFields> ParseRecordDescriptor(std::span<const uint8_t> bytes);
std::vector<uint8_t> EncodeRecordDescriptor(const RecordDescriptorFields& d);
// The entry of `r` with its file's `size`; `stale` shifts locator D so that it names nothing.
std::vector<uint8_t> EncodeRecordEntry(const Recording& r, int32_t size, bool stale = false);

std::string TimeText(std::time_t t);  // local time

class Catalogue {
 public:
  // `today`: any moment of the current day (local time).
  Catalogue(int channels, int perDay, std::time_t today);

  // Recordings of the masks' channels and types on `storage` that overlap [start, end]
  // (texts compared as texts), by start time and channel; at most `limit`.
  std::vector<const Recording*> Search(const RecordQueryFields& q,
                                       size_t limit = kMaxReplyEntries) const;
  // The recording the descriptor's locators and channel name on its storage; null if none.
  const Recording* Find(const RecordDescriptorFields& d) const;
  const std::vector<Recording>& all() const { return recordings_; }

 private:
  std::vector<Recording> recordings_;
};

// Type of segment `i` of `channel`: normal mostly, a move-detect, an alarm and a manual
// recording among every six.
int SegmentType(int channel, int segment);

}  // namespace dvrsim
