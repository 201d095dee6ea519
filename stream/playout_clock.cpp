#include "stream/playout_clock.h"

#include "platform/kernel/critical_section.h"

void SetTickBase(RtpFrameQueue* queue, uint32_t now) {
  EnterCriticalSection(&queue->lock);
  queue->tickBase = now;
  LeaveCriticalSection(&queue->lock);
}

void ReturnToPrebufferIfIdle(RtpFrameQueue* queue, PlayoutState* state, uint32_t now) {
  if (now - state->lastRelease <= kPlayoutIdleMs) return;
  queue->position = 0;
  SetTickBase(queue, now);
  state->playing = 0;
}

RtpPacketRecord* TakeNext(RtpFrameQueue* queue, PlayoutState* state, uint32_t now) {
  if (queue->Count() <= 0) return nullptr;
  RtpPacketRecord* record = queue->TakeDue(state->playing, now);
  if (!record) return nullptr;
  state->playing = 1;
  state->lastRelease = now;
  return record;
}
