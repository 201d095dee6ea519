#include "tools/dvrsim/rtsp_connection.h"

#include <cstdio>

#include "tools/dvrsim/net_util.h"

namespace dvrsim {
namespace {

constexpr int kPollMs = 100;

std::string HostOf(const std::string& url) {
  if (url.compare(0, 7, "rtsp://") != 0) return "";
  size_t end = url.find('/', 7);
  return url.substr(0, end == std::string::npos ? url.size() : end);
}

}  // namespace

const char* ReasonPhrase(int code) {
  switch (code) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 453:
      return "Not Enough Bandwidth";
    case 454:
      return "Session Not Found";
    case 455:
      return "Method Not Valid in This State";
    case 459:
      return "Aggregate Operation Not Allowed";
    case 461:
      return "Unsupported Transport";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    default:
      return "Error";
  }
}

RtspConnection::RtspConnection(SOCKET s, uint32_t peerAddress, int peerPort, ServerContext& context)
    : socket_(s),
      peer_(peerAddress),
      peerText_(AddressText(peerAddress) + ":" + std::to_string(peerPort)),
      context_(context),
      recordings_(context, peerAddress) {}

RtspConnection::~RtspConnection() {
  sessions_.clear();  // stops the senders before the socket goes
  closesocket(socket_);
}

void RtspConnection::Run() {
  context_.Log("connection from " + peerText_);
  RtspRequest request;
  while (ReadRequest(request) && Answer(request)) {
  }
  if (HoldsStoppedChannel()) {
    context_.Log("closing " + peerText_ + ": its channel was stopped");
  } else if (CloseDue()) {
    context_.Log("closing " + peerText_ + " after PLAY, as asked");
  }
  context_.Log("connection from " + peerText_ + " closed");
}

bool RtspConnection::HoldsStoppedChannel() const {
  for (const auto& entry : sessions_) {
    if (context_.ChannelStopped(entry.second->channel())) return true;
  }
  return false;
}

bool RtspConnection::CloseDue() const {
  if (HoldsStoppedChannel()) return true;
  if (!played_ || context_.options.closeAfterPlay <= 0) return false;
  auto limit = std::chrono::duration<double>(context_.options.closeAfterPlay);
  return std::chrono::steady_clock::now() - playedAt_ >= limit;
}

// Reads more bytes into the buffer; false when the peer closed, the server stops or the
// connection is due to be dropped.
bool RtspConnection::FillBuffer() {
  while (!context_.stopping && !CloseDue()) {
    if (!WaitReadable(&socket_, 1, kPollMs)) continue;
    char chunk[4096];
    int n = recv(socket_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<size_t>(n));
    return true;
  }
  return false;
}

bool RtspConnection::ReadRequest(RtspRequest& request) {
  size_t end;
  while ((end = buffer_.find("\r\n\r\n")) == std::string::npos) {
    // Stray line breaks between requests are allowed.
    while (buffer_.size() >= 2 && buffer_.compare(0, 2, "\r\n") == 0) buffer_.erase(0, 2);
    if (buffer_.size() > kMaxRequestHeader) {
      Send(400, "", Reply{400, "", ""});
      return false;
    }
    if (!FillBuffer()) return false;
  }
  auto parsed = ParseRtspRequest(buffer_.substr(0, end + 4));
  if (!parsed) {
    // The body's length is unknown, so nothing after this can be trusted.
    Send(400, "", Reply{400, "", ""});
    return false;
  }
  buffer_.erase(0, end + 4);
  while (buffer_.size() < parsed->contentLength) {
    if (!FillBuffer()) return false;
  }
  buffer_.erase(0, parsed->contentLength);
  request = std::move(*parsed);
  return true;
}

bool RtspConnection::Answer(const RtspRequest& request) {
  Reply reply = Dispatch(request);
  if (context_.options.verbose) {
    context_.Log(peerText_ + " " + request.method + " " + request.url + " -> " +
                 std::to_string(reply.code));
  }
  return Send(reply.code, request.Header("cseq"), reply);
}

RtspConnection::Reply RtspConnection::Dispatch(const RtspRequest& r) {
  if (auto reply = recordings_.Handle(r)) return Reply{reply->code, reply->headers, reply->body};
  RtspTarget target = ParseRtspTarget(r.url);
  if (r.method == "OPTIONS") {
    return Reply{200, "Public: OPTIONS, DESCRIBE, SETUP, PLAY, PAUSE, TEARDOWN, GET_PARAMETER\r\n",
                 ""};
  }
  if (r.method == "GET_PARAMETER" || r.method == "SET_PARAMETER") {
    if (StreamSession* s = FindSession(r)) s->Touch();
    return Reply{200, "", ""};
  }
  if (r.method == "DESCRIBE") return Describe(r, target);
  if (r.method == "SETUP") return Setup(r, target);
  if (r.method == "PLAY") return Play(r, target);
  if (r.method == "PAUSE") return Pause(r);
  if (r.method == "TEARDOWN") return Teardown(r);
  return Reply{501, "", ""};
}

RtspConnection::Reply RtspConnection::Describe(const RtspRequest& r, const RtspTarget& target) {
  const ChannelLoop* loop = context_.Loop(target.channel);
  if (!loop || !target.control.empty()) return Reply{404, "", ""};
  std::string base = HostOf(r.url) + "/" + std::to_string(target.channel) + ".live/";
  std::string sdp = BuildLiveSdp(*loop, AddressText(context_.bindAddress), context_.options.audio,
                                 context_.nextSession.load() + 1);
  return Reply{200,
               "Content-Base: " + base + "\r\nContent-Type: application/sdp\r\n" +
                   "Content-Length: " + std::to_string(sdp.size()) + "\r\n",
               sdp};
}

RtspConnection::Reply RtspConnection::Setup(const RtspRequest& r, const RtspTarget& target) {
  const ChannelLoop* loop = context_.Loop(target.channel);
  int index = target.control == kVideoControl                             ? kVideoTrack
              : context_.options.audio && target.control == kAudioControl ? kAudioTrack
                                                                          : -1;
  if (!loop || index < 0) return Reply{404, "", ""};
  auto ports = ParseTransport(r.Header("transport"));
  if (!ports) return Reply{461, "", ""};
  StreamSession* session = nullptr;
  if (!r.Header("session").empty()) {
    session = FindSession(r);
    if (!session) return Reply{454, "", ""};
    if (session->channel() != target.channel) return Reply{459, "", ""};
    if (session->playing()) return Reply{455, "", ""};
  } else if (!(session = NewSession(loop))) {
    return Reply{453, "", ""};
  }
  session->Touch();
  if (!session->SetupTrack(index, ports->rtp, ports->rtcp)) return Reply{453, "", ""};
  Track t = session->track(index);
  char ssrc[12];
  std::snprintf(ssrc, sizeof ssrc, "%08X", t.ssrc);
  // server_port comes last: some clients read its value up to the end of the line.
  std::string transport = "Transport: RTP/AVP;unicast;client_port=" + std::to_string(t.clientRtp) +
                          "-" + std::to_string(t.clientRtcp) + ";ssrc=" + ssrc +
                          ";server_port=" + std::to_string(t.serverRtp) + "-" +
                          std::to_string(t.serverRtcp) + "\r\n";
  return Reply{200, transport + SessionHeader(*session), ""};
}

RtspConnection::Reply RtspConnection::Play(const RtspRequest& r, const RtspTarget& target) {
  StreamSession* session = FindSession(r);
  if (!session) return Reply{454, "", ""};
  if (target.channel != 0 && target.channel != session->channel()) return Reply{459, "", ""};
  bool first = !played_;
  if (!session->Play()) return Reply{455, "", ""};
  context_.Log(peerText_ + " plays channel " + std::to_string(session->channel()) + " (session " +
               session->id() + ")");
  if (first) {
    played_ = true;
    playedAt_ = std::chrono::steady_clock::now();
  }
  std::string base = HostOf(r.url) + "/" + std::to_string(session->channel()) + ".live/";
  std::string info = "RTP-Info: url=" + base + kVideoControl +
                     ";seq=" + std::to_string(session->firstSequence()) +
                     ";rtptime=" + std::to_string(session->firstTimestamp()) + "\r\n";
  // Live: whatever start was asked for, the picture is the current one.
  return Reply{200, "Range: npt=0.000-\r\n" + SessionHeader(*session) + info, ""};
}

RtspConnection::Reply RtspConnection::Pause(const RtspRequest& r) {
  StreamSession* session = FindSession(r);
  if (!session) return Reply{454, "", ""};
  session->Pause();
  return Reply{200, SessionHeader(*session), ""};
}

RtspConnection::Reply RtspConnection::Teardown(const RtspRequest& r) {
  StreamSession* session = FindSession(r);
  if (!session) return Reply{454, "", ""};
  std::string header = SessionHeader(*session);
  context_.Log(peerText_ + " tears down session " + session->id());
  sessions_.erase(session->id());
  return Reply{200, header, ""};
}

StreamSession* RtspConnection::NewSession(const ChannelLoop* loop) {
  // Each session holds sockets: a client that only ever sets up must not use them all.
  if (sessions_.size() >= kMaxSessionsPerConnection) return nullptr;
  SessionConfig c;
  c.loop = loop;
  c.silent = context_.options.silentChannels.count(loop->channel) > 0;
  c.faults = context_.options.faults;
  c.seed = context_.options.seed * 7919u + context_.nextSession.load();
  c.timeoutSeconds = context_.options.sessionTimeout;
  c.localAddress = context_.bindAddress;
  c.peerAddress = peer_;
  c.stats = &context_.stats;
  std::string id = context_.NewSessionId();
  ++context_.stats.sessionsOpened;
  return (sessions_[id] = std::make_unique<StreamSession>(id, c)).get();
}

StreamSession* RtspConnection::FindSession(const RtspRequest& r) {
  std::string id = r.Header("session");
  id = id.substr(0, id.find(';'));
  while (!id.empty() && (id.back() == ' ' || id.back() == '\t')) id.pop_back();
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return nullptr;
  if (it->second->expired()) {
    context_.Log("session " + id + " timed out");
    sessions_.erase(it);
    return nullptr;
  }
  return it->second.get();
}

std::string RtspConnection::SessionHeader(const StreamSession& session) const {
  return "Session: " + session.id() +
         ";timeout=" + std::to_string(context_.options.sessionTimeout) + "\r\n";
}

bool RtspConnection::Send(int code, const std::string& cseq, const Reply& reply) {
  std::string text = "RTSP/1.0 " + std::to_string(code) + " " + ReasonPhrase(code) + "\r\n";
  if (!cseq.empty()) text += "CSeq: " + cseq + "\r\n";
  text += "Server: dvrsim\r\n" + reply.headers + "\r\n" + reply.body;
  return SendAll(socket_, text);
}

}  // namespace dvrsim
