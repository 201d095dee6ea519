#pragma once
// The session thread's receive loop: waits on the video and audio RTP sockets, queues every
// datagram of 13 bytes or more, sends receiver reports, rebinds a socket after six failed
// receives, and ends when `running` is cleared or after 21 one-second waits without data
// while not paused.

struct RtspSession;

constexpr int kMaxRecvTry = 20;
constexpr int kRecvErrorsBeforeRebind = 5;
constexpr int kMinQueuedDatagram = 13;

// Runs the loop on the session thread; returns the final recvTry.
int ReceiveLoop(RtspSession* session);
