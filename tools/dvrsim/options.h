#pragma once

#include <map>
#include <set>
#include <string>

#include "tools/dvrsim/command_options.h"
#include "tools/dvrsim/picture.h"
#include "tools/dvrsim/recorder_options.h"
#include "tools/dvrsim/rtp_packetizer.h"

namespace dvrsim {

struct Options {
  int port = 554;
  std::string bind = "127.0.0.1";
  int channels = 8;
  int width = 352;
  int height = 288;
  int loopFrames = 50;
  bool audio = false;
  int sessionTimeout = 60;
  FaultShares faults;
  std::set<int> silentChannels;
  bool refuse = false;        // close every connection at once, answering nothing
  double closeAfterPlay = 0;  // seconds after PLAY at which the connection is dropped
  unsigned seed = 1;
  bool busy = false;                   // noisy pictures, camera-like bit rates
  bool busyScene = false;              // pictures of a busy, moving scene (scene.h)
  std::map<int, std::string> sources;  // channel (0: every other one) -> file to stream
  bool verbose = false;                // log every request on stderr
  CommandOptions commands;
  RecorderOptions records;
  bool help = false;
};

// What the drawn pictures show behind the digits, as the options ask.
Backdrop PictureBackdrop(const Options& o);

// True when `channel` streams a file instead of drawn pictures.
bool StreamsSource(const Options& o, int channel);

// Parses the command line. Throws std::invalid_argument with a message fit for the user.
Options ParseOptions(int argc, char** argv);

const char* UsageText();

}  // namespace dvrsim
