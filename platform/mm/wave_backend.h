#pragma once
// Internal to the mm family: where a wave output device sends its sound. The device's player
// thread is the only caller of a backend.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/mm/mmsystem.h"

namespace platform::mm {

class WaveBackend {
 public:
  virtual ~WaveBackend() = default;
  // Plays `size` bytes (whole blocks, a few milliseconds' worth) and returns once they have
  // been taken at the format's rate. Returns false, having played nothing that matters, when
  // `stop` became true meanwhile or the device failed.
  virtual bool Play(const uint8_t* data, size_t size, const std::atomic<bool>& stop) = 0;
  // Throws away whatever was handed over and not yet heard; the next Play starts afresh.
  virtual void Drop() = 0;
  // Nothing is queued any more; the next Play starts a new stretch of sound.
  virtual void Idle() {}
};

// A WAV file at `path` (created or truncated); null with *error set when it cannot be.
std::unique_ptr<WaveBackend> OpenWavFileSink(const std::string& path, const WAVEFORMATEX& format,
                                             MMRESULT* error);
// The ALSA PCM `name`; null with *error MMSYSERR_NODRIVER (no such device, or busy) or
// WAVERR_BADFORMAT (the device refuses the format).
std::unique_ptr<WaveBackend> OpenAlsaOutput(const std::string& name, const WAVEFORMATEX& format,
                                            MMRESULT* error);

}  // namespace platform::mm
