#include "stream/rtsp_messages.h"

std::string FormatDescribe(const std::string& url, int cseq) {
  return "DESCRIBE " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nAccept: application/sdp\r\n" + kUserAgentLine + "\r\n";
}

std::string FormatSetupOn(const std::string& target, int cseq, int rtpPort, int rtcpPort,
                          const std::string& session) {
  std::string line = session.empty() ? "" : "Session: " + session + "\r\n";
  return "SETUP " + target + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nTransport: RTP/AVP;unicast;client_port=" + std::to_string(rtpPort) + "-" +
         std::to_string(rtcpPort) + "\r\n" + kUserAgentLine + line + "\r\n";
}

std::string FormatSetupInterleaved(const std::string& target, int cseq, int channel,
                                   const std::string& session) {
  std::string line = session.empty() ? "" : "Session: " + session + "\r\n";
  return "SETUP " + target + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nTransport: RTP/AVP/TCP;unicast;interleaved=" + std::to_string(channel) + "-" +
         std::to_string(channel + 1) + "\r\n" + kUserAgentLine + line + "\r\n";
}

std::string FormatSetup(const std::string& url, const std::string& control, int cseq, int rtpPort,
                        int rtcpPort, const std::string& session) {
  return FormatSetupOn(url + "/" + control, cseq, rtpPort, rtcpPort, session);
}

std::string FormatPlayOn(const std::string& target, int cseq, const std::string& session,
                         int startSeconds) {
  std::string start = startSeconds == -1 ? "" : std::to_string(startSeconds);
  return "PLAY " + target + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nSession: " + session + "\r\nRange: npt=" + start + "-\r\n" + kUserAgentLine + "\r\n";
}

std::string FormatPlay(const std::string& url, int cseq, const std::string& session,
                       int startSeconds) {
  return FormatPlayOn(url + "/", cseq, session, startSeconds);
}

std::string FormatPauseOn(const std::string& target, int cseq, const std::string& session) {
  return "PAUSE " + target + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nSession: " + session + "\r\n" + kUserAgentLine + "\r\n";
}

std::string FormatPause(const std::string& url, int cseq, const std::string& session) {
  return FormatPauseOn(url + "/", cseq, session);
}

std::string FormatGetParameter(const std::string& target, int cseq, const std::string& session) {
  return "GET_PARAMETER " + target + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nSession: " + session + "\r\n" + kUserAgentLine + "\r\n";
}

std::string FormatTeardown(const std::string& url, int cseq, const std::string& session) {
  return "TEARDOWN " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nSession: " + session + "\r\n" + kUserAgentLine + "\r\n";
}
