#include "stream/sdp.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
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

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The H.265 parameters, read from the fmtp text as written: base64 is case sensitive.
void ParseHevcFmtp(const std::string& rest, MediaSubsession* media) {
  std::vector<std::string> sets[3];
  static const char* const kSets[3] = {"sprop-vps", "sprop-sps", "sprop-pps"};
  size_t from = 0;
  while (from <= rest.size()) {
    size_t semi = rest.find(';', from);
    std::string part = rest.substr(from, semi == std::string::npos ? semi : semi - from);
    size_t eq = part.find('=');
    if (eq != std::string::npos) {
      std::string name = Trimmed(part.substr(0, eq));
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      std::string value = Trimmed(part.substr(eq + 1));
      for (int i = 0; i < 3; ++i) {
        if (name != kSets[i]) continue;
        for (size_t start = 0; start <= value.size();) {
          size_t comma = value.find(',', start);
          std::string one = value.substr(start, comma == std::string::npos ? comma : comma - start);
          if (!one.empty()) sets[i].push_back(one);
          if (comma == std::string::npos) break;
          start = comma + 1;
        }
      }
      if ((name == "sprop-max-don-diff" || name == "sprop-depack-buf-nalus") &&
          std::strtol(value.c_str(), nullptr, 10) != 0)
        media->decodingOrderNumbers = true;
    }
    if (semi == std::string::npos) break;
    from = semi + 1;
  }
  media->parameterSets.clear();
  for (auto& set : sets)
    media->parameterSets.insert(media->parameterSets.end(), set.begin(), set.end());
}

bool ParseFmtp(const std::string& line, MediaSubsession* media) {
  if (line.compare(0, 7, "a=fmtp:") != 0) return false;
  size_t at = 7;
  while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
  std::string rest = line.substr(at);
  if (media->codecName == "H265") ParseHevcFmtp(rest, media);
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

bool IsVideoCodec(const std::string& codec) {
  return codec == "H264" || codec == "H265" || codec == "MP4V-ES";
}

bool IsAudioCodec(const std::string& codec) {
  return codec == "MPA" || codec == "mpeg4-generic" || codec == "L16";
}

namespace {

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+' || c == '-') return 62;  // the URL-safe alphabet too
  if (c == '/' || c == '_') return 63;
  return -1;
}

// Padding optional; false on any other character or a dangling sextet.
bool DecodeBase64(const std::string& text, std::vector<uint8_t>* out) {
  uint32_t bits = 0;
  int count = 0;
  size_t end = text.find_last_not_of('=');
  if (end == std::string::npos) return false;
  for (size_t i = 0; i <= end; ++i) {
    int v = Base64Value(text[i]);
    if (v < 0) return false;
    bits = bits << 6 | static_cast<uint32_t>(v);
    if (++count == 4) {
      out->push_back(static_cast<uint8_t>(bits >> 16));
      out->push_back(static_cast<uint8_t>(bits >> 8));
      out->push_back(static_cast<uint8_t>(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 1) return false;
  if (count == 2) out->push_back(static_cast<uint8_t>(bits >> 4));
  if (count == 3) {
    out->push_back(static_cast<uint8_t>(bits >> 10));
    out->push_back(static_cast<uint8_t>(bits >> 2));
  }
  return true;
}

}  // namespace

std::vector<uint8_t> HevcParameterSets(const MediaSubsession& sub) {
  std::vector<uint8_t> stream;
  for (const std::string& set : sub.parameterSets) {
    std::vector<uint8_t> unit;
    // A unit shorter than its 2-byte header is no parameter set.
    if (!DecodeBase64(set, &unit) || unit.size() < 2) continue;
    stream.insert(stream.end(), {0, 0, 0, 1});
    stream.insert(stream.end(), unit.begin(), unit.end());
  }
  return stream;
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
