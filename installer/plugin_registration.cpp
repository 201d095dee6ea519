#include "installer/plugin_registration.h"

#include <cstdio>
#include <cstring>

#include "SetupResources.h"
#include "platform/kernel/module.h"
#include "platform/process/win_exec.h"
#include "platform/prompt/prompt.h"
#include "platform/registry/winreg.h"
#include "platform/ui/dialog_resource.h"

namespace installer {
namespace {

constexpr char kPluginParent[] = "SOFTWARE\\MozillaPlugins";
constexpr char kPluginName[] = "orvicam";
constexpr char kPluginKey[] = "SOFTWARE\\MozillaPlugins\\orvicam";
constexpr char kMimeKey[] = "SOFTWARE\\MozillaPlugins\\orvicam\\MimeTypes";
constexpr char kMimeTypeKey[] =
    "SOFTWARE\\MozillaPlugins\\orvicam\\MimeTypes\\application/nporvicam";
constexpr char kControlFile[] = "OrviX.ocx";
constexpr char kPluginFile[] = "nporvicam.dll";
constexpr char kAppName[] = "setuptool";
// regsvr32 loads the whole viewer; a run that takes longer than this has hung.
constexpr int kRegsvr32WaitMs = 30000;

int g_failed_starts = 0;  // regsvr32 runs that did not start, since the last report

std::string Text(UINT id) {
  char text[256] = {};
  LoadStringA(SetupResources(), id, text, sizeof(text));
  return text;
}

void ShowError(HWND owner, UINT id) {
  MessageBoxA(owner, Text(id).c_str(), Text(IDS_CAPTION_ERROR).c_str(), MB_OK | MB_ICONERROR);
}

void ShowInfo(HWND owner, UINT id) {
  MessageBoxA(owner, Text(id).c_str(), Text(IDS_CAPTION_INFO).c_str(), MB_OK | MB_ICONINFORMATION);
}

void StartRegsvr32(const char* switches, const std::string& folder) {
  std::string command = std::string("regsvr32 ") + switches + " \"" + folder + kControlFile + "\"";
  UINT started = WinExec(command.c_str(), SW_HIDE);
  if (started > 31) return;
  std::printf("setuptool: %s did not start (%u)\n", command.c_str(), started);
  ++g_failed_starts;
}

bool SetText(HKEY key, const char* name, const std::string& value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

// Opens `path`, or creates it when it cannot be opened.
bool OpenOrCreate(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS &&
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// The plug-in key's four values. A value that cannot be written fails the step as the key
// itself would, instead of ending in a success message over an incomplete key.
bool WritePluginKey(HKEY key, const std::string& folder) {
  return SetText(key, "Description", "nporvicam") && SetText(key, "Path", folder + kPluginFile) &&
         SetText(key, "Vendor", "rolund") && SetText(key, "Version", "1.0.0.1");
}

}  // namespace

std::string ProgramFolder() {
  std::string path = platform::kernel::ModuleFileName(nullptr);
  return path.substr(0, path.rfind('/') + 1);
}

bool RegisterViewers(HWND owner, const std::string& folder, Mode mode) {
  StartRegsvr32("-s", folder);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPluginKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
    if (mode == Mode::kDialog) ShowInfo(owner, IDS_ALREADY_REGISTERED);
    return true;
  }
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPluginKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    ShowError(owner, IDS_PLUGIN_KEY_FAILED);
    return false;
  }
  const bool written = WritePluginKey(key, folder);
  RegCloseKey(key);
  if (!written) {
    ShowError(owner, IDS_PLUGIN_KEY_FAILED);
    return false;
  }
  if (!OpenOrCreate(kMimeKey)) {
    ShowError(owner, IDS_MIME_KEY_FAILED);
    return false;
  }
  if (!OpenOrCreate(kMimeTypeKey)) {
    ShowError(owner, IDS_MIME_TYPE_KEY_FAILED);
    return false;
  }
  if (mode == Mode::kDialog) ShowInfo(owner, IDS_REGISTERED);
  return true;
}

bool RemoveViewers(HWND owner, const std::string& folder, Mode mode) {
  if (mode == Mode::kDialog) MessageBoxA(owner, folder.c_str(), kAppName, MB_OK);
  StartRegsvr32("-su", folder);
  HKEY parent = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPluginParent, 0, KEY_ALL_ACCESS, &parent) !=
      ERROR_SUCCESS) {
    ShowError(owner, IDS_REMOVE_FAILED);
    return false;
  }
  const bool deleted = SHDeleteKeyA(parent, kPluginName) == ERROR_SUCCESS;
  if (!deleted) {
    ShowError(owner, IDS_REMOVE_FAILED);
  } else if (mode == Mode::kDialog) {
    ShowInfo(owner, IDS_REMOVED);
  }
  RegCloseKey(parent);
  return deleted;
}

bool ReportRegsvr32Runs() {
  bool all_succeeded = g_failed_starts == 0;
  g_failed_starts = 0;
  for (const auto& run : platform::process::WaitForExecutedCommands(kRegsvr32WaitMs)) {
    if (run.status == -1) {
      std::printf("setuptool: %s still runs after %d s\n", run.command_line.c_str(),
                  kRegsvr32WaitMs / 1000);
    } else if (run.status < 0) {
      std::printf("setuptool: %s ended, how is not known\n", run.command_line.c_str());
    } else {
      std::printf("setuptool: %s ended with status %d\n", run.command_line.c_str(), run.status);
    }
    all_succeeded = all_succeeded && run.status == 0;
  }
  std::fflush(stdout);
  return all_succeeded;
}

}  // namespace installer
