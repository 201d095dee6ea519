#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "platform/net/net.h"
#include "tools/dvrsim/recording_requests.h"
#include "tools/dvrsim/rtsp_request.h"
#include "tools/dvrsim/rtsp_server.h"

namespace dvrsim {

// One client's RTSP connection: reads requests, answers them, and owns the sessions set up
// on it (they end with the connection).
class RtspConnection {
 public:
  RtspConnection(SOCKET s, uint32_t peerAddress, int peerPort, ServerContext& context);
  ~RtspConnection();
  void Run();

 private:
  struct Reply {
    int code = 200;
    std::string headers;  // complete lines with CR LF
    std::string body;
  };

  bool ReadRequest(RtspRequest& request);
  bool FillBuffer();
  bool CloseDue() const;
  bool HoldsStoppedChannel() const;
  // False when the reply could not be sent.
  bool Answer(const RtspRequest& request);
  Reply Dispatch(const RtspRequest& request);
  Reply Describe(const RtspRequest& request, const RtspTarget& target);
  Reply Setup(const RtspRequest& request, const RtspTarget& target);
  Reply Play(const RtspRequest& request, const RtspTarget& target);
  Reply Pause(const RtspRequest& request);
  Reply Teardown(const RtspRequest& request);
  // A session on the channel; null when the connection holds too many.
  StreamSession* NewSession(const ChannelLoop* loop);
  // The session named by the request's Session header (its parameters cut off), or null.
  StreamSession* FindSession(const RtspRequest& request);
  std::string SessionHeader(const StreamSession& session) const;
  bool Send(int code, const std::string& cseq, const Reply& reply);

  SOCKET socket_;
  uint32_t peer_;
  std::string peerText_;
  ServerContext& context_;
  std::string buffer_;
  std::map<std::string, std::unique_ptr<StreamSession>> sessions_;
  RecordingRequests recordings_;  // the recordings played on this connection
  bool played_ = false;
  std::chrono::steady_clock::time_point playedAt_;
};

inline constexpr size_t kMaxSessionsPerConnection = 16;

const char* ReasonPhrase(int code);

}  // namespace dvrsim
