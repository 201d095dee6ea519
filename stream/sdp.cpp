#include "stream/sdp.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

std::vector<std::string> Lines(const char* text) {
  std::vector<std::string> lines;
  std::string line;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += *p;
    }
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool ValidLine(const std::string& line) {
  return line.empty() ||
         (line.size() >= 2 && std::islower(static_cast<unsigned char>(line[0])) && line[1] == '=');
}

// "a=range:npt=0-<end>": the end's digits with the point removed, scaled to thousandths.
bool RangeEnd(const std::string& line, uint32_t* ms) {
  static constexpr char kPrefix[] = "a=range:npt=0-";
  if (line.compare(0, sizeof kPrefix - 1, kPrefix) != 0) return false;
  std::string end = line.substr(sizeof kPrefix - 1);
  end = end.substr(0, end.find_first_of(" \t"));
  if (end.empty()) return false;
  uint64_t whole = 0;
  int decimals = -1;
  bool any = false;
  for (char c : end) {
    if (c == '.' && decimals < 0) {
      decimals = 0;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      if (decimals >= 3) continue;
      if (decimals >= 0) ++decimals;
      whole = whole * 10 + (c - '0');
      if (whole > 0xFFFFFFFFull) whole = 0xFFFFFFFFull;
      any = true;
    } else {
      break;
    }
  }
  if (!any) return false;
  for (int d = decimals < 0 ? 0 : decimals; d < 3; ++d) whole = whole * 10;
  *ms = whole > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(whole);
  return true;
}

bool ParseMediaLine(const std::string& line, MediaSubsession* media) {
  char medium[64] = {};
  unsigned short port = 0;
  unsigned payload = 0;
  if (std::sscanf(line.c_str(), "m=%63s %hu RTP/AVP %u", medium, &port, &payload) != 3 ||
      payload > 127) {
    std::printf("Bad SDP line\n");
    return false;
  }
  media->medium = medium;
  media->portNumber = port;
  media->payloadType = payload;
  return true;
}

bool ParseRtpmap(const std::string& line, MediaSubsession* media, SdpDescription* out) {
  unsigned payload = 0, clock = 0, channels = 1;
  char codec[128] = {};
  const char* s = line.c_str();
  if (std::sscanf(s, "a=rtpmap: %u %127[^/]/%u/%u", &payload, codec, &clock, &channels) != 4) {
    channels = 1;
    if (std::sscanf(s, "a=rtpmap: %u %127[^/]/%u", &payload, codec, &clock) != 3 &&
        std::sscanf(s, "a=rtpmap: %u %127s", &payload, codec) != 2)
      return false;
  }
  media->codecName = codec;
  media->clockRate = clock;
  media->channels = channels;
  if (IsVideoCodec(media->codecName)) {
    out->videoClock = clock;
    out->videoPayloadType = payload;
  } else if (IsAudioCodec(media->codecName)) {
    out->audioClock = clock;
    out->audioPayloadType = payload;
  }
  return true;
}

bool ParseFmtp(const std::string& line, MediaSubsession* media) {
  if (line.compare(0, 7, "a=fmtp:") != 0) return false;
  size_t at = 7;
  while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
  std::string rest = line.substr(at);
  for (char& c : rest) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t from = 0;
  while (media->config.empty() && from <= rest.size()) {
    size_t semi = rest.find(';', from);
    std::string part = rest.substr(from, semi == std::string::npos ? semi : semi - from);
    char value[256] = {};
    if (std::sscanf(part.c_str(), " config = %255[^; \t\r\n]", value) == 1) media->config = value;
    if (semi == std::string::npos) break;
    from = semi + 1;
  }
  return true;
}

void ParseAttribute(const std::string& line, MediaSubsession* media, SdpDescription* out) {
  if (ParseRtpmap(line, media, out)) return;
  char control[1024] = {};
  if (std::sscanf(line.c_str(), "a=control:%1023s", control) == 1) {
    media->controlPath = control;
    return;
  }
  ParseFmtp(line, media);
}

void ParseRange(const std::string& line, SdpDescription* out) {
  uint32_t ms = 0;
  if (!RangeEnd(line, &ms)) return;
  if (ms > out->fMaxPlayEndTime) out->fMaxPlayEndTime = ms;
  std::printf("fMaxPlayEndTime is %lu\n", static_cast<unsigned long>(out->fMaxPlayEndTime));
}

}  // namespace

bool IsVideoCodec(const std::string& codec) { return codec == "H264" || codec == "MP4V-ES"; }

bool IsAudioCodec(const std::string& codec) {
  return codec == "MPA" || codec == "mpeg4-generic" || codec == "L16";
}

bool ParseSdp(const char* text, SdpDescription* out) {
  *out = SdpDescription{};
  for (const std::string& line : Lines(text)) {
    if (!ValidLine(line)) {
      std::printf("Invalid SDP line \n");
      *out = SdpDescription{};
      return false;
    }
    if (line.compare(0, 2, "m=") == 0) {
      out->subsessions.emplace_back();
      if (!ParseMediaLine(line, &out->subsessions.back())) {
        *out = SdpDescription{};
        return false;
      }
    } else if (out->subsessions.empty()) {
      ParseRange(line, out);
    } else {
      ParseAttribute(line, &out->subsessions.back(), out);
    }
  }
  return true;
}
