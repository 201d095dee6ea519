#pragma once
// Opening a run: connect, DESCRIBE, SDP, client ports, SETUP of the played tracks, PLAY from 0 and
// the opening datagrams. Called by the session thread only.

#include <cstdint>
#include <vector>

#include "platform/net/net.h"

struct RtspSession;
struct MediaAttribute;
struct MediaSubsession;

// The RTSP socket of the opened session, or INVALID_SOCKET (-1) with the failure printed.
SOCKET OpenRtspSession(RtspSession* session);

// Copies each track's parameters into `attr`: clock and payload type of the video track with
// its config text and bytes, clock, payload type and channels of the audio track.
// The tracks a run sets up, in SDP order: the first video track and the first audio track.
std::vector<MediaSubsession> PlayedSubsessions(const std::vector<MediaSubsession>& all);

void ApplyMediaParams(MediaAttribute* attr, const std::vector<MediaSubsession>& subsessions);

// Decodes hexadecimal pairs (either case) into at most `room` bytes; a character that is not
// a hex digit ends the decoding. Returns the byte count.
int DecodeHexConfig(const char* text, uint8_t* out, int room);
