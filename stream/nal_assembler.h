#pragma once
// Rebuilds H.264 NAL units from the video queue's RTP packets and hands each complete unit,
// behind the start code 00 00 00 01, to the queue's channel (nal_delivery.h).
//
// Single NAL unit packets go out at once. Fragmentation units (types 28 to 31, all read with
// the FU-A layout) are gathered in the queue's unit buffer from the start fragment to the end
// fragment; the start fragment's NAL header is rebuilt from the FU header's type with NRI 3.
// A gap in the keys discards the unit being gathered. Aggregation packets are passed whole,
// as one unit. Playout thread only: the unit buffer and `position` are its own.

#include <cstdint>

#include "stream/rtp_frame_queue.h"

constexpr uint8_t kNalStartCode[4] = {0, 0, 0, 1};
constexpr int kFuHeaderBytes = 14;  // RTP header, FU indicator, FU header

// `previousKey` is the key of the packet released before `record` (0 before the first).
void AssembleNal(RtpFrameQueue* queue, uint32_t previousKey, const RtpPacketRecord* record);
