#pragma once
// What the simulated DVR reports about itself: the information panel record answered to the
// status command, and the two relay outputs. Written from the wire layout alone (the viewer's
// records are not used here, so a fault on either side shows up in the tests).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

namespace dvrsim {

// The panel record: 13 entries of a 36-byte label, a 24-byte value (both zero-terminated)
// and a 32-bit channel mask (bit n: shown in channel n+1's window), then nine 32-bit words.
inline constexpr int kPanelEntries = 13;
inline constexpr int kPanelEntryBytes = 64;
inline constexpr int kPanelLabelBytes = 36;
inline constexpr int kPanelValueBytes = 24;
inline constexpr int kPanelWordsOffset = kPanelEntries * kPanelEntryBytes;  // 832
inline constexpr int kPanelRecordBytes = kPanelWordsOffset + 9 * 4;         // 868

// A channel's state as the panel shows it; also its per-channel word.
enum class ChannelState : uint32_t { kIdle = 0, kRecording = 1, kMotion = 2 };

class DeviceStatus {
 public:
  using Clock = std::chrono::system_clock;

  DeviceStatus(int channels, Clock::time_point started = Clock::now());

  // The record at `now`: entries "Time" (local "yyyy-MM-dd HH:mm:ss"), "Disk used"
  // ("G/1000 GB", growing by 1 GB a minute and wrapping), "Uptime" (H:MM:SS), shown on
  // every channel; "Relay 1" and "Relay 2" ("on"/"off") on channel 1; "CH n" with its state
  // on channel n. Words 0-7: the channels' states; word 8: the relay mask.
  std::vector<uint8_t> PanelRecord(Clock::time_point now) const;

  // Even channels record all the time; each channel sees motion for 10 s of every 40 s
  // (staggered), odd ones are idle otherwise.
  ChannelState StateOf(int channel, Clock::time_point now) const;

  int relayMask() const { return relay_.load(); }
  void SetRelayMask(int mask) { relay_.store(mask & 3); }
  const std::atomic<int>& relay() const { return relay_; }

 private:
  int channels_;
  Clock::time_point started_;
  std::atomic<int> relay_{0};
};

}  // namespace dvrsim
