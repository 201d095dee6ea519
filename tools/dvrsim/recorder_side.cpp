#include "tools/dvrsim/recorder_side.h"

#include <ctime>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "tools/dvrsim/log_line.h"
#include "tools/dvrsim/recorder.h"

namespace dvrsim {
void AttachRecorder(CommandServer& server, const Options& options, std::ostream& err) {
  const RecorderOptions& o = options.records;
  auto recorder = std::make_shared<Recorder>(o, options.channels, options.width, options.height,
                                             std::time(nullptr), options.bind, LogLine);
  const bool byDefault = o.downloadPort < 0;
  // The viewer knows no other download port than 2800: it is tried even when the RTSP port
  // moved, and only warned about when taken.
  const int port = byDefault ? kDefaultDownloadPort : o.downloadPort;
  try {
    recorder->StartDownloads(port);
    err << "dvrsim: downloads on TCP port " << recorder->downloadPort() << std::endl;
  } catch (const std::runtime_error& e) {
    if (!byDefault) throw;
    err << "dvrsim: " << e.what() << "; downloads are not served" << std::endl;
  }
  server.Handle(kRecordQueryCommand, "record query",
                [recorder](std::span<const uint8_t> payload) { return recorder->Query(payload); });
  server.Handle(kUsbExportCommand, "usb export",
                [recorder, &server](std::span<const uint8_t> payload) {
                  return recorder->Export(payload, server.peer());
                });
}

}  // namespace dvrsim
