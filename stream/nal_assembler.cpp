#include "stream/nal_assembler.h"

#include "stream/hevc_builder.h"

namespace {

std::span<const uint8_t> PayloadOf(const RtpPacketRecord* record) {
  if (record->length > kRtpRecordBytes) return {};
  auto header = ParseRtpHeader(record->Bytes());
  return header ? header->Payload(record->Bytes()) : std::span<const uint8_t>{};
}

void AssembleHevc(RtpFrameQueue* queue, bool continuous, const RtpPacketRecord* record) {
  int length = BuildHevcNal(PayloadOf(record), continuous, {queue->unitBuffer, kUnitBufferBytes},
                            &queue->position);
  if (length == 0 || !queue->channel || !queue->nalSink) return;
  // Parameter sets announced only in the description come first, once per run; the unit
  // buffer is busy with the unit, so they go from their own copy.
  if (!queue->prelude.empty()) {
    queue->nalSink(queue->channel, queue->prelude.data(), static_cast<int>(queue->prelude.size()));
    queue->prelude.clear();
  }
  queue->nalSink(queue->channel, queue->unitBuffer, length);
}

}  // namespace

void AssembleNal(RtpFrameQueue* queue, uint32_t previousKey, const RtpPacketRecord* record) {
  bool continuous = record->key == previousKey + 1;
  if (queue->codec == VideoCodec::kH265) return AssembleHevc(queue, continuous, record);
  bool complete = BuildNal(PayloadOf(record), continuous, {queue->unitBuffer, kUnitBufferBytes},
                           &queue->position);
  if (complete && queue->channel && queue->nalSink)
    queue->nalSink(queue->channel, queue->unitBuffer, queue->position);
}
