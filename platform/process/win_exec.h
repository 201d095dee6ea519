#pragma once
// WinExec: starts a program from a command line and returns at once, as installers start
// system tools. The first word of the line is the program (in double quotes when it has
// blanks); one named without a folder is looked for in the running program's folder, then in
// each folder of PATH. The rest of the line is split into arguments as a C runtime splits a
// command line: blanks separate, double quotes group, a backslash escapes a quote.
//
// The program gets our standard streams and environment, and runs on when we end. `show` is
// accepted and not used: the programs started this way open no window of their own.
// Returns a value above 31 when it started; ERROR_FILE_NOT_FOUND (2) when the program was not
// found, ERROR_BAD_FORMAT (11) when it could not be run, 0 for an empty line.
//
// Threads: any thread.

#include <string>
#include <vector>

#include "platform/kernel/last_error.h"
#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

constexpr DWORD ERROR_BAD_FORMAT = 11;

UINT WinExec(LPCSTR command_line, UINT show);

namespace platform::process {

// The words of `command_line` as the started program's argv sees them.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

struct ExecutedCommand {
  std::string command_line;
  // The exit code (128 plus the signal that ended it); -1 while it runs, -2 when it ended but
  // another part of the process waited for it.
  int status = -1;
};

// Waits up to `timeout_ms` for every program WinExec started in this process and nobody
// waited for yet, and gives how each ended, in the order they were started. A program still
// running at the end is given with status -1 and is waited for again by the next call.
std::vector<ExecutedCommand> WaitForExecutedCommands(int timeout_ms);

}  // namespace platform::process

#pragma GCC visibility pop
