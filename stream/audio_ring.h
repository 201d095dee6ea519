#pragma once
// The wave output of the audio playout: the device and a ring of 30 headers, each owning its
// sample buffer while queued. Headers are written at the write index and retired, once done,
// at the retire index, in the same order. Audio playout thread only.

#include <cstdint>

#include "platform/mm/mmsystem.h"

constexpr int kAudioRingHeaders = 30;
constexpr int kAudioPrimeBuffers = 15;

class AudioRing {
 public:
  AudioRing() = default;
  ~AudioRing();
  AudioRing(const AudioRing&) = delete;
  AudioRing& operator=(const AudioRing&) = delete;

  // Opens the wave mapper for 8 kHz 16-bit mono without a callback; false without a device.
  bool Open();
  bool HasDevice() const { return device_ != nullptr; }
  // Plays `count` samples, behind 15 silent buffers of the same length when the device has
  // nothing queued. False when the frame was dropped because its slot is still in use.
  bool Play(const int16_t* samples, int count);
  // Retires the header at the retire index when it is done; at most one per call.
  void RetireOne();
  // Stops and closes the device and frees every buffer.
  void Close();

  int Queued() const { return queued_; }

 private:
  // Writes `bytes` (copied; silence when null) into the header at the write index. False
  // when the slot is in use or the device refused the buffer.
  bool Write(const int16_t* samples, int bytes);
  void Free(WAVEHDR* header);

  HWAVEOUT device_ = nullptr;
  WAVEHDR headers_[kAudioRingHeaders] = {};
  int write_ = 0;
  int retire_ = 0;
  int queued_ = 0;
};
