#pragma once
// The video playout thread of a run: takes the due packets of the video queue in key order,
// rebuilds the NAL units and hands them to the queue's channel. Runs while the queue's
// `running` flag is 1; returns to prebuffering after 20 s without a released packet.

#include "stream/playout_clock.h"
#include "stream/rtsp_session.h"

// The thread body the session starts (RtspPlayoutBody), on the system's tick count.
unsigned VideoPlayoutThread(RtspSession* session, RtpFrameQueue* queue);
// The same on the tick source `ticks`.
unsigned RunVideoPlayout(RtpFrameQueue* queue, PlayoutTicks ticks);
