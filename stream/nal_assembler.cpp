#include "stream/nal_assembler.h"

#include <cstring>

#include "stream/nal_delivery.h"

namespace {

constexpr uint8_t kFragmentTypes = 0x1C;  // all set: types 28 to 31
constexpr uint8_t kStartBit = 0x80;
constexpr uint8_t kEndBit = 0x40;

void Deliver(RtpFrameQueue* queue) {
  if (queue->channel) DeliverNal(queue->channel, queue->unitBuffer, queue->position);
}

void PutStartCode(uint8_t* buffer) { std::memcpy(buffer, kNalStartCode, sizeof kNalStartCode); }

void SingleUnit(RtpFrameQueue* queue, const RtpPacketRecord* record) {
  int payload = record->length - kRtpHeaderBytes;
  if (payload + 4 > kUnitBufferBytes) return;
  PutStartCode(queue->unitBuffer);
  std::memcpy(queue->unitBuffer + 4, record->datagram + kRtpHeaderBytes, payload);
  queue->position = payload + 4;
  Deliver(queue);
}

void Fragment(RtpFrameQueue* queue, const RtpPacketRecord* record) {
  // Shorter than indicator and header: nothing to read, the packet is dropped.
  if (record->length < kFuHeaderBytes) return;
  uint8_t f = record->datagram[13];
  int data = record->length - kFuHeaderBytes;
  const uint8_t* bytes = record->datagram + kFuHeaderBytes;
  if (f & kStartBit) {
    if (data + 5 > kUnitBufferBytes) return;
    PutStartCode(queue->unitBuffer);
    // The indicator's NRI is not carried over: every rebuilt unit is marked important.
    queue->unitBuffer[4] = static_cast<uint8_t>((f & 0x1F) | 0x60);
    std::memcpy(queue->unitBuffer + 5, bytes, data);
    queue->position = data + 5;
    return;
  }
  if (queue->position == 0 || queue->position + data > kUnitBufferBytes) return;
  std::memcpy(queue->unitBuffer + queue->position, bytes, data);
  queue->position += data;
  if (f & kEndBit) Deliver(queue);
}

}  // namespace

void AssembleNal(RtpFrameQueue* queue, uint32_t previousKey, const RtpPacketRecord* record) {
  if (record->key != previousKey + 1) queue->position = 0;
  if (record->length <= kRtpHeaderBytes || record->length > kRtpRecordBytes) return;
  uint8_t p = record->datagram[kRtpHeaderBytes];
  if ((p & kFragmentTypes) != kFragmentTypes) {
    SingleUnit(queue, record);
  } else {
    Fragment(queue, record);
  }
}
