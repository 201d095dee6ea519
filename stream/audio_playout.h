#pragma once
// The audio playout thread of a run: takes the due packets of the audio queue (8 kHz), decodes
// each payload as one IMA ADPCM voice frame and plays the samples on the default wave output
// as 8 kHz 16-bit mono through a ring of 30 buffers. Whenever nothing is queued on the device
// (at start, or after it ran dry) 15 silent buffers go in front of the next frame, so that a
// short late packet does not underrun it at once. Without a device the packets are still taken
// and decoded. Runs while the queue's `running` flag is 1.

#include "stream/playout_clock.h"
#include "stream/rtsp_session.h"

constexpr uint32_t kAudioClockRate = 8000;
constexpr int kAudioVoiceType = 35;  // IMA ADPCM, whatever codec name the SDP gives
constexpr int kAudioDecodeCountPreset = 80;

// The thread body the session starts (RtspPlayoutBody), on the system's tick count.
unsigned AudioPlayoutThread(RtspSession* session, RtpFrameQueue* queue);
// The same on the tick source `ticks`.
unsigned RunAudioPlayout(RtpFrameQueue* queue, PlayoutTicks ticks);
