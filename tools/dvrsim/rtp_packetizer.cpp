#include "tools/dvrsim/rtp_packetizer.h"

namespace dvrsim {
namespace {

void Put16(Datagram& d, uint16_t v) {
  d.push_back(static_cast<uint8_t>(v >> 8));
  d.push_back(static_cast<uint8_t>(v));
}
void Put32(Datagram& d, uint32_t v) {
  Put16(d, static_cast<uint16_t>(v >> 16));
  Put16(d, static_cast<uint16_t>(v));
}

}  // namespace

RtpPacketizer::RtpPacketizer(uint8_t payloadType, uint32_t ssrc, uint16_t firstSeq)
    : pt_(payloadType & 0x7F), ssrc_(ssrc), seq_(firstSeq) {}

Datagram RtpPacketizer::Header(bool marker, uint32_t timestamp) {
  Datagram d;
  d.reserve(12 + kMaxRtpPayload);
  d.push_back(0x80);
  d.push_back(static_cast<uint8_t>((marker ? 0x80 : 0) | pt_));
  Put16(d, seq_++);
  Put32(d, timestamp);
  Put32(d, ssrc_);
  return d;
}

std::vector<Datagram> RtpPacketizer::PacketizeAccessUnit(
    const std::vector<std::vector<uint8_t>>& nals, uint32_t timestamp) {
  std::vector<Datagram> out;
  for (size_t n = 0; n < nals.size(); ++n) {
    const auto& nal = nals[n];
    if (nal.empty()) continue;
    bool lastNal = n + 1 == nals.size();
    if (nal.size() <= kMaxRtpPayload) {
      Datagram d = Header(lastNal, timestamp);
      d.insert(d.end(), nal.begin(), nal.end());
      Account(d);
      out.push_back(std::move(d));
      continue;
    }
    uint8_t indicator = static_cast<uint8_t>((nal[0] & 0xE0) | 28);
    uint8_t type = nal[0] & 0x1F;
    size_t pos = 1;
    const size_t chunk = kMaxRtpPayload - 2;
    while (pos < nal.size()) {
      size_t len = std::min(chunk, nal.size() - pos);
      bool first = pos == 1, last = pos + len == nal.size();
      Datagram d = Header(lastNal && last, timestamp);
      d.push_back(indicator);
      d.push_back(static_cast<uint8_t>((first ? 0x80 : 0) | (last ? 0x40 : 0) | type));
      d.insert(d.end(), nal.begin() + pos, nal.begin() + pos + len);
      Account(d);
      out.push_back(std::move(d));
      pos += len;
    }
  }
  return out;
}

Datagram RtpPacketizer::PacketizeRaw(const std::vector<uint8_t>& payload, uint32_t timestamp) {
  Datagram d = Header(true, timestamp);
  d.insert(d.end(), payload.begin(), payload.end());
  Account(d);
  return d;
}

Datagram BuildSenderReport(uint32_t ssrc, uint64_t ntp, uint32_t rtpTime, uint32_t packets,
                           uint32_t octets) {
  Datagram d;
  d.push_back(0x80);
  d.push_back(200);
  Put16(d, 6);
  Put32(d, ssrc);
  Put32(d, static_cast<uint32_t>(ntp >> 32));
  Put32(d, static_cast<uint32_t>(ntp));
  Put32(d, rtpTime);
  Put32(d, packets);
  Put32(d, octets);
  return d;
}

std::vector<Datagram> FaultInjector::Apply(Datagram packet) {
  std::vector<Datagram> out;
  if (Roll(shares_.loss)) return out;
  if (held_.empty() && Roll(shares_.reorder)) {
    held_.push_back(std::move(packet));
    return out;
  }
  bool twice = Roll(shares_.duplicate);
  out.push_back(packet);
  if (twice) out.push_back(packet);
  while (!held_.empty()) {
    out.push_back(std::move(held_.front()));
    held_.pop_front();
  }
  return out;
}

std::vector<Datagram> FaultInjector::Flush() {
  std::vector<Datagram> out(held_.begin(), held_.end());
  held_.clear();
  return out;
}

}  // namespace dvrsim
