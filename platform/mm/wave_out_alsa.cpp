// The ALSA backend: interleaved writes to a PCM opened for playback, with about 100 ms of
// device buffering so that "done" stays close to "heard".

#include <alsa/asoundlib.h>

#include <cerrno>
#include <mutex>

#include "platform/mm/wave_backend.h"

namespace platform::mm {
namespace {

// ALSA prints its own diagnostics on standard error; a missing device is reported through
// the waveOut result instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

class AlsaOutput : public WaveBackend {
 public:
  AlsaOutput(snd_pcm_t* pcm, unsigned frame_bytes) : pcm_(pcm), frame_bytes_(frame_bytes) {}
  ~AlsaOutput() override { snd_pcm_close(pcm_); }

  bool Play(const uint8_t* data, size_t size, const std::atomic<bool>& stop) override {
    snd_pcm_uframes_t frames = size / frame_bytes_;
    while (frames > 0 && !stop.load()) {
      const snd_pcm_sframes_t n = snd_pcm_writei(pcm_, data, frames);
      if (n < 0) {
        if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) return false;
        continue;
      }
      data += static_cast<size_t>(n) * frame_bytes_;
      frames -= static_cast<snd_pcm_uframes_t>(n);
    }
    return frames == 0;
  }

  void Drop() override {
    snd_pcm_drop(pcm_);
    snd_pcm_prepare(pcm_);
  }

 private:
  snd_pcm_t* pcm_;
  unsigned frame_bytes_;
};

}  // namespace

std::unique_ptr<WaveBackend> OpenAlsaOutput(const std::string& name, const WAVEFORMATEX& format,
                                            MMRESULT* error) {
  static std::once_flag quiet;
  std::call_once(quiet, [] { snd_lib_error_set_handler(QuietAlsa); });
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0) {
    *error = MMSYSERR_NODRIVER;
    return nullptr;
  }
  const snd_pcm_format_t sample =
      format.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  if (snd_pcm_set_params(pcm, sample, SND_PCM_ACCESS_RW_INTERLEAVED, format.nChannels,
                         format.nSamplesPerSec, 1, 100000) < 0) {
    snd_pcm_close(pcm);
    *error = WAVERR_BADFORMAT;
    return nullptr;
  }
  *error = MMSYSERR_NOERROR;
  return std::make_unique<AlsaOutput>(pcm, format.nBlockAlign);
}

}  // namespace platform::mm
