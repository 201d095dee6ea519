#include "tools/dvrsim/rtsp_request.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

namespace dvrsim {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ReadInt(const std::string& s, int& out) {
  const char* b = s.data();
  const char* e = s.data() + s.size();
  auto r = std::from_chars(b, e, out);
  return r.ec == std::errc() && r.ptr == e;
}

}  // namespace

std::string RtspRequest::Header(const std::string& lowerName) const {
  auto it = headers.find(lowerName);
  return it == headers.end() ? "" : it->second;
}

std::optional<RtspRequest> ParseRtspRequest(const std::string& block) {
  std::istringstream in(block);
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  RtspRequest req;
  std::istringstream first(Trim(line));
  std::string extra;
  if (!(first >> req.method >> req.url >> req.version) || (first >> extra)) return std::nullopt;
  if (req.version.rfind("RTSP/", 0) != 0) return std::nullopt;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty()) break;
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    req.headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
  }
  std::string length = req.Header("content-length");
  if (!length.empty()) {
    int n = 0;
    if (!ReadInt(length, n) || n < 0 || static_cast<size_t>(n) > kMaxRequestBody)
      return std::nullopt;
    req.contentLength = static_cast<size_t>(n);
  }
  return req;
}

RtspTarget ParseRtspTarget(const std::string& url) {
  RtspTarget target;
  std::string path = url;
  if (Lower(url.substr(0, 7)) == "rtsp://") {
    size_t slash = url.find('/', 7);
    path = slash == std::string::npos ? "/" : url.substr(slash);
  }
  if (path.empty() || path[0] != '/') return target;
  size_t dot = path.find(".live");
  if (dot == std::string::npos || dot < 2) return target;
  int channel = 0;
  if (!ReadInt(path.substr(1, dot - 1), channel) || channel <= 0) return target;
  std::string rest = path.substr(dot + 5);
  if (!rest.empty() && rest[0] != '/') return target;
  while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  target.channel = channel;
  target.control = rest;
  return target;
}

std::optional<ClientPorts> ParseTransport(const std::string& transport) {
  std::string t = Lower(transport);
  // Only the first offered transport counts; others are alternatives.
  t = t.substr(0, t.find(','));
  if (t.rfind("rtp/avp", 0) != 0 || t.rfind("rtp/avp/tcp", 0) == 0) return std::nullopt;
  if (t.find("interleaved") != std::string::npos) return std::nullopt;
  size_t at = t.find("client_port=");
  if (at == std::string::npos) return std::nullopt;
  std::string value = t.substr(at + 12, t.find(';', at) - (at + 12));
  size_t dash = value.find('-');
  ClientPorts ports;
  if (dash == std::string::npos) {
    if (!ReadInt(value, ports.rtp)) return std::nullopt;
    ports.rtcp = ports.rtp + 1;
  } else if (!ReadInt(value.substr(0, dash), ports.rtp) ||
             !ReadInt(value.substr(dash + 1), ports.rtcp)) {
    return std::nullopt;
  }
  if (ports.rtp <= 0 || ports.rtp > 65535 || ports.rtcp <= 0 || ports.rtcp > 65535)
    return std::nullopt;
  return ports;
}

}  // namespace dvrsim
