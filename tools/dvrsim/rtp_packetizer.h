#pragma once

#include <cstdint>
#include <deque>
#include <random>
#include <vector>

namespace dvrsim {

using Datagram = std::vector<uint8_t>;

inline constexpr size_t kMaxRtpPayload = 1400;

// Writes RTP packets of one stream: sequence numbers count on across calls.
class RtpPacketizer {
 public:
  RtpPacketizer(uint8_t payloadType, uint32_t ssrc, uint16_t firstSeq);

  // One H.264 access unit: a NAL unit that fits goes out whole, a larger one as FU-A
  // fragments. The marker bit is set on the last packet of the unit.
  std::vector<Datagram> PacketizeAccessUnit(const std::vector<std::vector<uint8_t>>& nals,
                                            uint32_t timestamp);
  // A payload sent as it is (an audio frame), marker set.
  Datagram PacketizeRaw(const std::vector<uint8_t>& payload, uint32_t timestamp);

  uint16_t next_seq() const { return seq_; }
  uint32_t ssrc() const { return ssrc_; }
  uint32_t packets() const { return packets_; }
  uint32_t octets() const { return octets_; }

 private:
  Datagram Header(bool marker, uint32_t timestamp);
  void Account(const Datagram& d) { ++packets_, octets_ += static_cast<uint32_t>(d.size() - 12); }

  uint8_t pt_;
  uint32_t ssrc_;
  uint16_t seq_;
  uint32_t packets_ = 0;
  uint32_t octets_ = 0;
};

// An RTCP sender report (no report blocks).
Datagram BuildSenderReport(uint32_t ssrc, uint64_t ntp, uint32_t rtpTime, uint32_t packets,
                           uint32_t octets);

// Shares of packets to drop, hold back behind the next one, or send twice.
struct FaultShares {
  double loss = 0;
  double reorder = 0;
  double duplicate = 0;
};

// Applies the fault shares to a packet sequence. Feed packets in order; what comes out is
// what goes on the wire. A held-back packet follows the next packet that is sent.
class FaultInjector {
 public:
  FaultInjector(FaultShares shares, uint32_t seed) : shares_(shares), rng_(seed) {}
  std::vector<Datagram> Apply(Datagram packet);
  std::vector<Datagram> Flush();

 private:
  bool Roll(double share) { return share > 0 && uniform_(rng_) < share; }

  FaultShares shares_;
  std::mt19937 rng_;
  std::uniform_real_distribution<double> uniform_{0.0, 1.0};
  std::deque<Datagram> held_;
};

}  // namespace dvrsim
