// The stream client's one call into the video library: a complete NAL unit to its channel.
#include "stream/nal_delivery.h"
#include "videolib/channel.h"

int DeliverToChannel(CChannel* channel, const uint8_t* unit, int length) {
  return channel->PutOneFrame(unit, length);
}
