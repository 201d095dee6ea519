#include "tools/dvrsim/run.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tools/dvrsim/command_side.h"
#include "tools/dvrsim/console.h"
#include "tools/dvrsim/media.h"
#include "tools/dvrsim/options.h"
#include "tools/dvrsim/recorder_options.h"
#include "tools/dvrsim/rtsp_server.h"
#include "tools/dvrsim/source_file.h"

namespace dvrsim {

int RunDvrsim(int argc, char** argv, std::ostream& out, std::ostream& err,
              const std::atomic<bool>& stop, std::istream* console) {
  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::invalid_argument& e) {
    err << "dvrsim: " << e.what() << "\n";
    return 2;
  }
  if (options.help) {
    out << UsageText() << CommandUsageText() << RecorderUsageText() << ConsoleUsageText()
        << CommandConsoleUsageText();
    return 0;
  }
  try {
    err << "dvrsim: coding " << options.channels << " channel(s) of " << options.loopFrames
        << " frames at " << options.width << "x" << options.height << "..." << std::endl;
    auto start = std::chrono::steady_clock::now();
    auto given = LoadChannelSources(options.sources, options.channels, options.width,
                                    options.height, options.loopFrames, err);
    auto loops = EncodeChannels(options.width, options.height, options.channels, options.loopFrames,
                                PictureBackdrop(options), given);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    err << "dvrsim: coded in " << took.count() << " s" << std::endl;
    auto commandSide = StartCommandSide(options, loops, err);
    RtspServer server(options, std::move(loops));
    server.Start();
    std::unique_ptr<ConsoleReader> commands;
    if (console != nullptr) commands = std::make_unique<ConsoleReader>(*console);
    out << "dvrsim ready on port " << server.port() << std::endl;
    while (!stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (!commands) continue;
      for (const std::string& line : commands->TakeLines()) {
        ApplyConsoleLine(line, server, options.channels, err, commandSide.get());
      }
    }
    server.Stop();
    const ServerStats& s = server.stats();
    err << "dvrsim: stopped after " << s.sessionsOpened << " session(s), " << s.rtpPackets
        << " RTP packets, " << s.receiverReports << " receiver reports" << std::endl;
  } catch (const std::exception& e) {
    err << "dvrsim: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace dvrsim
