#pragma once
// The texts of the five RTSP requests the client sends. Each takes the CSeq already
// incremented by the caller; the User-Agent line sits in every request before the final blank
// line.

#include <string>

inline constexpr char kUserAgentLine[] = "User-Agent: tesmar_v20150206\r\n";

std::string FormatDescribe(const std::string& url, int cseq);
// `session` empty: no Session line (before the first successful SETUP).
std::string FormatSetup(const std::string& url, const std::string& control, int cseq, int rtpPort,
                        int rtcpPort, const std::string& session);
// SETUP on `target` as it is (a resolved control URL).
std::string FormatSetupOn(const std::string& target, int cseq, int rtpPort, int rtcpPort,
                          const std::string& session);
// SETUP asking for RTP and RTCP on the RTSP connection, on channels `channel` and `channel` + 1.
std::string FormatSetupInterleaved(const std::string& target, int cseq, int channel,
                                   const std::string& session);
// A start of -1 leaves the range's start empty; the end is always open.
std::string FormatPlay(const std::string& url, int cseq, const std::string& session,
                       int startSeconds);
std::string FormatPause(const std::string& url, int cseq, const std::string& session);
// PLAY and PAUSE on `target` as it is, where the two above add a "/" to the URL.
std::string FormatPlayOn(const std::string& target, int cseq, const std::string& session,
                         int startSeconds);
std::string FormatPauseOn(const std::string& target, int cseq, const std::string& session);
// The keep-alive of a standard server's session: a GET_PARAMETER without a body.
std::string FormatGetParameter(const std::string& target, int cseq, const std::string& session);
std::string FormatTeardown(const std::string& url, int cseq, const std::string& session);
