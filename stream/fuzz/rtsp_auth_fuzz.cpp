// 401 replies and URLs as a hostile server or a mistyped address gives them: whatever the
// challenge and the credentials, the Authorization line stays one header line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "stream/rtsp_auth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  // Replies reach the parser as NUL-terminated text; the URL is the part after a NUL, if any.
  size_t split = input.find('\0');
  std::string reply = input.substr(0, split);
  std::string url = split == std::string::npos ? "rtsp://u:p@h/" : input.substr(split + 1);
  std::string bare;
  Credentials who;
  if (!SplitUrlCredentials(url, &bare, &who)) return 0;
  if (bare.size() > url.size()) __builtin_trap();
  auto challenge = ParseAuthChallenge(reply);
  if (!challenge) return 0;
  for (bool qop : {false, true}) {
    challenge->qopAuth = qop;
    std::string line = AuthorizationLine(*challenge, who, "DESCRIBE", bare, 1, "0a4f113b");
    if (line.size() < 2 || line.find_first_of("\r\n") != line.size() - 2) __builtin_trap();
  }
  return 0;
}
