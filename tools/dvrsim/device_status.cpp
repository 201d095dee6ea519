#include "tools/dvrsim/device_status.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace dvrsim {
namespace {

void PutWord(std::vector<uint8_t>& record, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutEntry(std::vector<uint8_t>& record, int index, const std::string& label,
              const std::string& value, uint32_t mask) {
  size_t at = static_cast<size_t>(index) * kPanelEntryBytes;
  std::memcpy(&record[at], label.data(), std::min<size_t>(label.size(), kPanelLabelBytes - 1));
  std::memcpy(&record[at + kPanelLabelBytes], value.data(),
              std::min<size_t>(value.size(), kPanelValueBytes - 1));
  PutWord(record, at + kPanelLabelBytes + kPanelValueBytes, mask);
}

std::string LocalTimeText(DeviceStatus::Clock::time_point now) {
  std::time_t t = DeviceStatus::Clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

const char* StateText(ChannelState s) {
  switch (s) {
    case ChannelState::kRecording:
      return "recording";
    case ChannelState::kMotion:
      return "motion";
    case ChannelState::kIdle:
      break;
  }
  return "idle";
}

}  // namespace

DeviceStatus::DeviceStatus(int channels, Clock::time_point started)
    : channels_(channels), started_(started) {}

ChannelState DeviceStatus::StateOf(int channel, Clock::time_point now) const {
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
  if ((seconds / 10 + channel) % 4 == 0) return ChannelState::kMotion;
  return channel % 2 == 0 ? ChannelState::kRecording : ChannelState::kIdle;
}

std::vector<uint8_t> DeviceStatus::PanelRecord(Clock::time_point now) const {
  std::vector<uint8_t> record(kPanelRecordBytes, 0);
  const uint32_t every = channels_ >= 32 ? 0xFFFFFFFFu : (1u << channels_) - 1;
  auto up = std::chrono::duration_cast<std::chrono::seconds>(now - started_).count();
  if (up < 0) up = 0;
  char text[32];
  PutEntry(record, 0, "Time", LocalTimeText(now), every);
  std::snprintf(text, sizeof text, "%d/1000 GB", static_cast<int>(372 + up / 60) % 1000);
  PutEntry(record, 1, "Disk used", text, every);
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(up / 3600),
                static_cast<long long>(up / 60 % 60), static_cast<long long>(up % 60));
  PutEntry(record, 2, "Uptime", text, every);
  const int relay = relayMask();
  PutEntry(record, 3, "Relay 1", relay & 1 ? "on" : "off", 1);
  PutEntry(record, 4, "Relay 2", relay & 2 ? "on" : "off", 1);
  for (int ch = 1; ch <= channels_ && ch <= 8; ++ch) {
    ChannelState state = StateOf(ch, now);
    PutEntry(record, 4 + ch, "CH " + std::to_string(ch), StateText(state), 1u << (ch - 1));
    PutWord(record, kPanelWordsOffset + 4 * (ch - 1), static_cast<uint32_t>(state));
  }
  PutWord(record, kPanelWordsOffset + 4 * 8, static_cast<uint32_t>(relay));
  return record;
}

}  // namespace dvrsim
