#pragma once
// Test support: a standard RTSP server on loopback, strict where the DVR is lenient. It gives
// the description of a file (audio listed before video), takes SETUP only on the control URLs
// resolved the standard way, and, as configured, refuses a Session token sent back with its
// parameters (454) and PLAY on the URL with a trailing slash (404). Refusals carry a body, as
// such servers' do.

#include <atomic>
#include <string>

#include "stream/test_rtsp_server.h"

class StandardServer {
 public:
  struct Settings {
    bool absoluteControl = true;
    // Content-Base, relative to the server's root ("clip/"); empty: none given.
    std::string contentBase;
    bool strictSession = true;
    bool strictPlayUrl = true;
    // "Basic" or "Digest": every request needs an Authorization for `user` and `password`;
    // a Digest server offers Basic first and Digest (qop=auth) after it.
    std::string authScheme;
    std::string user = "admin";
    std::string password = "s3cr3t-Pw";
    // Transports taken: a refused UDP SETUP gets 461. After PLAY of an interleaved session the
    // server sends kInterleavedVideoFrames RTP frames on channel 0, with an RTCP frame, an RTSP
    // message whose body holds a '$', and stray bytes among them; the same go ahead of its
    // TEARDOWN reply.
    bool udp = true;
    bool tcp = true;
    // The session's ";timeout=" in seconds; GET_PARAMETER is answered with 200.
    int sessionTimeout = 60;
  };
  static constexpr int kInterleavedVideoFrames = 5;
  explicit StandardServer(Settings settings);

  std::string Url() const { return server_.Url("file.ts"); }
  // The base controls are resolved against.
  std::string Base() const;
  ScriptedRtspServer& Server() { return server_; }

  UdpEndpoint videoRtp, videoRtcp, audioRtp, audioRtcp;

 private:
  std::string Respond(const std::string& request);
  bool Authorized(const std::string& request) const;
  std::string Describe(int cseq) const;
  std::string Setup(const std::string& target, const std::string& session, int cseq) const;
  std::string Play(const std::string& method, const std::string& target, const std::string& session,
                   int cseq) const;

  std::string Frames() const;

  Settings settings_;
  std::atomic<bool> interleaved_{false};  // the last SETUP asked for TCP
  ScriptedRtspServer server_;
};

// Reply text with status, CSeq, extra header lines and an optional body.
std::string StandardReply(int status, int cseq, const std::string& headers,
                          const std::string& body = "");
// The request's method and target ("SETUP", "rtsp://..."), and the value of a header line.
std::string RequestMethod(const std::string& request);
std::string RequestTarget(const std::string& request);
std::string RequestHeader(const std::string& request, const std::string& name);
