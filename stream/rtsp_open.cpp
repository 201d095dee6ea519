#include "stream/rtsp_open.h"

#include <cstring>
#include <string>

#include "stream/report.h"
#include "stream/rtp_sockets.h"
#include "stream/rtsp_io.h"
#include "stream/rtsp_requests.h"
#include "stream/rtsp_session.h"
#include "stream/rtsp_url.h"
#include "stream/sdp.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The host field holds 23 characters; a longer host is kept whole for connecting.
SOCKET Connect(RtspSession* session) {
  std::string host;
  int port = 0;
  if (ParseRtspUrl(session->url.c_str(), &host, &port) != 0) return INVALID_SOCKET;
  std::memset(session->host, 0, sizeof session->host);
  std::strncpy(session->host, host.c_str(), sizeof session->host - 1);
  session->connectHost = host;
  return ConnectRtspServer(host, port, &session->peerAddress, &session->running);
}

SOCKET Fail(SOCKET sock, const char* line) {
  Report("%s", line);
  closesocket(sock);
  return INVALID_SOCKET;
}

void CopySessionMedia(RtspSession* session, const SdpDescription& sdp) {
  session->fMaxPlayEndTime = sdp.fMaxPlayEndTime;
  session->videoClock = sdp.videoClock;
  session->videoPayloadType = static_cast<uint8_t>(sdp.videoPayloadType);
  session->audioClock = sdp.audioClock;
  session->audioPayloadType = static_cast<uint8_t>(sdp.audioPayloadType);
}

void SendOpenings(RtspSession* session) {
  if (session->standard.interleaved) return;
  const MediaAttribute& attr = session->m_Attribute;
  if (attr.rtpSock != INVALID_SOCKET)
    SendOpeningDatagrams(attr.rtpSock, session->peerAddress, session->serverVideoRtpPort);
  if (attr.rtpaudioSock != INVALID_SOCKET)
    SendOpeningDatagrams(attr.rtpaudioSock, session->peerAddress, session->serverAudioRtpPort);
}

// H.265 streams with decoding order numbers may send units out of decoding order, which the
// playout does not put back: such a stream is refused with a line saying so.
bool TakeVideoCoding(RtspSession* session, const std::vector<MediaSubsession>& played) {
  session->videoCodec = VideoCodec::kH264;
  session->videoPrelude.clear();
  for (const MediaSubsession& sub : played) {
    if (sub.codecName != "H265") continue;
    if (sub.decodingOrderNumbers) {
      Report(
          "H.265 with decoding order numbers (sprop-max-don-diff or sprop-depack-buf-nalus above "
          "0) is not supported, chn:%d\n",
          session->channelNumber);
      return false;
    }
    session->videoCodec = VideoCodec::kH265;
    session->videoPrelude = HevcParameterSets(sub);
  }
  return true;
}

}  // namespace

int DecodeHexConfig(const char* text, uint8_t* out, int room) {
  int count = 0;
  for (; count < room; ++count, text += 2) {
    int high = HexValue(text[0]);
    if (high < 0) break;
    int low = HexValue(text[1]);
    if (low < 0) break;
    out[count] = static_cast<uint8_t>(high << 4 | low);
  }
  return count;
}

std::vector<MediaSubsession> PlayedSubsessions(const std::vector<MediaSubsession>& all) {
  std::vector<MediaSubsession> played;
  bool video = false;
  bool audio = false;
  for (const MediaSubsession& sub : all) {
    if (!video && IsVideoCodec(sub.codecName)) {
      video = true;
      played.push_back(sub);
    } else if (!audio && !IsVideoCodec(sub.codecName) &&
               (sub.medium == "audio" || IsAudioCodec(sub.codecName))) {
      audio = true;
      played.push_back(sub);
    }
    if (video && audio) break;
  }
  return played;
}

void ApplyMediaParams(MediaAttribute* attr, const std::vector<MediaSubsession>& subsessions) {
  for (const MediaSubsession& sub : subsessions) {
    if (IsVideoCodec(sub.codecName)) {
      attr->videoClock = sub.clockRate;
      attr->videoPayloadType = static_cast<uint8_t>(sub.payloadType);
      if (sub.config.empty()) continue;
      std::strncpy(attr->config, sub.config.c_str(), kConfigTextMax);
      attr->configLength = DecodeHexConfig(attr->config, attr->configBytes,
                                           static_cast<int>(sizeof attr->configBytes));
      attr->pictureWidth = attr->pictureHeight = 0;
    } else if (IsAudioCodec(sub.codecName)) {
      attr->audioClock = sub.clockRate;
      attr->audioPayloadType = static_cast<uint8_t>(sub.payloadType);
      attr->audioChannels = static_cast<int>(sub.channels);
    }
  }
}

SOCKET OpenRtspSession(RtspSession* session) {
  SOCKET sock = Connect(session);
  Report("socketNum is %d\n", sock);
  if (sock == INVALID_SOCKET) {
    Report("failed to open the URL\n");
    return INVALID_SOCKET;
  }
  std::string text;
  if (SendDescribe(session, sock, &text) != 0)
    return Fail(sock, "Failed to get a SDP description from URL\n");
  SdpDescription sdp;
  if (!ParseSdp(text.c_str(), &sdp)) return Fail(sock, "Failed to initialize a SDP description\n");
  CopySessionMedia(session, sdp);
  // Only what the viewer plays is set up: a description with hundreds of media lines would
  // otherwise cost hundreds of SETUPs (and their ports) for one picture.
  std::vector<MediaSubsession> played = PlayedSubsessions(sdp.subsessions);
  if (!TakeVideoCoding(session, played))
    return Fail(sock, "Failed to initialize a SDP description\n");
  ApplyMediaParams(&session->m_Attribute, played);
  OpenClientPorts(&session->m_Attribute, played.size() > 1);
  for (MediaSubsession& sub : played)
    if (SetupSubsession(session, sock, &sub) != 0)
      return Fail(sock, "Failed to get a SDP description from URL\n");
  if (SendPlay(session, sock, 0) != 0) Report("Play MediaSession failed\n");
  int size = kVideoReceiveBufferBytes;
  setsockopt(session->m_Attribute.rtpSock, SOL_SOCKET, SO_RCVBUF,
             reinterpret_cast<const char*>(&size), sizeof size);
  SendOpenings(session);
  return sock;
}
