#include "device/ptz/ptz_values.h"

#include <algorithm>

namespace device::ptz {
namespace {

constexpr int kFirstPtzButton = 1015;
// By button ID from 1015: left up, up, right up, left, stop, right, left down, down,
// right down, focus +, focus -, zoom +, zoom -, iris +, iris -.
constexpr PtzActionCode kButtonActions[15] = {
    kPtzLeftUp,   kPtzUp,       kPtzRightUp, kPtzLeft,      kPtzStop,
    kPtzRight,    kPtzLeftDown, kPtzDown,    kPtzRightDown, kPtzFocusNear,
    kPtzFocusFar, kPtzZoomIn,   kPtzZoomOut, kPtzIrisOpen,  kPtzIrisClose};

uint8_t Byte(int value) { return static_cast<uint8_t>(value); }

}  // namespace

const ImagePreset kImagePresets[kImagePresetCount] = {
    {310, {0, 100, -20, 160}},  // soft
    {313, {0, 120, 0, 255}},    // colorful
    {311, {0, 100, 0, 128}},    // standard
    {312, {0, 120, 60, 128}},   // bright
    {314, {0, 120, -60, 128}},  // backlighting
    {190, {0, 100, 0, 128}},    // default
};

std::optional<PtzActionCode> PtzActionFor(int buttonId) {
  int i = buttonId - kFirstPtzButton;
  if (i < 0 || i >= 15) return std::nullopt;
  return kButtonActions[i];
}

PtzConfig PtzGet(int channelIndex) {
  PtzConfig c{};
  c.operation = kPtzConfigGet;
  c.channel = Byte(channelIndex + 1);
  return c;
}

PtzConfig PtzSet(int channelIndex, int protocol, int addressIndex, int speedIndex, int baudIndex) {
  PtzConfig c{};
  c.operation = kPtzConfigSet;
  c.channel = Byte(channelIndex + 1);
  c.protocol = Byte(protocol);
  c.address = Byte(addressIndex + 1);
  c.speed = Byte(speedIndex + 1);
  c.baud = Byte(baudIndex + 1);
  return c;
}

std::optional<PtzSelection> SelectionOf(const PtzConfig& reply) {
  if (reply.protocol > 1 || reply.address < 1 || reply.address > kPtzAddresses || reply.speed < 1 ||
      reply.speed > kPtzSpeeds || reply.baud < 1 || reply.baud > kPtzBauds) {
    return std::nullopt;
  }
  return PtzSelection{reply.protocol, reply.address - 1, reply.speed - 1, reply.baud - 1};
}

ImageValues Clamp(const ImageValues& values) {
  ImageValues out{};
  for (int i = 0; i < kImageValues; ++i) {
    out[i] = std::clamp(values[i], kImageRanges[i].min, kImageRanges[i].max);
  }
  return out;
}

ImageSettings ImageSet(int channel, const ImageValues& values) {
  ImageValues v = Clamp(values);
  ImageSettings s{};
  s.operation = kImageSet;
  s.channel = Byte(channel);
  s.colour = Byte(v[0]);
  s.contrast = Byte(v[1]);
  s.luminance = static_cast<int8_t>(v[2]);
  s.saturation = Byte(v[3]);
  return s;
}

ImageValues ValuesOf(const ImageSettings& reply) {
  return Clamp({reply.colour, reply.contrast, reply.luminance, reply.saturation});
}

const ImagePreset* PresetFor(int buttonId) {
  for (const ImagePreset& p : kImagePresets) {
    if (p.buttonId == buttonId) return &p;
  }
  return nullptr;
}

}  // namespace device::ptz
