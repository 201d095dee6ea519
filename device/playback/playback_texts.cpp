#include "device/playback/playback_texts.h"

#include <cstdio>

namespace device::playback {

std::string PlaybackUrl(const std::string& dvrAddr, int rtspPort, int storage,
                        const RecordEntry& record) {
  char path[96];
  std::snprintf(path, sizeof path, ":%d/%d_%d_%d_%d_%d_%d_.avi", rtspPort, storage, record.locatorA,
                record.locatorC, record.locatorB, record.locatorD, record.size);
  return "rtsp://" + dvrAddr + path;
}

std::string PositionLabel(int position, int total) {
  char text[48];
  std::snprintf(text, sizeof text, "%d:%02d/%d:%02d", position / 60, position % 60, total / 60,
                total % 60);
  return text;
}

}  // namespace device::playback
