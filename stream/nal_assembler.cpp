#include "stream/nal_assembler.h"

namespace {

std::span<const uint8_t> PayloadOf(const RtpPacketRecord* record) {
  if (record->length > kRtpRecordBytes) return {};
  auto header = ParseRtpHeader(record->Bytes());
  return header ? header->Payload(record->Bytes()) : std::span<const uint8_t>{};
}

}  // namespace

void AssembleNal(RtpFrameQueue* queue, uint32_t previousKey, const RtpPacketRecord* record) {
  bool continuous = record->key == previousKey + 1;
  bool complete = BuildNal(PayloadOf(record), continuous, {queue->unitBuffer, kUnitBufferBytes},
                           &queue->position);
  if (complete && queue->channel && queue->nalSink)
    queue->nalSink(queue->channel, queue->unitBuffer, queue->position);
}
