#pragma once

#include <map>
#include <optional>
#include <string>

namespace dvrsim {

// One RTSP request as read from the wire. Header names are kept lower-cased.
struct RtspRequest {
  std::string method;
  std::string url;
  std::string version;
  std::map<std::string, std::string> headers;
  size_t contentLength = 0;

  std::string Header(const std::string& lowerName) const;
};

inline constexpr size_t kMaxRequestHeader = 8192;
inline constexpr size_t kMaxRequestBody = 65536;

// Parses a header block (request line and header lines, ending with an empty line).
// Returns nothing for a malformed block.
std::optional<RtspRequest> ParseRtspRequest(const std::string& block);

// Target of a request URL: the channel of "/N.live" and what follows it ("" or a control
// path such as "track1"). channel is 0 when the path names no channel.
struct RtspTarget {
  int channel = 0;
  std::string control;
};
RtspTarget ParseRtspTarget(const std::string& url);

// Client RTP and RTCP ports of a "Transport:" header; nothing unless it asks for unicast
// RTP over UDP with a client_port pair.
struct ClientPorts {
  int rtp = 0;
  int rtcp = 0;
};
std::optional<ClientPorts> ParseTransport(const std::string& transport);

}  // namespace dvrsim
