#pragma once
// The camera commands on the wire, read and answered byte by byte: PTZ actions (26), the PTZ
// serial settings (27) and the image settings (56). Payload layouts:
//
//   26  action, 0, channel (1-based), preset (1-255)                  4 bytes, no reply
//   27  operation (0 get, 1 set), channel (1-based), protocol (0 D, 1 P), address (1-127),
//       speed (1-63), baud index (1-7: 2400 ... 115200)                6 bytes both ways
//   56  operation (0 get, 1 set), channel (0-based), 0, 0             get: 4 bytes
//       then colour, contrast, luminance (signed), saturation         set and reply: 8 bytes

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/dvrsim/picture_adjust.h"

namespace dvrsim {

inline constexpr int kPtzActionCommand = 26;
inline constexpr int kPtzConfigCommand = 27;
inline constexpr int kImageCommand = 56;

inline constexpr int kPtzActionBytes = 4;
inline constexpr int kPtzConfigBytes = 6;
inline constexpr int kImageQueryBytes = 4;
inline constexpr int kImageSettingsBytes = 8;

// Action codes of command 26.
enum PtzMove : uint8_t {
  kPtzStop = 0,
  kPtzUp = 1,
  kPtzDown = 2,
  kPtzLeft = 3,
  kPtzRight = 4,
  kPtzLeftUp = 5,
  kPtzRightUp = 6,
  kPtzLeftDown = 7,
  kPtzRightDown = 8,
  kPtzFocusPlus = 9,
  kPtzFocusMinus = 10,
  kPtzZoomPlus = 11,
  kPtzZoomMinus = 12,
  kPtzIrisPlus = 13,
  kPtzIrisMinus = 14,
  kPtzSetPreset = 17,
  kPtzDeletePreset = 18,
  kPtzCallPreset = 19,
};

// The action's name for the log; "unknown" for codes without one.
const char* PtzActionName(int action);

struct PtzActionRequest {
  int action = 0;
  int channel = 0;  // 1-based
  int preset = 0;
};

// The serial settings of a channel's PTZ head.
struct SerialSettings {
  int protocol = 0;  // 0 PELCO-D, 1 PELCO-P
  int address = 1;   // 1-127
  int speed = 32;    // 1-63
  int baud = 3;      // 1-7
  bool operator==(const SerialSettings&) const = default;
};

// Empty when the settings are all in range; else what is out of it, for the log.
std::string SerialSettingsFault(const SerialSettings& s);
const char* ProtocolName(int protocol);
// The rate of a baud index in bit/s; 0 for an index out of range.
int BaudRate(int index);

struct PtzConfigRequest {
  bool set = false;
  int channel = 0;          // 1-based
  SerialSettings settings;  // set only
};

struct ImageRequest {
  bool set = false;
  int index = 0;   // 0-based channel
  ImageLook look;  // set only
};

// Nullopt when the payload is too short for its kind, or names an unknown operation.
std::optional<PtzActionRequest> ParsePtzAction(std::span<const uint8_t> payload);
std::optional<PtzConfigRequest> ParsePtzConfig(std::span<const uint8_t> payload);
std::optional<ImageRequest> ParseImageRequest(std::span<const uint8_t> payload);

// Reply payloads: command 27 with `operation` and the channel's settings; command 56 with the
// channel's look after a get.
std::vector<uint8_t> PtzConfigReply(int operation, int channel, const SerialSettings& s);
std::vector<uint8_t> ImageReply(int index, const ImageLook& look);

}  // namespace dvrsim
