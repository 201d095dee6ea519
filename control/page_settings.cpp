#include "control/page_settings.h"

#include <cstdio>
#include <cstdlib>

namespace control {
namespace {

// Decimal like the C library reads it: leading digits count, anything else gives 0.
int Decimal(const std::string& text) {
  return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

int ServableChannelCount(int requested) {
  if (requested >= 1 && requested <= kMaxChannels) return requested;
  int served = requested < 1 ? 1 : kMaxChannels;
  std::printf("channel count %d cannot be shown; showing %d\n", requested, served);
  return served;
}

}  // namespace

PageSettings LoadPageSettings(const PropertyReader& read) {
  PageSettings s;
  s.dvrAddr = read("DvrAddr");
  s.chnNumText = read("DvrChnNum");
  s.preview = Decimal(read("Preview")) != 0 ? 1 : 0;
  s.sipName = read("sipName");
  s.lang = read("Lang");
  std::printf("get lang:%s\r\n", s.lang.c_str());
  s.language = s.lang == "en" ? 0 : 1;
  s.defaultChannel = Decimal(read("DefChShow"));
  s.relayState = Decimal(read("RelayState"));
  std::printf("get relay state:%x\r\n", static_cast<unsigned>(s.relayState));
  s.channelCount = ServableChannelCount(Decimal(s.chnNumText));
  return s;
}

}  // namespace control
