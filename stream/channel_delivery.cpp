// The stream client's calls into the video library: a complete NAL unit to its channel, and
// the coding of the units that follow.
#include "stream/nal_delivery.h"
#include "videolib/channel.h"

int DeliverToChannel(CChannel* channel, const uint8_t* unit, int length) {
  return channel->PutOneFrame(unit, length);
}

void AnnounceCodecToChannel(CChannel* channel, VideoCodec codec) {
  channel->SetVideoCodec(codec == VideoCodec::kH265 ? CChannel::kCodecH265 : CChannel::kCodecH264);
}
