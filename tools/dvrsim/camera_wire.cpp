#include "tools/dvrsim/camera_wire.h"

#include <iterator>

namespace dvrsim {

const char* PtzActionName(int action) {
  static const char* const kNames[] = {"stop",    "up",       "down",      "left",       "right",
                                       "left up", "right up", "left down", "right down", "focus +",
                                       "focus -", "zoom +",   "zoom -",    "iris +",     "iris -"};
  if (action >= 0 && action < static_cast<int>(std::size(kNames))) return kNames[action];
  if (action == kPtzSetPreset) return "set preset";
  if (action == kPtzDeletePreset) return "delete preset";
  if (action == kPtzCallPreset) return "call preset";
  return "unknown";
}

std::string SerialSettingsFault(const SerialSettings& s) {
  auto out = [](const char* what, int v, int low, int high) {
    return std::string(what) + " " + std::to_string(v) + " outside " + std::to_string(low) + "-" +
           std::to_string(high);
  };
  if (s.protocol < 0 || s.protocol > 1) return out("protocol", s.protocol, 0, 1);
  if (s.address < 1 || s.address > 127) return out("address", s.address, 1, 127);
  if (s.speed < 1 || s.speed > 63) return out("speed", s.speed, 1, 63);
  if (s.baud < 1 || s.baud > 7) return out("baud index", s.baud, 1, 7);
  return "";
}

const char* ProtocolName(int protocol) {
  return protocol == 0 ? "PELCO-D" : protocol == 1 ? "PELCO-P" : "unknown";
}

int BaudRate(int index) {
  static const int kRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
  return index >= 1 && index <= 7 ? kRates[index - 1] : 0;
}

std::optional<PtzActionRequest> ParsePtzAction(std::span<const uint8_t> payload) {
  if (payload.size() < kPtzActionBytes) return std::nullopt;
  return PtzActionRequest{payload[0], payload[2], payload[3]};
}

std::optional<PtzConfigRequest> ParsePtzConfig(std::span<const uint8_t> payload) {
  if (payload.size() < 2 || payload[0] > 1) return std::nullopt;
  PtzConfigRequest r;
  r.set = payload[0] == 1;
  r.channel = payload[1];
  if (!r.set) return r;
  if (payload.size() < kPtzConfigBytes) return std::nullopt;
  r.settings = SerialSettings{payload[2], payload[3], payload[4], payload[5]};
  return r;
}

std::optional<ImageRequest> ParseImageRequest(std::span<const uint8_t> payload) {
  if (payload.size() < 2 || payload[0] > 1) return std::nullopt;
  ImageRequest r;
  r.set = payload[0] == 1;
  r.index = payload[1];
  if (!r.set) return r;
  if (payload.size() < kImageSettingsBytes) return std::nullopt;
  r.look = ImageLook{payload[4], payload[5], static_cast<int8_t>(payload[6]), payload[7]};
  return r;
}

std::vector<uint8_t> PtzConfigReply(int operation, int channel, const SerialSettings& s) {
  return {static_cast<uint8_t>(operation),  static_cast<uint8_t>(channel),
          static_cast<uint8_t>(s.protocol), static_cast<uint8_t>(s.address),
          static_cast<uint8_t>(s.speed),    static_cast<uint8_t>(s.baud)};
}

std::vector<uint8_t> ImageReply(int index, const ImageLook& look) {
  return {0,
          static_cast<uint8_t>(index),
          0,
          0,
          look.colour,
          look.contrast,
          static_cast<uint8_t>(look.luminance),
          look.saturation};
}

}  // namespace dvrsim
