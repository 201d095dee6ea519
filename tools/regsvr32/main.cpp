// regsvr32: registers an in-process server by calling its DllRegisterServer (with /u, its
// DllUnregisterServer), as the installer and a person do. Without /s the outcome is shown in
// a message box; the exit status tells it either way.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/com/objbase.h"
#include "platform/kernel/library.h"
#include "platform/prompt/prompt.h"

namespace {

constexpr char kCaption[] = "RegSvr32";
constexpr char kHelp[] =
    "usage: regsvr32 [/u] [/s] MODULE\n"
    "  loads MODULE and calls its DllRegisterServer, or with /u its DllUnregisterServer\n"
    "  /s  silent: no message box (the exit status alone tells the outcome)\n"
    "Switches may be joined (-su) and start with / or -. MODULE is a path, or a bare name\n"
    "found in the current folder first and then as the host finds modules.\n"
    "The registry's files are in $ORVIX_REGISTRY_DIR when it is set.\n"
    "Exit status: 0 success, 1 bad arguments, 3 the module did not load, 4 it has no such\n"
    "entry point, 5 the entry point failed.\n";

enum Exit { kSuccess = 0, kBadArguments = 1, kLoadFailed = 3, kNoEntry = 4, kCallFailed = 5 };

struct Options {
  bool unregister = false;
  bool silent = false;
  std::string module;
};

bool ParseSwitch(const std::string& arg, Options* options) {
  for (size_t i = 1; i < arg.size(); ++i) {
    const char c = static_cast<char>(arg[i] | 0x20);
    if (c == 'u') {
      options->unregister = true;
    } else if (c == 's') {
      options->silent = true;
    } else {
      return false;
    }
  }
  return arg.size() > 1;
}

// The file to load: a name that exists from the current folder is taken from there, as the
// system's tool does; anything else goes to LoadLibraryA as it is.
std::string ModuleToLoad(const std::string& name) {
  std::error_code error;
  if (name.find('/') == std::string::npos && std::filesystem::is_regular_file(name, error)) {
    return std::filesystem::absolute(name, error).string();
  }
  return name;
}

int Report(const Options& options, const std::string& text, UINT icon, int status) {
  if (!options.silent) MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | icon);
  return status;
}

std::string Hex(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08x", static_cast<unsigned>(result));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h" || arg == "/?") {
      std::cout << kHelp;
      return kSuccess;
    }
    if ((arg[0] == '/' || arg[0] == '-') && arg.size() <= 3) {
      if (ParseSwitch(arg, &options)) continue;
      std::cerr << "regsvr32: unknown switch \"" << arg << "\" (see --help)\n";
      return kBadArguments;
    }
    if (!options.module.empty() || arg.empty()) {
      std::cerr << "regsvr32: unexpected argument \"" << arg << "\" (see --help)\n";
      return kBadArguments;
    }
    options.module = arg;
  }
  if (options.module.empty()) {
    std::cerr << kHelp;
    return kBadArguments;
  }
  const char* entry = options.unregister ? "DllUnregisterServer" : "DllRegisterServer";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HMODULE module = LoadLibraryA(ModuleToLoad(options.module).c_str());
  if (!module) {
    CoUninitialize();
    return Report(options, "The module \"" + options.module + "\" failed to load.", MB_ICONERROR,
                  kLoadFailed);
  }
  auto call = reinterpret_cast<DllRegisterServerFn>(GetProcAddress(module, entry));
  int status = kSuccess;
  if (!call) {
    status = Report(options,
                    "The module \"" + options.module + "\" was loaded but the entry point " +
                        entry + " was not found.",
                    MB_ICONERROR, kNoEntry);
  } else if (const HRESULT result = call(); FAILED(result)) {
    status = Report(options,
                    "The module \"" + options.module + "\" was loaded but the call to " + entry +
                        " failed with error code " + Hex(result) + ".",
                    MB_ICONERROR, kCallFailed);
  } else {
    status = Report(options, std::string(entry) + " in " + options.module + " succeeded.",
                    MB_ICONINFORMATION, kSuccess);
  }
  FreeLibrary(module);
  CoUninitialize();
  return status;
}
