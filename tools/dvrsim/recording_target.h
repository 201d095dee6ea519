#pragma once
// What a playback request names: the recording of a URL path "/S_A_C_B_D_SIZE_.avi" (storage,
// locators A, C, B, D and the file's size, as the viewer builds it from a record entry),
// optionally followed by "/" and a control path; and the start of a "Range: npt=" header.
// No I/O: both read the request's texts.

#include <optional>
#include <string>

#include "tools/dvrsim/catalogue.h"

namespace dvrsim {

struct RecordingTarget {
  RecordDescriptorFields record;  // channel is locator A, as the recorder keeps them
  std::string control;            // "" for the recording itself
};

// Nothing unless the path has that form with six integers in range.
std::optional<RecordingTarget> ParseRecordingTarget(const std::string& url);

// The start of "npt=START-[END]" in seconds; nothing for "now", an absent or malformed start.
std::optional<double> ParseNptStart(const std::string& range);

}  // namespace dvrsim
