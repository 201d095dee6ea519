#pragma once
// The texts the playback dialog builds: the recording's URL and the position label.

#include <string>

#include "device/protocol/messages.h"

namespace device::playback {

// "rtsp://%s:%d/%d_%d_%d_%d_%d_.avi": the DVR's address and RTSP port, the storage (0 hard
// disk, 1 SD card), then the record's locators A, C, B, D and its size in bytes.
std::string PlaybackUrl(const std::string& dvrAddr, int rtspPort, int storage,
                        const RecordEntry& record);

// "%d:%02d/%d:%02d": position and total as minutes and seconds.
std::string PositionLabel(int position, int total);

}  // namespace device::playback
