// setuptool: registers the two browser viewers that sit in its folder, or removes them.
// Without arguments it registers silently (failures alone are shown); with arguments it shows
// its dialog. See kHelp.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "installer/plugin_registration.h"
#include "installer/setup_dialog.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/dialog_message_box.h"

namespace {

constexpr char kHelp[] =
    "usage: setuptool                 register the viewers of this program's folder silently\n"
    "       setuptool ARGUMENT...     show the register/remove dialog\n"
    "       setuptool --unregister    remove the registration silently\n"
    "       setuptool --help          this text\n"
    "The folder holds OrviX.ocx, registered with regsvr32 (found in the folder, then on PATH),\n"
    "and nporvicam.dll, registered under HKLM\\SOFTWARE\\MozillaPlugins\\orvicam.\n"
    "Dialog options (any other argument just shows the dialog):\n"
    "  --display auto|x11|headless    where the dialog is shown (auto: x11 when DISPLAY is set)\n"
    "  --screenshot FILE              write the drawn dialog as PNG, press the --click buttons\n"
    "                                 and close the dialog\n"
    "  --click register|remove        press a button (repeatable; closes the dialog after)\n"
    "Headless runs print message boxes as lines: \"CAPTION TEXT\". The registry's files are in\n"
    "$ORVIX_REGISTRY_DIR when it is set.\n"
    "Exit status: 0 done, 1 a registration step or a regsvr32 run failed, 2 bad arguments.\n";

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Options {
  bool help = false;
  bool unregister = false;
  std::string display = "auto";
  installer::DialogScript script;
};

bool TakeValue(const std::vector<std::string>& args, size_t* i, std::string* value) {
  if (*i + 1 >= args.size()) {
    std::cerr << "setuptool: " << args[*i] << " needs a value (see --help)\n";
    return false;
  }
  *value = args[++*i];
  return true;
}

bool Parse(const std::vector<std::string>& args, Options* o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (arg == "--help" || arg == "-h" || arg == "/?") {
      o->help = true;
    } else if (arg == "--unregister") {
      o->unregister = true;
    } else if (arg == "--display") {
      if (!TakeValue(args, &i, &o->display)) return false;
    } else if (arg == "--screenshot") {
      if (!TakeValue(args, &i, &o->script.screenshot)) return false;
    } else if (arg == "--click") {
      if (!TakeValue(args, &i, &value)) return false;
      if (value != "register" && value != "remove") {
        std::cerr << "setuptool: --click takes register or remove, not \"" << value << "\"\n";
        return false;
      }
      o->script.clicks.push_back(value == "register" ? installer::Button::kRegister
                                                     : installer::Button::kRemove);
    }
  }
  return true;
}

int ShowDialog(const Options& o, const std::string& folder) {
  platform::display::DisplayOptions display_options;
  display_options.backend = o.display;
  display_options.width = 480;
  display_options.height = 240;
  display_options.title = "setuptool";
  std::string error;
  auto display = platform::display::Display::Create(display_options, &error);
  if (!display) {
    std::fprintf(stderr, "setuptool: cannot open the display: %s\n", error.c_str());
    return kExitFailed;
  }
  platform::gdi::InstallDcProvider();
  // A person at the x11 display answers boxes in real dialogs; scripted runs print them.
  if (!o.script.scripted() && std::string(display->backend()) == "x11") {
    platform::ui::InstallDialogPrompts();
  }
  return installer::RunSetupDialog(folder, o.script) ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options o;
  if (!Parse(args, &o)) return kExitUsage;
  if (o.help) {
    std::cout << kHelp;
    return kExitOk;
  }
  const std::string folder = installer::ProgramFolder();
  bool done = true;
  if (args.empty()) {
    done = installer::RegisterViewers(nullptr, folder, installer::Mode::kSilent);
  } else if (o.unregister) {
    done = installer::RemoveViewers(nullptr, folder, installer::Mode::kSilent);
  } else {
    return ShowDialog(o, folder);
  }
  const bool runs_succeeded = installer::ReportRegsvr32Runs();
  return done && runs_succeeded ? kExitOk : kExitFailed;
}
