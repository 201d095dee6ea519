#pragma once
// The plug-in's daily log: "<folder>/Log_YYYYMMDD.txt" beside the plug-in module, one line per
// message, "HH:MM:SS:" and the message, the file opened for appending and closed after each
// message. Callable from any thread; a message whose file cannot be opened is lost.

#include <string>

namespace control::npapi {

// The folder the log goes to: the plug-in module's folder when it can be written, else the
// user's temporary folder (TMPDIR, or /tmp).
std::string LogDirectory();

// Appends one entry made from the printf-style `format`.
void WriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The file name of the log of a day: "Log_%04d%02d%02d.txt".
std::string LogFileName(int year, int month, int day);

}  // namespace control::npapi
