#include "stream/video_playout.h"

#include <memory>

#include "platform/kernel/clock.h"
#include "stream/nal_assembler.h"
#include "stream/report.h"

namespace {

uint32_t SystemTicks() { return GetTickCount(); }

}  // namespace

unsigned VideoPlayoutThread(RtspSession*, RtpFrameQueue* queue) {
  return RunVideoPlayout(queue, SystemTicks);
}

unsigned RunVideoPlayout(RtpFrameQueue* queue, PlayoutTicks ticks) {
  PlayoutState state;
  state.lastRelease = ticks();
  while (queue->running == 1) {
    uint32_t now = ticks();
    ReturnToPrebufferIfIdle(queue, &state, now);
    std::unique_ptr<RtpPacketRecord> record(TakeNext(queue, &state, now));
    if (!record) {
      Sleep(kPlayoutPollMs);
      continue;
    }
    if (record->key != state.lastKey + 1)
      Report("last seq = %d got seq = %d buff count =%d \n", static_cast<int>(state.lastKey),
             static_cast<int>(record->key), queue->Count());
    AssembleNal(queue, state.lastKey, record.get());
    state.lastKey = record->key;
  }
  return 0;
}
