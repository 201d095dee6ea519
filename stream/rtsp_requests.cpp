#include "stream/rtsp_requests.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "platform/kernel/clock.h"
#include "stream/play_reply.h"
#include "stream/report.h"
#include "stream/rtp_sockets.h"
#include "stream/rtsp_io.h"
#include "stream/rtsp_messages.h"
#include "stream/rtsp_retry.h"
#include "stream/rtsp_session.h"
#include "stream/rtsp_standard.h"
#include "stream/sdp.h"

namespace {

// The status line's code; prints `refused` for anything but 200.
std::optional<unsigned> Status(const char* text) {
  auto code = ParseStatusCode(text);
  if (!code) Report("no response code in line\n");
  return code;
}

bool StatusOk(const char* text, const char* refused) {
  auto code = Status(text);
  if (!code) return false;
  if (*code == 200) return true;
  Report("%s", refused);
  return false;
}

bool HaveSession(const RtspSession* session) {
  if (!session->sessionId.empty()) return true;
  Report("No RTSP session is currently in progress\n");
  return false;
}

// The DESCRIBE body, piece by piece. A DVR that stops sending mid-body, or sends it a byte at a
// time, would otherwise hold the session thread for ever, so the whole body has the reply
// reader's 30-second limit, and a stop ends the wait.
bool ReadBody(SOCKET sock, int length, std::string* body, const std::atomic<int>* running) {
  body->clear();
  char piece[4096];
  const DWORD start = GetTickCount();
  while (static_cast<int>(body->size()) < length) {
    const int spent = static_cast<int>(GetTickCount() - start);
    if (spent >= kReplySeconds * 1000 ||
        !WaitReadyMs(sock, false, kReplySeconds * 1000 - spent, running)) {
      Report("socket is unreadable\n");
      return false;
    }
    int want = std::min<int>(length - static_cast<int>(body->size()), sizeof piece);
    int got = recv(sock, piece, want, 0);
    if (got <= 0) return false;
    body->append(piece, got);
  }
  return true;
}

int SetupFailed() {
  Report("Setup MediaSubsession Failed\n");
  return -1;
}

void StoreServerPorts(RtspSession* session, MediaSubsession* sub, const char* reply) {
  FindServerPorts(reply, &sub->serverRtpPort, &sub->serverRtcpPort);
  if (IsVideoCodec(sub->codecName)) {
    session->serverVideoRtpPort = sub->serverRtpPort;
    session->serverVideoRtcpPort = sub->serverRtcpPort;
  } else {
    session->serverAudioRtpPort = sub->serverRtpPort;
    session->serverAudioRtcpPort = sub->serverRtcpPort;
  }
}

// A refusal's body must be read before the next request, or it would be taken for the next
// reply. False when there is none to skip but it cannot be read whole.
bool SkipBody(RtspSession* session, SOCKET sock, const char* reply) {
  auto length = FindContentLength(reply);
  if (!length || *length == 0) return true;
  std::string body;
  return *length > 0 && *length < kSdpBufferBytes &&
         ReadBody(sock, *length, &body, &session->running);
}

// Whether a refused request goes again in another form: after a challenge to answer, or a
// standard refusal with a form left to switch (`next`). The refusal's body is read first.
template <typename Next>
bool Retry(RtspSession* session, SOCKET sock, const char* reply, unsigned status, Next next) {
  if (status != 401 && status != kUnsupportedTransport && !IsStandardRefusal(status)) return false;
  if (!SkipBody(session, sock, reply)) return false;
  return status == 401 ? AnswerChallenge(session, reply) : next();
}

// One request and its reply header, with the Authorization line the server asked for.
bool Exchange(RtspSession* session, SOCKET sock, const std::string& text, ReplyHeader* reply,
              const char* sendFailed) {
  return SendRequest(sock, Authorized(session, text), kRequestWriteSeconds, sendFailed,
                     &session->running) &&
         ReadRtspReply(sock, reply, false, &session->running) > 0;
}

}  // namespace

int SendDescribe(RtspSession* session, SOCKET sock, std::string* sdp) try {
  ReplyHeader reply(kDescribeReplyBytes);
  for (;;) {
    std::string text = FormatDescribe(session->url, ++session->cseq);
    reply = ReplyHeader(kDescribeReplyBytes);
    if (!Exchange(session, sock, text, &reply, "DESCRIBE send() failed\n ")) return -1;
    auto code = Status(reply.Text());
    if (!code) return -1;
    if (*code == 200) break;
    Report("cannot handle DESCRIBE response\n");
    if (!Retry(session, sock, reply.Text(), *code, [] { return false; })) return -1;
  }
  session->standard.base = FindContentBase(reply.Text()).value_or(session->url);
  auto length = FindContentLength(reply.Text());
  // The body must fit the SDP buffer with its terminating NUL.
  if (!length || *length <= 0 || *length >= kSdpBufferBytes) return -1;
  return ReadBody(sock, *length, sdp, &session->running) ? 0 : -1;
} catch (const std::bad_alloc&) {
  Report("failed to alloc the memory\n");
  return -1;
}

namespace {

std::string SetupText(RtspSession* session, const MediaSubsession& sub) {
  const MediaAttribute& attr = session->m_Attribute;
  bool video = IsVideoCodec(sub.codecName);
  int rtp = video ? attr.rtpPort : attr.rtpaudioPort;
  int rtcp = video ? attr.rtcpPort : attr.rtcpaudioPort;
  const StandardForms& forms = session->standard;
  if (forms.interleaved) {
    std::string target = forms.resolvedControl ? ResolveControlUrl(forms.base, sub.controlPath)
                                               : session->url + "/" + sub.controlPath;
    return FormatSetupInterleaved(target, ++session->cseq, video ? kVideoChannel : kAudioChannel,
                                  SessionField(session));
  }
  if (!forms.resolvedControl)
    return FormatSetup(session->url, sub.controlPath, ++session->cseq, rtp, rtcp,
                       SessionField(session));
  return FormatSetupOn(ResolveControlUrl(forms.base, sub.controlPath), ++session->cseq, rtp, rtcp,
                       SessionField(session));
}

// One SETUP and its reply header; false with the failure printed.
bool SetupOnce(RtspSession* session, SOCKET sock, const MediaSubsession& sub, ReplyHeader* reply) {
  std::string text;
  try {
    text = SetupText(session, sub);
  } catch (const std::bad_alloc&) {
    Report("cmd failed to alloc the memory\n");
    return false;
  }
  Report("SETUP command-%d:\n%s\n", session->cseq, text.c_str());
  return Exchange(session, sock, text, reply, "SETUP send() failed\n");
}

int KeepSessionToken(RtspSession* session, MediaSubsession* sub, const char* reply) {
  auto token = FindSessionToken(reply);
  if (!token) {
    Report("Session header is missing in the response\n");
    return SetupFailed();
  }
  try {
    sub->sessionId = *token;
    std::string id = *token;
    // A playback Pause or Seek on the window thread may be formatting it.
    EnterCriticalSection(&session->lock);
    session->sessionId.swap(id);
    LeaveCriticalSection(&session->lock);
  } catch (const std::bad_alloc&) {
    Report("Sessionstr failed to alloc the memory\n");
    return SetupFailed();
  }
  return 0;
}

}  // namespace

int SetupSubsession(RtspSession* session, SOCKET sock, MediaSubsession* sub) {
  for (;;) {
    ReplyHeader reply(kSetupReplyBytes);
    if (!SetupOnce(session, sock, *sub, &reply)) return SetupFailed();
    StoreServerPorts(session, sub, reply.Text());
    auto code = Status(reply.Text());
    if (!code) return SetupFailed();
    if (*code == 200) return KeepSessionToken(session, sub, reply.Text());
    Report("cannot handle SETUP response\n");
    if (!Retry(session, sock, reply.Text(), *code,
               [&] { return NextSetupForm(session, *sub, *code); }))
      return SetupFailed();
  }
}

namespace {

// A recording starts where the server says (the key frame before the position asked for), and
// its RTP clock from the reply's RTP time: counting from the first packet that arrives would
// count from a packet sent before the PAUSE, and from a timeline that jumped with the seek.
void KeepPlayStart(RtspSession* session, const char* reply) {
  PlayStart start = ParsePlayStart(reply);
  if (start.npt) session->startPosition = static_cast<int>(*start.npt);
  uint64_t base = kPlayBasePending;
  if (start.seq) base |= kPlayBaseHasSeq | static_cast<uint64_t>(*start.seq) << 32;
  if (start.rtptime) base |= kPlayBaseHasTime | *start.rtptime;
  session->elapsedSeconds = 0;
  session->endOfStream = 0;
  session->playBase = base;
}

}  // namespace

int SendPlay(RtspSession* session, SOCKET sock, int startSeconds) {
  if (!HaveSession(session)) return -1;
  session->requestBusy = 1;
  int result = -1;
  for (;;) {
    std::string text = FormatPlayOn(AggregateTarget(session), ++session->cseq,
                                    SessionField(session), startSeconds);
    Report("PLAY command-%d:\n%s\n", session->cseq, text.c_str());
    ReplyHeader reply(kPlayReplyBytes);
    if (!Exchange(session, sock, text, &reply, "PLAY send() failed\n ")) break;
    Report("PLAY response-%d:\n%s\n", session->cseq, reply.Text());
    auto code = Status(reply.Text());
    if (!code) break;
    if (*code == 200) {
      if (session->isPlayback) KeepPlayStart(session, reply.Text());
      result = 0;
      break;
    }
    Report("cannot handle PLAY response\n ");
    Report("cannot handle PLAY response :%d\n ", static_cast<int>(*code));
    if (!Retry(session, sock, reply.Text(), *code, [&] { return NextPlayForm(session, *code); }))
      break;
  }
  session->requestBusy = 0;
  return result;
}

int ResumePlay(RtspSession* session, SOCKET sock) {
  int result = SendPlay(session, sock, session->startPosition);
  if (result == 0) {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    session->playStartSeconds = static_cast<int>(ms / 1000);
    session->playStartMicros = static_cast<int>(ms % 1000) * 1000;
  } else {
    Report("Play MediaSubsession Failed\n");
  }
  Report("Play Streams successful\n");
  session->paused = 0;
  return result;
}

namespace {

int PauseRequest(RtspSession* session, SOCKET sock) {
  if (!HaveSession(session)) return -1;
  std::string text =
      FormatPauseOn(AggregateTarget(session), ++session->cseq, SessionField(session));
  Report("PAUSE command-%d:\n%s\n", session->cseq, text.c_str());
  if (!SendRequest(sock, Authorized(session, text), kRequestWriteSeconds, "PAUSE send() failed!\n ",
                   &session->running))
    return -1;
  Report("pause socketNum = %d \n", sock);
  ReplyHeader reply(kPauseReplyBytes);
  int count = ReadRtspReply(sock, &reply, false, &session->running);
  Report("bytesRead is %d\n", count);
  if (count <= 0) return -1;
  Report("PAUSE response-%d:\n%s\n", session->cseq, reply.Text());
  return StatusOk(reply.Text(), "cannot handle PAUSE response\n ") ? 0 : -1;
}

int TeardownRequest(RtspSession* session, SOCKET sock) {
  if (!HaveSession(session)) return -1;
  std::string text = FormatTeardown(session->url, ++session->cseq, SessionField(session));
  Report("TEARDOWN command-%d:\n%s\n", session->cseq, text.c_str());
  if (!SendRequest(sock, Authorized(session, text), kTeardownSeconds, "TEARDOWN send() failed\n "))
    return -1;
  ReplyHeader reply(kTeardownReplyBytes);
  // The whole reply within kTeardownSeconds, however slowly it drips, and behind however many
  // frames the server still sends on the connection.
  const int count =
      session->standard.interleaved
          ? ReadReplyAmongFrames(sock, session->cseq, &session->interleavedUnread, &reply)
          : ReadRtspReply(sock, &reply, true);
  session->interleavedUnread.clear();
  if (count <= 0) return -1;
  return StatusOk(reply.Text(), "cannot handle TEARDOWN response\n ") ? 0 : -1;
}

}  // namespace

int SendKeepAlive(RtspSession* session, SOCKET sock) {
  if (!HaveSession(session)) return -1;
  std::string text =
      FormatGetParameter(AggregateTarget(session), ++session->cseq, SessionField(session));
  if (session->standard.interleaved)
    return SendRequest(sock, Authorized(session, text), kRequestWriteSeconds,
                       "GET_PARAMETER send() failed\n", &session->running)
               ? 0
               : -1;
  session->requestBusy = 1;
  ReplyHeader reply(kPauseReplyBytes);
  bool answered = Exchange(session, sock, text, &reply, "GET_PARAMETER send() failed\n") &&
                  SkipBody(session, sock, reply.Text());
  session->requestBusy = 0;
  // A server that does not know the method still saw the session in use.
  return answered ? 0 : -1;
}

// A PAUSE that fails still counts as paused: a silent paused stream must not end the run.
int SendPause(RtspSession* session, SOCKET sock) {
  session->requestBusy = 1;
  int result = PauseRequest(session, sock);
  session->paused = 1;
  Report(result == 0 ? "Pause Streams successful\n" : "Pause Streams failed\n");
  session->requestBusy = 0;
  return result;
}

int SendTeardown(RtspSession* session, SOCKET sock) {
  session->requestBusy = 1;
  int result = TeardownRequest(session, sock);
  ReleaseSession(session);
  if (result != 0) session->paused = 0;
  session->requestBusy = 0;
  return result;
}

void ReleaseSession(RtspSession* session) {
  // The window thread formats playback requests from these strings under the lock.
  EnterCriticalSection(&session->lock);
  session->url.clear();
  session->sessionId.clear();
  session->spareBuffer.reset();
  session->fMaxPlayEndTime = 0;
  session->videoClock = session->audioClock = 0;
  session->videoPayloadType = session->audioPayloadType = 0;
  session->pictureWidth = 0;
  session->serverVideoRtpPort = session->serverVideoRtcpPort = 0;
  session->waitSeconds = 0;
  std::fill(std::begin(session->host), std::end(session->host), '\0');
  session->connectHost.clear();
  session->auth = AuthState{};
  LeaveCriticalSection(&session->lock);
  CloseClientPorts(&session->m_Attribute);
}
