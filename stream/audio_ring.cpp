#include "stream/audio_ring.h"

#include <atomic>
#include <cstring>

#include "stream/report.h"

namespace {

constexpr DWORD kSampleRate = 8000;
constexpr WORD kChannels = 1;
constexpr WORD kBytesPerSample = sizeof(int16_t);

WAVEFORMATEX PcmFormat() {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = kChannels;
  format.nSamplesPerSec = kSampleRate;
  format.wBitsPerSample = kBytesPerSample * 8;
  format.nBlockAlign = kChannels * kBytesPerSample;
  format.nAvgBytesPerSec = kSampleRate * kChannels * kBytesPerSample;
  format.cbSize = 0;
  return format;
}

int Next(int index) { return index + 1 == kAudioRingHeaders ? 0 : index + 1; }

// The wave output's player thread marks a header done while this side polls it.
DWORD Flags(WAVEHDR& h) {
  return std::atomic_ref<DWORD>(h.dwFlags).load(std::memory_order_acquire);
}

}  // namespace

AudioRing::~AudioRing() { Close(); }

bool AudioRing::Open() {
  WAVEFORMATEX format = PcmFormat();
  if (waveOutOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    device_ = nullptr;
    Report("waveoutopen error\n");
    return false;
  }
  return true;
}

void AudioRing::Free(WAVEHDR* header) {
  if (device_ && (header->dwFlags & WHDR_PREPARED))
    waveOutUnprepareHeader(device_, header, sizeof *header);
  delete[] header->lpData;
  *header = WAVEHDR{};
}

bool AudioRing::Write(const int16_t* samples, int bytes) {
  WAVEHDR* header = &headers_[write_];
  if (header->dwFlags != 0) return false;
  header->lpData = new char[bytes];
  if (samples) {
    std::memcpy(header->lpData, samples, bytes);
  } else {
    std::memset(header->lpData, 0, bytes);
  }
  header->dwBufferLength = static_cast<DWORD>(bytes);
  header->dwFlags = 0;
  header->dwLoops = 1;
  waveOutPrepareHeader(device_, header, sizeof *header);
  if (waveOutWrite(device_, header, sizeof *header) != MMSYSERR_NOERROR) {
    // A slot whose buffer never reaches the device would never be done: it is freed now, or
    // the ring would stall on it for good.
    Report("Failed to play sound\n");
    Free(header);
    return false;
  }
  write_ = Next(write_);
  ++queued_;
  return true;
}

bool AudioRing::Play(const int16_t* samples, int count) {
  if (!device_ || count <= 0) return true;
  int bytes = count * 2;
  if (queued_ == 0)
    for (int i = 0; i < kAudioPrimeBuffers; ++i) Write(nullptr, bytes);
  if (Flags(headers_[write_]) != 0) return false;
  Write(samples, bytes);
  return true;
}

void AudioRing::RetireOne() {
  if (!device_) return;
  WAVEHDR* header = &headers_[retire_];
  if (!(Flags(*header) & WHDR_DONE)) return;
  Free(header);
  retire_ = Next(retire_);
  --queued_;
}

void AudioRing::Close() {
  if (device_) {
    waveOutReset(device_);
    for (WAVEHDR& header : headers_) Free(&header);
    waveOutClose(device_);
    device_ = nullptr;
  }
  for (WAVEHDR& header : headers_) Free(&header);
  write_ = retire_ = queued_ = 0;
}
