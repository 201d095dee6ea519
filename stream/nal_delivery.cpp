#include "stream/nal_delivery.h"

#include <atomic>

namespace {

std::atomic<NalSink> g_sink{nullptr};

}  // namespace

// The one call into the video library, in a file of its own (channel_delivery.cpp).
int DeliverToChannel(CChannel* channel, const uint8_t* unit, int length);

NalSink SetNalSink(NalSink sink) { return g_sink.exchange(sink); }

int DeliverNal(CChannel* channel, const uint8_t* unit, int length) {
  NalSink sink = g_sink.load();
  return sink ? sink(channel, unit, length) : DeliverToChannel(channel, unit, length);
}
