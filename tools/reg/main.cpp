// reg: look inside the registry and change it by hand.
#include <iostream>
#include <string>

#include "tools/reg/reg_commands.h"

namespace {

constexpr char kHelp[] =
    "usage: reg COMMAND KEY [options]\n"
    "  reg query  KEY [/v NAME | /ve] [/s]     show a key's values and subkeys (/s: all below)\n"
    "  reg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
    "                                          make the key, and set the value when one is named\n"
    "  reg delete KEY [/v NAME | /ve] [/f]     delete a value, or the key with all below it\n"
    "  reg export KEY FILE                     write the key and all below it as text (FILE -:\n"
    "                                          standard output)\n"
    "KEY starts with HKLM, HKCU or HKCR (or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,\n"
    "HKEY_CLASSES_ROOT), e.g. HKCR\\CLSID. TYPE is REG_SZ (default), REG_EXPAND_SZ, REG_DWORD\n"
    "(DATA decimal or 0x hex), REG_BINARY (DATA in hex), REG_MULTI_SZ (DATA lines) or REG_NONE.\n"
    "The registry's files are in $ORVIX_REGISTRY_DIR when it is set, else in the state folder\n"
    "(/var/lib/orvix/registry for root, ~/.local/state/orvix/registry otherwise).\n"
    "Exit status: 0 success, 1 the registry refused, 2 bad arguments.\n";

bool Parse(int argc, char** argv, reg::Arguments* args) {
  if (argc < 3) return false;
  args->command = argv[1];
  args->key = argv[2];
  int i = 3;
  if (args->command == "export") {
    if (argc < 4) return false;
    args->file = argv[3];
    i = 4;
  }
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_next = i + 1 < argc;
    if ((arg == "/v" || arg == "-v") && has_next) {
      args->value = argv[++i];
    } else if (arg == "/ve" || arg == "-ve") {
      args->value = "";
    } else if ((arg == "/t" || arg == "-t") && has_next) {
      args->type = argv[++i];
    } else if ((arg == "/d" || arg == "-d") && has_next) {
      args->data = argv[++i];
    } else if (arg == "/s" || arg == "-s") {
      args->recursive = true;
    } else if (arg != "/f" && arg != "-f") {
      std::cerr << "reg: unknown option \"" << arg << "\" (see --help)\n";
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "/?" ||
                    std::string(argv[1]) == "-h")) {
    std::cout << kHelp;
    return 0;
  }
  reg::Arguments args;
  if (!Parse(argc, argv, &args)) {
    std::cerr << kHelp;
    return 2;
  }
  if (args.command == "query") return reg::Query(args, std::cout, std::cerr);
  if (args.command == "add") return reg::Add(args, std::cerr);
  if (args.command == "delete") return reg::Delete(args, std::cerr);
  if (args.command == "export") return reg::Export(args, std::cout, std::cerr);
  std::cerr << "reg: unknown command \"" << args.command << "\" (see --help)\n";
  return 2;
}
