#pragma once
// The session's requests on its RTSP connection. The public ones (PLAY, PAUSE, TEARDOWN) are
// declared in rtsp_session.h; these are the ones only the opening of a run uses.

#include <string>

#include "platform/net/net.h"

struct RtspSession;
struct MediaSubsession;

constexpr int kSdpBufferBytes = 20000;
constexpr int kDescribeReplyBytes = 20000;
constexpr int kSetupReplyBytes = 10000;
constexpr int kPlayReplyBytes = 10000;
constexpr int kPauseReplyBytes = 1000;
constexpr int kTeardownReplyBytes = 10000;

// DESCRIBE; on success *sdp holds the whole body (Content-Length bytes, fewer than the SDP
// buffer's 20,000).
int SendDescribe(RtspSession* session, SOCKET sock, std::string* sdp);

// SETUP of one track, offering the video client ports for a video codec and the audio ones
// otherwise. Records the server ports and the session token.
int SetupSubsession(RtspSession* session, SOCKET sock, MediaSubsession* subsession);

// Frees what a run holds (url, session id, spare buffer, the four UDP sockets) and clears the
// media fields, as TEARDOWN does whatever its outcome.
void ReleaseSession(RtspSession* session);
