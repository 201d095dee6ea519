#pragma once

#include <string>

namespace dvrsim {

// One line of the simulator's log on standard error, "dvrsim: " first. The whole line goes out
// in one write under one lock, so lines from its threads, and from a viewer sharing the stream,
// never cut into each other.
void LogLine(const std::string& line);

}  // namespace dvrsim
