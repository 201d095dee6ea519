#pragma once
// The video playout's step for one released packet: reads its RTP header, feeds the payload
// to the NAL builder (nal_builder.h) with the queue's unit buffer, and hands each complete
// unit, behind the start code 00 00 00 01, to the queue's channel through its sink
// (nal_delivery.h). A gap in the keys discards the unit being gathered; a datagram whose header the
// reader refuses carries nothing. Playout thread only: the unit buffer and `position` are its own.

#include <cstdint>

#include "stream/nal_builder.h"
#include "stream/rtp_frame_queue.h"

constexpr int kFuHeaderBytes = kRtpHeaderBytes + kFuPrefixBytes;  // of a plain datagram

// `previousKey` is the key of the packet released before `record` (0 before the first).
void AssembleNal(RtpFrameQueue* queue, uint32_t previousKey, const RtpPacketRecord* record);
