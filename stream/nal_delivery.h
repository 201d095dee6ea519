#pragma once
// Where the video playout hands each complete NAL unit: the queue's channel, through
// CChannel::PutOneFrame. The unit buffer is the queue's own and is overwritten by the next
// unit as soon as the call returns.
//
// A sink may be installed in place of the channel call (a program without a video library, a
// benchmark, a test that looks at the units); null restores the channel call.

#include <cstdint>

class CChannel;

using NalSink = int (*)(CChannel* channel, const uint8_t* unit, int length);

// Returns the previous sink (null for the channel call).
NalSink SetNalSink(NalSink sink);
// Hands `length` bytes at `unit` to `channel` (not null) or to the installed sink; returns
// what the receiver returns.
int DeliverNal(CChannel* channel, const uint8_t* unit, int length);
