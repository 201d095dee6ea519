#pragma once
// Session descriptions (SDP) as the DVR announces them: the session-level play range and one
// MediaSubsession per "m=" line, in SDP order. Pure text in, records out.

#include <cstdint>
#include <string>
#include <vector>

struct MediaSubsession {
  std::string medium;     // video, audio...
  std::string codecName;  // from a=rtpmap
  std::string controlPath;
  std::string config;  // fmtp "config" value, lower case
  // H.265 (RFC 7798) fmtp: the base64 parameter sets of sprop-vps, sprop-sps and sprop-pps in
  // that order (each list split at its commas), and whether the stream carries decoding order
  // numbers (sprop-max-don-diff or sprop-depack-buf-nalus above 0).
  std::vector<std::string> parameterSets;
  bool decodingOrderNumbers = false;
  uint16_t portNumber = 0;
  unsigned channels = 1;
  unsigned clockRate = 0;
  unsigned payloadType = 0;
  int serverRtpPort = 0;
  int serverRtcpPort = 0;
  std::string sessionId;
};

struct SdpDescription {
  std::vector<MediaSubsession> subsessions;
  uint32_t fMaxPlayEndTime = 0;  // milliseconds
  // Clock rate and payload type of the last video (H264, H265, MP4V-ES) and audio (MPA,
  // mpeg4-generic, L16) rtpmap seen.
  unsigned videoClock = 0;
  unsigned videoPayloadType = 0;
  unsigned audioClock = 0;
  unsigned audioPayloadType = 0;
};

bool IsVideoCodec(const std::string& codec);
bool IsAudioCodec(const std::string& codec);

// The subsession's H.265 parameter sets as an Annex B byte stream (each behind 00 00 00 01);
// empty when it has none. A set that is not valid base64 is left out.
std::vector<uint8_t> HevcParameterSets(const MediaSubsession& sub);

// Prints "Invalid SDP line \n" or "Bad SDP line\n" and returns false on a malformed line.
bool ParseSdp(const char* text, SdpDescription* out);
