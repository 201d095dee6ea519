#pragma once
// Test support: an RTSP server on loopback that answers from a script and records every
// request byte for byte, and a scripted DVR built on it (SDP with one or two tracks, UDP
// server ports that catch the client's datagrams and send RTP to it).

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/net.h"

// Serves one connection at a time on 127.0.0.1 and a port the system chose. For each request
// header the responder returns the reply bytes; an empty reply closes the connection.
class ScriptedRtspServer {
 public:
  using Responder = std::function<std::string(const std::string& request)>;
  explicit ScriptedRtspServer(Responder responder);
  ~ScriptedRtspServer();

  int Port() const { return port_; }
  std::string Url(const std::string& path) const;
  std::vector<std::string> Requests() const;
  // Waits up to `ms` until `count` requests have arrived.
  bool WaitRequests(size_t count, int ms) const;
  // Closes the connection being served (the next one is accepted as usual).
  void CloseConnection();

 private:
  void Serve();
  void ServeConnection(SOCKET conn);
  bool ReadRequest(SOCKET conn, std::string* request);

  Responder responder_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;  // guarded by mutex_
  bool closeNow_ = false;              // guarded by mutex_
  bool stop_ = false;                  // guarded by mutex_
  std::thread thread_;
};

struct Datagram {
  std::vector<uint8_t> bytes;
  int fromPort = 0;
};

// A UDP socket on 127.0.0.1 and a port the system chose.
struct UdpEndpoint {
  UdpEndpoint();
  ~UdpEndpoint();
  std::optional<Datagram> Receive(int ms) const;
  void SendTo(int port, const std::vector<uint8_t>& bytes) const;
  SOCKET sock = INVALID_SOCKET;
  int port = 0;
};

// An RTP datagram: version 2, payload type 96, the given sequence number, timestamp and SSRC,
// followed by `payload` bytes of 0x65.
std::vector<uint8_t> RtpDatagram(uint16_t seq, uint32_t ts, uint32_t ssrc, int payload = 20);

// A DVR that answers DESCRIBE, SETUP, PLAY, PAUSE and TEARDOWN from its settings.
class ScriptedDvr {
 public:
  struct Settings {
    bool withAudio = false;
    bool contentLength = true;
    int describeBodyPad = 0;  // extra SDP bytes, to make a long description
    std::string sessionToken = "57A3F0C1;timeout=60";
    int pauseStatus = 200;
    bool closeAfterPlay = false;
  };
  explicit ScriptedDvr(Settings settings);

  std::string Url() const { return server_.Url("1.live"); }
  std::string Sdp() const;
  ScriptedRtspServer& Server() { return server_; }
  // Client ports offered in the n-th SETUP (0-based), once it has arrived.
  std::pair<int, int> ClientPorts(size_t setup) const;

  UdpEndpoint videoRtp, videoRtcp, audioRtp, audioRtcp;

 private:
  std::string Respond(const std::string& request);

  Settings settings_;
  mutable std::mutex mutex_;
  std::vector<std::pair<int, int>> clientPorts_;  // guarded by mutex_
  ScriptedRtspServer server_;
};

// The CSeq of a request text (0 when absent).
int CSeqOf(const std::string& request);
