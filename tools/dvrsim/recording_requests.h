#pragma once
// The playback side of one RTSP connection: DESCRIBE and SETUP of a recording's URL, and
// PLAY, PAUSE, TEARDOWN and GET_PARAMETER of the sessions set up on them. Everything else is
// the live channels' (RtspConnection). The sessions end with the connection.
//
// Threads: the connection's thread only.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "tools/dvrsim/recording_session.h"
#include "tools/dvrsim/recording_target.h"
#include "tools/dvrsim/rtsp_request.h"

namespace dvrsim {

struct ServerContext;

struct RecordingReply {
  int code = 200;
  std::string headers;  // complete lines with CR LF
  std::string body;
};

class RecordingRequests {
 public:
  RecordingRequests(ServerContext& context, uint32_t peerAddress);
  ~RecordingRequests();
  // The reply when the request is about a recording; nothing when it is not.
  std::optional<RecordingReply> Handle(const RtspRequest& request);

 private:
  RecordingReply Describe(const RtspRequest& r, const RecordingTarget& target);
  RecordingReply Setup(const RtspRequest& r, const RecordingTarget& target);
  RecordingReply Play(const RtspRequest& r, RecordingSession& session);
  RecordingSession* Find(const RtspRequest& r);
  std::string SessionHeader(const RecordingSession& session) const;

  ServerContext& context_;
  uint32_t peer_;
  std::map<std::string, std::unique_ptr<RecordingSession>> sessions_;
};

// The session description of a recording: one H.264 video line, and its length as the range.
std::string BuildRecordingSdp(const PlayableRecording& recording, const std::string& serverAddress);

}  // namespace dvrsim
