// livepair: two live DVR channels in two windows; a screenshot, snapshots and recordings.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/display/png_image.h"
#include "tools/livepair/live_pair.h"
#include "tools/livepair/livepair_options.h"
#include "tools/livepair/picture_check.h"
#include "tools/orvix/dvr_simulator.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kSimulatorChannels = 8;
constexpr int kReadyMs = 15000;
constexpr int kFirstPictureMs = 10000;
constexpr int kSnapshotMs = 5000;

int Fail(const std::string& message) {
  std::fprintf(stderr, "livepair: %s\n", message.c_str());
  return kExitFailed;
}

std::unique_ptr<orvix::DvrSimulator> StartSimulator(const livepair::Options& o,
                                                    std::string* error) {
  const std::string program = orvix::FindDvrsim(o.dvrsim);
  if (program.empty()) {
    *error = "dvrsim not found (give it with --dvrsim PATH)";
    return nullptr;
  }
  std::vector<std::string> extra;
  if (!o.loss.empty()) extra = {"--loss", o.loss};
  const int channels = std::max(o.channels[0], o.channels[1]);
  return orvix::DvrSimulator::Start(program, 0, channels, extra, kReadyMs, error);
}

// What the screenshot at `shot` shows in each window.
void PrintReadings(livepair::LivePair& pair, const std::string& shot) {
  std::string error;
  auto png = platform::display::ReadPng(shot, &error);
  if (!png) return;
  for (int i = 0; i < livepair::LivePair::kWindows; ++i) {
    livepair::LumaImage shown =
        livepair::CutLuma(png->pixels.data(), png->width, png->height, pair.PictureRect(i),
                          pair.config().width, pair.config().height);
    livepair::PictureReading r = livepair::ReadPicture(shown);
    std::printf("window %d: channel %d, reads channel \"%s\" frame \"%s\", %d pictures shown\n",
                i + 1, pair.config().channels[i], r.channel.c_str(), r.counter.c_str(),
                pair.FramesShown(i));
  }
}

// Records both windows for --record seconds; 0, or the exit code after printing why.
int Record(livepair::LivePair& pair, const livepair::Options& o,
           const std::vector<std::string>& snapshots) {
  std::vector<std::string> paths;
  for (int i = 0; i < livepair::LivePair::kWindows; ++i) {
    std::string error;
    auto picture = livepair::ReadBmpLuma(snapshots[i], &error);
    if (!picture) return Fail(error);
    const std::string path =
        o.out + "/livepair_ch" + std::to_string(pair.config().channels[i]) + ".avi";
    if (!pair.StartRecording(i, path, picture->width, picture->height, &error)) {
      return Fail(error);
    }
    paths.push_back(path);
  }
  std::printf("recording both channels for %d s\n", o.recordSeconds);
  std::fflush(stdout);
  for (int s = 0; s < o.recordSeconds; ++s) pair.PumpFor(1000);
  for (int i = 0; i < livepair::LivePair::kWindows; ++i) {
    pair.StopRecording(i);
    std::printf("wrote %s (recording of channel %d, %d s)\n", paths[i].c_str(),
                pair.config().channels[i], o.recordSeconds);
  }
  return 0;
}

int Run(const livepair::Options& o) {
  std::error_code ec;
  std::filesystem::create_directories(o.out, ec);
  if (!std::filesystem::is_directory(o.out)) return Fail(o.out + ": cannot make the directory");
  std::string error;
  livepair::PairConfig config;
  config.channels = o.channels;
  config.backend = o.display;
  std::unique_ptr<orvix::DvrSimulator> simulator;
  if (o.dvrHost.empty()) {
    if (std::max(o.channels[0], o.channels[1]) > kSimulatorChannels) {
      return Fail("the simulator has channels 1 to 8 only");
    }
    simulator = StartSimulator(o, &error);
    if (!simulator) return Fail(error);
    config.port = simulator->port();
  } else {
    config.host = o.dvrHost;
    config.port = o.dvrPort;
  }
  auto pair = livepair::LivePair::Open(config, &error);
  if (!pair) return Fail(error);
  if (!pair->WaitForPictures(kFirstPictureMs)) {
    return Fail("no pictures from both channels within " + std::to_string(kFirstPictureMs / 1000) +
                " s");
  }
  pair->PumpFor(static_cast<int>(o.seconds * 1000));
  const std::string shot = o.out + "/livepair.png";
  if (!pair->Screenshot(shot, &error)) return Fail(error);
  std::printf("wrote %s (screenshot)\n", shot.c_str());
  PrintReadings(*pair, shot);
  std::vector<std::string> snapshots;
  for (int i = 0; i < livepair::LivePair::kWindows; ++i) {
    std::string path = pair->Snapshot(i, o.out, kSnapshotMs);
    if (path.empty()) return Fail("no snapshot of channel " + std::to_string(o.channels[i]));
    std::printf("wrote %s (snapshot of channel %d)\n", path.c_str(), o.channels[i]);
    snapshots.push_back(path);
  }
  return o.recordSeconds > 0 ? Record(*pair, o, snapshots) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  livepair::Options o;
  try {
    o = livepair::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "livepair: %s\n", e.what());
    return kExitUsage;
  }
  if (o.help) {
    std::fputs(livepair::Usage(), stdout);
    return 0;
  }
  return Run(o);
}
