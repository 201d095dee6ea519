#include "tools/dvrsim/catalogue.h"

#include <algorithm>
#include <cstring>

namespace dvrsim {
namespace {

int32_t Word(std::span<const uint8_t> b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
  return static_cast<int32_t>(v);
}
int16_t Half(std::span<const uint8_t> b, size_t at) {
  return static_cast<int16_t>(b[at] | b[at + 1] << 8);
}
void PutWord(uint8_t* at, int32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}
void PutHalf(uint8_t* at, int v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(static_cast<unsigned>(v) >> 8);
}
std::string Text(std::span<const uint8_t> b, size_t at, size_t width) {
  const char* p = reinterpret_cast<const char*>(b.data() + at);
  return std::string(p, strnlen(p, width));
}
void PutText(uint8_t* at, const std::string& text, size_t width) {
  std::memcpy(at, text.data(), std::min(text.size(), width - 1));
}

std::time_t Midnight(std::time_t t, int daysBack) {
  std::tm local{};
  localtime_r(&t, &local);
  local.tm_hour = local.tm_min = local.tm_sec = 0;
  local.tm_mday -= daysBack;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

int32_t DaySerial(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

}  // namespace

std::optional<RecordQueryFields> ParseRecordQuery(std::span<const uint8_t> p) {
  if (p.size() < kRecordQueryBytes) return std::nullopt;
  return RecordQueryFields{Word(p, 0), Word(p, 4), Word(p, 8), Text(p, 12, 20), Text(p, 32, 20)};
}

std::optional<RecordDescriptorFields> ParseRecordDescriptor(std::span<const uint8_t> b) {
  if (b.size() < kRecordDescriptorBytes) return std::nullopt;
  return RecordDescriptorFields{Word(b, 0),  Word(b, 4),  b[8],       b[9],
                                Half(b, 10), Word(b, 12), Word(b, 16)};
}

std::vector<uint8_t> EncodeRecordDescriptor(const RecordDescriptorFields& d) {
  std::vector<uint8_t> out(kRecordDescriptorBytes);
  PutWord(&out[0], d.channel);
  PutWord(&out[4], d.storage);
  out[8] = d.a;
  out[9] = d.b;
  PutHalf(&out[10], d.c);
  PutWord(&out[12], d.d);
  PutWord(&out[16], d.size);
  return out;
}

std::vector<uint8_t> EncodeRecordEntry(const Recording& r, int32_t size, bool stale) {
  std::vector<uint8_t> out(kRecordEntryBytes);
  out[0] = static_cast<uint8_t>(r.channel);
  out[1] = static_cast<uint8_t>(r.day);
  PutHalf(&out[2], r.segment);
  PutHalf(&out[4], r.channel);
  PutHalf(&out[6], r.type);
  PutWord(&out[8], stale ? r.serial + 1000000 : r.serial);
  PutWord(&out[12], size);
  PutText(&out[20], r.startText, 20);
  PutText(&out[40], r.endText, 20);
  return out;
}

std::string TimeText(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

int SegmentType(int channel, int segment) {
  switch ((segment + channel) % 6) {
    case 2:
      return kMoveDetect;
    case 4:
      return kAlarm;
    case 5:
      return kManual;
    default:
      return kNormal;
  }
}

Catalogue::Catalogue(int channels, int perDay, std::time_t today) {
  const std::time_t period = 86400 / perDay;
  const std::time_t length = std::min<std::time_t>(period / 2, 3600);
  for (int day = 0; day < 2; ++day) {
    const std::time_t midnight = Midnight(today, 1 - day);
    for (int ch = 1; ch <= channels; ++ch) {
      for (int i = 0; i < perDay; ++i) {
        Recording r;
        r.channel = ch;
        r.type = SegmentType(ch, i);
        r.day = day;
        r.segment = i;
        // Channels start a minute apart, so their entries are told apart by time too.
        r.start = midnight + i * period + std::min<std::time_t>((ch - 1) * 60, period / 4);
        r.end = r.start + std::max<std::time_t>(length, 2) - 1;
        r.startText = TimeText(r.start);
        r.endText = TimeText(r.end);
        r.serial = DaySerial(midnight);
        recordings_.push_back(std::move(r));
      }
    }
  }
  std::stable_sort(recordings_.begin(), recordings_.end(),
                   [](const Recording& x, const Recording& y) { return x.start < y.start; });
}

std::vector<const Recording*> Catalogue::Search(const RecordQueryFields& q, size_t limit) const {
  std::vector<const Recording*> found;
  if (q.storage != 0 && q.storage != 1) return found;
  for (const Recording& r : recordings_) {
    if (found.size() >= limit) break;
    if (r.channel > 32 || !(q.channelMask >> (r.channel - 1) & 1)) continue;
    if (!(q.typeMask & r.type)) continue;
    if (q.storage == 1 && !r.onSdCard()) continue;
    if (r.endText < q.start || r.startText > q.end) continue;
    found.push_back(&r);
  }
  return found;
}

const Recording* Catalogue::Find(const RecordDescriptorFields& d) const {
  for (const Recording& r : recordings_) {
    if (r.channel == d.channel && d.a == r.channel && d.b == r.day && d.c == r.segment &&
        d.d == r.serial && (d.storage == 0 || (d.storage == 1 && r.onSdCard()))) {
      return &r;
    }
  }
  return nullptr;
}

}  // namespace dvrsim
