#include "device/playback/playback_host.h"

#include <map>
#include <mutex>

#include "platform/ui/window.h"

namespace device::playback {
namespace {

std::mutex& HostsMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<HWND, PlaybackHost*>& Hosts() {
  static std::map<HWND, PlaybackHost*> hosts;
  return hosts;
}

}  // namespace

void RegisterPlaybackHost(HWND controlWindow, PlaybackHost* host) {
  std::lock_guard<std::mutex> lock(HostsMutex());
  Hosts()[controlWindow] = host;
}

void UnregisterPlaybackHost(HWND controlWindow) {
  std::lock_guard<std::mutex> lock(HostsMutex());
  Hosts().erase(controlWindow);
}

PlaybackHost* FindPlaybackHost(HWND window) {
  std::lock_guard<std::mutex> lock(HostsMutex());
  for (HWND w = window; w != nullptr; w = GetParent(w)) {
    auto it = Hosts().find(w);
    if (it != Hosts().end()) return it->second;
  }
  return nullptr;
}

}  // namespace device::playback
