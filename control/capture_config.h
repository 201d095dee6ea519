#pragma once
// The capture directory and its one-line file "config.txt", kept beside the video library.
// The file holds "play_back_rec_cap_dir:" followed by the directory, with no line end.

#include <string>

namespace control {

constexpr const char* kConfigFileName = "config.txt";
constexpr const char* kCapDirKey = "play_back_rec_cap_dir:";

// The capture directory for a library directory (with its trailing '/'): the one recorded in
// its "config.txt" when there is one, else the library directory followed by "capture/".
// The file's first line (up to 280 characters) is read with the process locale set to code
// page ".936" (where the system has it) and restored afterwards; the directory keeps at most
// 260 characters.
std::string LoadCaptureDir(const std::string& library_dir);

// Creates the directory when it does not exist (one level); failure is not reported.
void EnsureDirectory(const std::string& dir);

// Writes "config.txt" anew. Returns false when it cannot be written.
bool SaveCaptureDir(const std::string& library_dir, const std::string& capture_dir);

}  // namespace control
