#pragma once
// How a session's requests adapt to the server within a run: the standard forms it switched
// to after a refusal (rtsp_standard.h) and the answer to an authentication challenge. Each
// switch prints one line saying what changed. Called by the thread issuing the request.

#include <string>

struct RtspSession;
struct MediaSubsession;

// The Session token as the run sends it.
std::string SessionField(const RtspSession* session);
// The aggregate URL PLAY and PAUSE go to: the DVR's "<url>/" until the run switches.
std::string AggregateTarget(const RtspSession* session);

// After a standard refusal (IsStandardRefusal) of SETUP or PLAY: switches the next form not yet
// tried; false when none is left.
bool NextSetupForm(RtspSession* session, const MediaSubsession& sub, unsigned status);
bool NextPlayForm(RtspSession* session, unsigned status);

// After a 401 reply: takes its challenge to answer from now on. False, with a line saying why,
// when the URL has no credentials, the challenge is not one this client answers, or the
// credentials were already refused under it.
bool AnswerChallenge(RtspSession* session, const char* reply);

// `request` with the Authorization line of the run's challenge before its final blank line;
// unchanged when the server has not asked.
std::string Authorized(RtspSession* session, const std::string& request);
