#pragma once
// The standard request forms a session falls back to when a server refuses the DVR's own.
// The DVR's forms stay the first try, byte for byte: a server that accepts them never sees
// another. Only a refusal the DVR never gives (404, 454, 455, 459) switches one form at a time,
// for the rest of the run. Pure text in, text out.

#include <optional>
#include <string>

// What a run has switched to; all false at the start of a run.
struct StandardForms {
  // SETUP on the track's control URL resolved against `base` instead of "<url>/<control>".
  bool resolvedControl = false;
  // The Session token without its parameters (";timeout=60").
  bool bareSession = false;
  // PLAY and PAUSE on the aggregate URL itself instead of "<url>/".
  bool playWithoutSlash = false;
  // RTP and RTCP on the RTSP connection (RTSP over TCP): after a 461 to a UDP SETUP, or from
  // the start of a run that fell back to it. The channels are 0-1 for video, 2-3 for audio.
  bool interleaved = false;
  // Content-Base, else Content-Location, of the DESCRIBE reply, else the request URL.
  std::string base;
};

// 404 Not Found, 454 Session Not Found, 455 Method Not Valid in This State, 459 Aggregate
// Operation Not Allowed: answers a standard server gives to a form it does not take.
bool IsStandardRefusal(unsigned status);
// 461 Unsupported Transport: the server takes no RTP over UDP.
constexpr unsigned kUnsupportedTransport = 461;
constexpr int kVideoChannel = 0;
constexpr int kAudioChannel = 2;

// An absolute control URL ("rtsp://...") as it is; "*" or empty is the base itself; a relative
// one is appended to the base with one "/" between.
std::string ResolveControlUrl(const std::string& base, const std::string& control);

// The seconds of the token's ";timeout=" parameter, else the 60 a server keeps a session for
// when it names none; at least 2.
int SessionTimeoutSeconds(const std::string& token);

// The token up to its first ';'.
std::string BareSessionToken(const std::string& token);

// The value of the reply's Content-Base header, else of its Content-Location header (names in
// any case), trimmed; none when neither is present or the value is empty.
std::optional<std::string> FindContentBase(const char* text);
