#pragma once
// The page's properties as the control reads them once, before its window exists.

#include <functional>
#include <string>

namespace control {

constexpr int kMaxChannels = 8;  // session slots of a control

struct PageSettings {
  std::string dvrAddr;
  std::string chnNumText;
  std::string sipName;
  std::string lang;
  int channelCount = 9;
  int defaultChannel = 0;
  int preview = 0;
  int relayState = 0;
  int language = 1;  // 0 English ("en" exactly), 1 the second language
};

// Reads one property by name; a missing property reads as empty.
using PropertyReader = std::function<std::string(const char* name)>;

// Reads "DvrAddr", "DvrChnNum", "Preview", "sipName", "Lang", "DefChShow" and "RelayState",
// printing "get lang:%s\r\n" and "get relay state:%x\r\n". A channel count outside 1 to 8
// cannot be served by the eight session slots: it is brought into that range and reported.
PageSettings LoadPageSettings(const PropertyReader& read);

}  // namespace control
