#pragma once
// The values the PTZ controls and the picture dialog put on the wire: the action of each
// panel button, the serial settings from the settings dialog's combo selections, and the
// picture settings with their ranges and presets. Pure: no window, no socket.

#include <array>
#include <optional>

#include "device/protocol/messages.h"

namespace device::ptz {

// The combos' item counts.
inline constexpr int kPtzProtocols = 2;  // "PELCO-D", "PELCO-P"
inline constexpr int kPtzAddresses = 127;
inline constexpr int kPtzSpeeds = 63;
inline constexpr int kPtzBauds = 7;
inline constexpr const char* kPtzProtocolNames[kPtzProtocols] = {"PELCO-D", "PELCO-P"};
inline constexpr const char* kPtzBaudNames[kPtzBauds] = {"2400",  "4800",  "9600",  "19200",
                                                         "38400", "57600", "115200"};

// The action a panel PTZ button (1015 to 1029) sends while pressed; nullopt for other IDs.
std::optional<PtzActionCode> PtzActionFor(int buttonId);

// A get of the channel at combo index `channelIndex` (channel index + 1 on the wire).
PtzConfig PtzGet(int channelIndex);
// A set from the five combo selections: each index + 1 on the wire, the protocol as is.
PtzConfig PtzSet(int channelIndex, int protocol, int addressIndex, int speedIndex, int baudIndex);

// The combo selections a get reply stands for; nullopt when a value lies outside its combo
// (protocol 0 to 1, address 1 to 127, speed 1 to 63, baud 1 to 7), as no selection shows it.
struct PtzSelection {
  int protocol = 0;
  int addressIndex = 0;
  int speedIndex = 0;
  int baudIndex = 0;
};
std::optional<PtzSelection> SelectionOf(const PtzConfig& reply);

// The picture settings in the order of the dialog's sliders: colour, contrast, luminance,
// saturation.
inline constexpr int kImageValues = 4;
using ImageValues = std::array<int, kImageValues>;
struct ImageRange {
  int min;
  int max;
};
inline constexpr ImageRange kImageRanges[kImageValues] = {
    {0, 255}, {0, 255}, {-128, 127}, {0, 255}};

// Each value clamped into its slider's range.
ImageValues Clamp(const ImageValues& values);
// The set of channel index `channel` (0-based) with `values` clamped.
ImageSettings ImageSet(int channel, const ImageValues& values);
// The values a get reply carries (bytes 4 to 7), clamped.
ImageValues ValuesOf(const ImageSettings& reply);

// The mode buttons, by the ID of each: "soft", "standard", "bright", "colorful",
// "backlighting" and "default".
struct ImagePreset {
  int buttonId;
  ImageValues values;
};
inline constexpr int kImagePresetCount = 6;
extern const ImagePreset kImagePresets[kImagePresetCount];
// The preset of a button; null for other IDs.
const ImagePreset* PresetFor(int buttonId);

}  // namespace device::ptz
