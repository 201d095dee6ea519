#include "tools/dvrsim/recording_requests.h"

#include <cstdio>

#include "tools/dvrsim/media.h"
#include "tools/dvrsim/net_util.h"
#include "tools/dvrsim/rtsp_connection.h"
#include "tools/dvrsim/rtsp_server.h"

namespace dvrsim {
namespace {

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", s);
  return text;
}

// The URL up to the recording's name: the base its tracks' control paths follow.
std::string RecordingBase(const std::string& url) {
  size_t dot = url.find(".avi");
  return dot == std::string::npos ? url : url.substr(0, dot + 4);
}

}  // namespace

std::string BuildRecordingSdp(const PlayableRecording& rec, const std::string& serverAddress) {
  const std::string pt = std::to_string(kVideoPayloadType);
  std::string sdp = "v=0\r\n";
  sdp += "o=- 1 1 IN IP4 " + serverAddress + "\r\n";
  sdp += "s=Recording " + rec.name + "\r\n";
  sdp += "c=IN IP4 0.0.0.0\r\n";
  sdp += "t=0 0\r\n";
  sdp += "a=control:*\r\n";
  sdp += "a=range:npt=0-" + Seconds(rec.seconds()) + "\r\n";
  sdp += "m=video 0 RTP/AVP " + pt + "\r\n";
  sdp += "a=rtpmap:" + pt + " H264/90000\r\n";
  sdp += "a=fmtp:" + pt + " packetization-mode=1;sprop-parameter-sets=" + Base64(rec.sps) + "," +
         Base64(rec.pps) + "\r\n";
  sdp += "a=framerate:25\r\n";
  sdp += std::string("a=control:") + kVideoControl + "\r\n";
  return sdp;
}

RecordingRequests::RecordingRequests(ServerContext& context, uint32_t peerAddress)
    : context_(context), peer_(peerAddress) {}

RecordingRequests::~RecordingRequests() = default;

std::optional<RecordingReply> RecordingRequests::Handle(const RtspRequest& r) {
  if (r.method == "DESCRIBE" || r.method == "SETUP") {
    auto target = ParseRecordingTarget(r.url);
    if (!target || !context_.recordings) return std::nullopt;
    return r.method == "DESCRIBE" ? Describe(r, *target) : Setup(r, *target);
  }
  if (r.method != "PLAY" && r.method != "PAUSE" && r.method != "TEARDOWN" &&
      r.method != "GET_PARAMETER")
    return std::nullopt;
  RecordingSession* session = Find(r);
  if (session == nullptr) return std::nullopt;
  if (r.method == "PLAY") return Play(r, *session);
  if (r.method == "PAUSE") {
    session->Pause();
    return RecordingReply{200, SessionHeader(*session), ""};
  }
  if (r.method == "GET_PARAMETER") {
    session->Touch();
    return RecordingReply{200, SessionHeader(*session), ""};
  }
  std::string header = SessionHeader(*session);
  context_.Log("tears down playback session " + session->id());
  sessions_.erase(session->id());
  return RecordingReply{200, header, ""};
}

RecordingReply RecordingRequests::Describe(const RtspRequest& r, const RecordingTarget& target) {
  if (!target.control.empty()) return RecordingReply{404, "", ""};
  auto recording = context_.recordings->Open(target.record);
  if (!recording) return RecordingReply{404, "", ""};
  std::string sdp = BuildRecordingSdp(*recording, AddressText(context_.bindAddress));
  return RecordingReply{200,
                        "Content-Base: " + RecordingBase(r.url) +
                            "/\r\nContent-Type: application/sdp\r\nContent-Length: " +
                            std::to_string(sdp.size()) + "\r\n",
                        sdp};
}

RecordingReply RecordingRequests::Setup(const RtspRequest& r, const RecordingTarget& target) {
  if (target.control != kVideoControl) return RecordingReply{404, "", ""};
  auto recording = context_.recordings->Open(target.record);
  if (!recording) return RecordingReply{404, "", ""};
  auto ports = ParseTransport(r.Header("transport"));
  if (!ports) return RecordingReply{461, "", ""};
  RecordingSession* session = nullptr;
  if (!r.Header("session").empty()) {
    if (!(session = Find(r))) return RecordingReply{454, "", ""};
  } else {
    if (sessions_.size() >= kMaxSessionsPerConnection) return RecordingReply{453, "", ""};
    RecordingSessionConfig c;
    c.localAddress = context_.bindAddress;
    c.peerAddress = peer_;
    c.timeoutSeconds = context_.options.sessionTimeout;
    c.seed = context_.options.seed * 7919u + context_.nextSession.load();
    c.stats = &context_.stats;
    std::string id = context_.NewSessionId();
    ++context_.stats.sessionsOpened;
    session = (sessions_[id] = std::make_unique<RecordingSession>(id, recording, c)).get();
  }
  session->Touch();
  if (!session->SetupTrack(ports->rtp, ports->rtcp)) return RecordingReply{453, "", ""};
  Track t = session->track();
  char ssrc[12];
  std::snprintf(ssrc, sizeof ssrc, "%08X", t.ssrc);
  std::string transport = "Transport: RTP/AVP;unicast;client_port=" + std::to_string(t.clientRtp) +
                          "-" + std::to_string(t.clientRtcp) + ";ssrc=" + ssrc +
                          ";server_port=" + std::to_string(t.serverRtp) + "-" +
                          std::to_string(t.serverRtcp) + "\r\n";
  return RecordingReply{200, transport + SessionHeader(*session), ""};
}

RecordingReply RecordingRequests::Play(const RtspRequest& r, RecordingSession& session) {
  std::optional<double> start = ParseNptStart(r.Header("range"));
  auto point = session.Play(start);
  if (!point) return RecordingReply{455, "", ""};
  context_.Log("plays " + session.recording().name + " from " + Seconds(point->npt) + " s" +
               (start ? " (asked " + Seconds(*start) + " s)" : std::string()));
  std::string info = "RTP-Info: url=" + RecordingBase(r.url) + "/" + kVideoControl +
                     ";seq=" + std::to_string(point->seq) +
                     ";rtptime=" + std::to_string(point->rtptime) + "\r\n";
  std::string range =
      "Range: npt=" + Seconds(point->npt) + "-" + Seconds(session.recording().seconds()) + "\r\n";
  return RecordingReply{200, range + SessionHeader(session) + info, ""};
}

RecordingSession* RecordingRequests::Find(const RtspRequest& r) {
  std::string id = r.Header("session");
  id = id.substr(0, id.find(';'));
  while (!id.empty() && (id.back() == ' ' || id.back() == '\t')) id.pop_back();
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return nullptr;
  if (it->second->expired()) {
    context_.Log("playback session " + id + " timed out");
    sessions_.erase(it);
    return nullptr;
  }
  return it->second.get();
}

std::string RecordingRequests::SessionHeader(const RecordingSession& session) const {
  return "Session: " + session.id() +
         ";timeout=" + std::to_string(context_.options.sessionTimeout) + "\r\n";
}

}  // namespace dvrsim
