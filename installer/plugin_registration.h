#pragma once
// Registration of the two browser viewers that sit in the installer's folder: the ActiveX
// control module through regsvr32, started on its file, and the plug-in through its keys
// under HKEY_LOCAL_MACHINE\SOFTWARE\MozillaPlugins\orvicam. Every outcome is a message box
// (owned by `owner`, which may be null); the regsvr32 runs report nothing there.
//
// Threads: the UI thread (message boxes are modal on it).

#include <string>

#include "platform/ui/ui_types.h"

namespace installer {

// The folder of the running program, with its trailing '/': the whole path, however long.
std::string ProgramFolder();

enum class Mode {
  kDialog,  // every outcome is shown
  kSilent,  // only the failures are shown
};

// Starts "regsvr32 -s" on the control module and writes the plug-in's keys, unless the plug-in
// key is there already. True when the keys are there at the end.
bool RegisterViewers(HWND owner, const std::string& folder, Mode mode);

// Shows the folder (in the dialog), starts "regsvr32 -su" on the control module and deletes the
// plug-in key with everything below it. True when the key was deleted.
bool RemoveViewers(HWND owner, const std::string& folder, Mode mode);

// Waits, within a bound, for the regsvr32 runs started so far and prints how each ended as one
// line on standard output. True when each of them ended with status 0.
bool ReportRegsvr32Runs();

}  // namespace installer
