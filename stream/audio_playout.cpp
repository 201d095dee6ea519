#include "stream/audio_playout.h"

#include <memory>

#include "platform/kernel/clock.h"
#include "platform/kernel/critical_section.h"
#include "stream/audio_ring.h"
#include "stream/report.h"
#include "voice/hi_voice.h"

namespace {

constexpr int kDecoderStateBytes = 1024;
// A voice frame starts with a 4-byte header whose third byte is the length of the data that
// follows, in 16-bit words.
constexpr int kVoiceHeaderBytes = 4;
constexpr int kVoiceLengthByte = 2;
constexpr int kVoiceWordBytes = 2;

// The bytes the frame at `frame` says it takes, header included.
int AnnouncedFrameBytes(const uint8_t* frame) {
  return kVoiceHeaderBytes + kVoiceWordBytes * frame[kVoiceLengthByte];
}

uint32_t SystemTicks() { return GetTickCount(); }

void SetClockRate(RtpFrameQueue* queue, uint32_t rate) {
  EnterCriticalSection(&queue->lock);
  queue->clockRate = rate;
  LeaveCriticalSection(&queue->lock);
}

// Decodes the voice frame behind the RTP header; the number of samples, 0 when the payload
// is not a whole frame of the decoder's type. A frame is read only as far as the datagram
// goes: its header may announce more than the packet carries.
int Decode(void* state, const RtpPacketRecord* record, int16_t* samples) {
  auto header = ParseRtpHeader(record->Bytes());
  if (!header) return 0;
  int payload = static_cast<int>(header->payloadLength);
  const uint8_t* frame = record->datagram + header->payloadOffset;
  if (payload < kVoiceHeaderBytes || payload < AnnouncedFrameBytes(frame)) return 0;
  int32_t count = kAudioDecodeCountPreset;
  if (HI_VOICE_DecodeFrame(state, frame, samples, &count) != 0) return 0;
  return count;
}

class AudioPlayout {
 public:
  AudioPlayout(RtpFrameQueue* queue, PlayoutTicks ticks) : queue_(queue), ticks_(ticks) {}

  void Run() {
    Report("thread_audio_play start \n");
    SetClockRate(queue_, kAudioClockRate);
    state_.lastRelease = ticks_();
    ring_.Open();
    SetTickBase(queue_, state_.lastRelease);
    HI_VOICE_DecReset(decoder_, kAudioVoiceType);
    while (queue_->running == 1) Pass();
    ring_.Close();
  }

 private:
  void Pass() {
    uint32_t now = ticks_();
    ReturnToPrebufferIfIdle(queue_, &state_, now);
    std::unique_ptr<RtpPacketRecord> record(TakeNext(queue_, &state_, now));
    if (record) {
      if (record->key != state_.lastKey + 1)
        Report("audio last seq = %d got seq = %d buff count =%d \n",
               static_cast<int>(state_.lastKey), static_cast<int>(record->key), queue_->Count());
      int count = Decode(decoder_, record.get(), samples_);
      state_.lastKey = record->key;
      record.reset();
      // A frame dropped for want of a free slot ends the pass: nothing is retired.
      if (!ring_.Play(samples_, count)) return;
    } else {
      Sleep(kPlayoutPollMs);
    }
    ring_.RetireOne();
  }

  RtpFrameQueue* queue_;
  PlayoutTicks ticks_;
  PlayoutState state_;
  AudioRing ring_;
  alignas(8) uint8_t decoder_[kDecoderStateBytes] = {};
  int16_t samples_[HI_VOICE_MAX_DECODE_SAMPLES] = {};
};

}  // namespace

unsigned AudioPlayoutThread(RtspSession*, RtpFrameQueue* queue) {
  return RunAudioPlayout(queue, SystemTicks);
}

unsigned RunAudioPlayout(RtpFrameQueue* queue, PlayoutTicks ticks) {
  auto playout = std::make_unique<AudioPlayout>(queue, ticks);
  playout->Run();
  return 0;
}
