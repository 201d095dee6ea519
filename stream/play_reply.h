#pragma once
// What a PLAY reply says about where the stream starts: the "Range: npt=" start the server
// chose (a recording starts from the key frame before the position asked for) and, from
// "RTP-Info:", the sequence number and RTP time of its first packet. No I/O: it reads the
// reply header text the session collected.

#include <cstdint>
#include <optional>

struct PlayStart {
  std::optional<double> npt;  // seconds
  std::optional<uint16_t> seq;
  std::optional<uint32_t> rtptime;
};

// The values of the reply header `text`; each is left out when its header or parameter is
// missing or malformed. Of several RTP-Info entries the first (the first track set up) counts.
PlayStart ParsePlayStart(const char* text);
