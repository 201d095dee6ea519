#include "tools/dvrsim/camera_side.h"

#include <iostream>
#include <memory>

#include "tools/dvrsim/camera_desk.h"
#include "tools/dvrsim/camera_wire.h"
#include "tools/dvrsim/log_line.h"

namespace dvrsim {
void AttachCameras(CommandServer& server, const Options& options, std::vector<ChannelLoop>& loops) {
  auto desk =
      std::make_shared<CameraDesk>(options.channels, options.width, options.height, LogLine);
  for (ChannelLoop& loop : loops) {
    if (StreamsSource(options, loop.channel)) continue;
    const std::atomic<int>* lamps = loop.channel == 1 ? &server.status().relay() : nullptr;
    loop.camera = desk->AddCamera(loop.channel, lamps);
  }
  for (int channel : options.commands.liveCameras) desk->GoLive(channel);
  server.Handle(kPtzActionCommand, "ptz",
                [desk](std::span<const uint8_t> payload) { return desk->Action(payload); });
  server.Handle(kPtzConfigCommand, "ptz config",
                [desk](std::span<const uint8_t> payload) { return desk->Config(payload); });
  server.Handle(kImageCommand, "image",
                [desk](std::span<const uint8_t> payload) { return desk->Image(payload); });
}

}  // namespace dvrsim
