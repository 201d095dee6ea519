#pragma once
// Where the video playout hands each complete NAL unit: a sink the queue is given with its
// channel (RtpFrameQueue, RtspSessionOptions). The unit buffer is the queue's own and is
// overwritten by the next unit as soon as the call returns.
//
// The viewer's sink is DeliverToChannel; a program without a video library, a benchmark or a
// test that looks at the units passes its own.

#include <cstdint>

class CChannel;

// Hands `length` bytes at `unit` to `channel` (not null); returns what the receiver returns.
// Called on the video playout thread.
using NalSink = int (*)(CChannel* channel, const uint8_t* unit, int length);

// The viewer's sink: CChannel::PutOneFrame, the one call into the video library
// (channel_delivery.cpp).
int DeliverToChannel(CChannel* channel, const uint8_t* unit, int length);

// The video coding of a stream's NAL units, from its description.
enum class VideoCodec { kH264, kH265 };

// Tells `channel` (not null) how the units of the run that starts are coded, before the
// first of them; called on the session thread.
using CodecSink = void (*)(CChannel* channel, VideoCodec codec);

// The viewer's codec sink: CChannel::SetVideoCodec (channel_delivery.cpp).
void AnnounceCodecToChannel(CChannel* channel, VideoCodec codec);
