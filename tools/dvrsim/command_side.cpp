#include "tools/dvrsim/command_side.h"

#include <future>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "tools/dvrsim/camera_side.h"
#include "tools/dvrsim/log_line.h"
#include "tools/dvrsim/recorder_side.h"

namespace dvrsim {
namespace {

void AddRelayLoops(const Options& o, ChannelLoop& loop, const std::atomic<int>& mask) {
  std::vector<std::future<std::vector<CodedFrame>>> coding;
  for (int m = 0; m < 4; ++m) {
    coding.push_back(std::async(std::launch::async, EncodeChannelLoop, o.width, o.height,
                                loop.channel, o.loopFrames, PictureBackdrop(o), m));
  }
  for (auto& f : coding) loop.relayFrames.push_back(f.get());
  loop.relayMask = &mask;
}

}  // namespace

std::unique_ptr<CommandServer> StartCommandSide(const Options& options,
                                                std::vector<ChannelLoop>& loops,
                                                std::ostream& err) {
  const bool byDefault = options.commands.port < 0;
  const int port = !byDefault ? options.commands.port : options.port == 0 ? 0 : kDefaultCommandPort;
  auto server = std::make_unique<CommandServer>(options.bind, port, options.channels,
                                                options.commands.faults, options.seed, LogLine);
  AttachRecorder(*server, options, err);
  AttachCameras(*server, options, loops);
  try {
    server->Start();
  } catch (const std::runtime_error& e) {
    for (ChannelLoop& loop : loops) loop.camera = nullptr;  // they go with the server
    if (!byDefault) throw;
    err << "dvrsim: " << e.what() << "; commands are not answered" << std::endl;
    return nullptr;
  }
  err << "dvrsim: commands on UDP port " << server->port() << std::endl;
  // A channel streaming a file shows no lamps: its pictures are not drawn here.
  if (!loops.empty() && !StreamsSource(options, loops[0].channel)) {
    AddRelayLoops(options, loops[0], server->status().relay());
  }
  return server;
}

bool ApplyCommandConsoleLine(const std::string& line, CommandServer* server, std::ostream& log) {
  std::istringstream words(line);
  std::string verb, what, value, extra;
  words >> verb >> what >> value >> extra;
  if (verb != "cmd") return false;
  if (server == nullptr) {
    log << "dvrsim: the command side is not running" << std::endl;
    return true;
  }
  CommandFaults faults = server->faults();
  if (what == "off" && value.empty()) {
    faults = CommandFaults{};
  } else if (!what.empty()) {
    if (value.empty() || !extra.empty() || what.rfind("camera", 0) == 0 ||
        !IsCommandOption("--cmd-" + what)) {
      log << "dvrsim: unknown command \"" << line << "\" (cmd drop|duplicate|truncate|garble F, "
          << "cmd delay MS, cmd off)" << std::endl;
      return true;
    }
    CommandOptions o;
    o.faults = faults;
    try {
      SetCommandOption(o, "--cmd-" + what, value);
    } catch (const std::invalid_argument& e) {
      log << "dvrsim: " << e.what() << std::endl;
      return true;
    }
    faults = o.faults;
  }
  server->SetFaults(faults);
  log << "dvrsim: " << DescribeFaults(faults) << std::endl;
  return true;
}

const char* CommandConsoleUsageText() {
  return "  cmd drop F           drop a share F (0-1) of the command replies; likewise\n"
         "  cmd duplicate F, cmd truncate F, cmd garble F (see --cmd-*)\n"
         "  cmd delay MS         send the command replies MS milliseconds late\n"
         "  cmd off              switch every command fault off; \"cmd\" alone shows them\n";
}

}  // namespace dvrsim
