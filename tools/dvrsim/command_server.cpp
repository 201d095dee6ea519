#include "tools/dvrsim/command_server.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tools/dvrsim/net_util.h"

namespace dvrsim {
namespace {

int32_t Word(std::span<const uint8_t> bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
  return static_cast<int32_t>(v);
}

void PutWord(uint8_t* at, int32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

std::string PeerText(const sockaddr_in& a) {
  return AddressText(a.sin_addr.s_addr) + ":" + std::to_string(ntohs(a.sin_port));
}

}  // namespace

std::vector<uint8_t> BuildCommandReply(int32_t code, std::span<const uint8_t> payload) {
  std::vector<uint8_t> d(kCommandHeaderBytes + payload.size());
  PutWord(&d[0], code);
  for (int w = 1; w <= 3; ++w) PutWord(&d[4 * w], 1);
  PutWord(&d[16], static_cast<int32_t>(payload.size()));
  std::copy(payload.begin(), payload.end(), d.begin() + kCommandHeaderBytes);
  return d;
}

std::vector<std::vector<uint8_t>> ReplyFaults::Apply(std::vector<uint8_t> reply,
                                                     const CommandFaults& f) {
  if (Roll(f.drop)) return {};
  if (Roll(f.truncate)) Truncate(reply);
  if (Roll(f.garble)) Garble(reply);
  std::vector<std::vector<uint8_t>> out;
  if (Roll(f.duplicate)) out.push_back(reply);
  out.push_back(std::move(reply));
  return out;
}

// Anywhere from nothing to one byte short of the whole.
void ReplyFaults::Truncate(std::vector<uint8_t>& reply) {
  if (reply.empty()) return;
  reply.resize(std::uniform_int_distribution<size_t>(0, reply.size() - 1)(rng_));
}

// A length word that no receiver may believe: negative, or past the datagram's end.
void ReplyFaults::Garble(std::vector<uint8_t>& reply) {
  if (reply.size() < kCommandHeaderBytes) return;
  const int32_t held = static_cast<int32_t>(reply.size()) - kCommandHeaderBytes;
  int32_t length = uniform_(rng_) < 0.5
                       ? -std::uniform_int_distribution<int32_t>(1, 0x7FFFFFFF)(rng_)
                       : std::uniform_int_distribution<int32_t>(held + 1, 0x7FFFFFFF)(rng_);
  PutWord(&reply[16], length);
  std::uniform_int_distribution<int> byte(0, 255);
  for (size_t i = kCommandHeaderBytes; i < reply.size(); ++i) {
    if (uniform_(rng_) < 0.25) reply[i] = static_cast<uint8_t>(byte(rng_));
  }
}

CommandServer::CommandServer(std::string bind, int port, int channels, CommandFaults faults,
                             unsigned seed, Log log)
    : bind_(std::move(bind)),
      port_(port),
      log_(std::move(log)),
      status_(channels),
      faults_(faults),
      faulter_(seed) {
  Handle(kStatusCommand, "status", [this](std::span<const uint8_t>) {
    return std::optional(status_.PanelRecord(DeviceStatus::Clock::now()));
  });
  Handle(kRelayCommand, "relay",
         [this](std::span<const uint8_t> payload) { return Relay(payload); });
}

CommandServer::~CommandServer() { Stop(); }

void CommandServer::Handle(int32_t code, std::string name, Handler handler) {
  handlers_[code] = Entry{std::move(name), std::move(handler)};
}

void CommandServer::Start() {
  uint32_t address = inet_addr(bind_.c_str());
  sock_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in a = MakeAddress(address, port_);
  int length = sizeof a;
  if (sock_ == INVALID_SOCKET || bind(sock_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(sock_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    std::string why = WSAGetLastError() == WSAEADDRINUSE ? " (address in use)" : "";
    if (sock_ != INVALID_SOCKET) closesocket(sock_);
    sock_ = INVALID_SOCKET;
    throw std::runtime_error("cannot serve commands on UDP " + bind_ + ":" + std::to_string(port_) +
                             why);
  }
  port_ = ntohs(a.sin_port);
  stop_ = false;
  thread_ = std::thread(&CommandServer::Run, this);
}

void CommandServer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (sock_ != INVALID_SOCKET) closesocket(sock_);
  sock_ = INVALID_SOCKET;
}

void CommandServer::SetFaults(const CommandFaults& faults) {
  std::lock_guard<std::mutex> lock(faultsMutex_);
  faults_ = faults;
}

CommandFaults CommandServer::faults() const {
  std::lock_guard<std::mutex> lock(faultsMutex_);
  return faults_;
}

void CommandServer::Run() {
  while (!stop_) {
    if (WaitReadable(&sock_, 1, MillisecondsToNextDue()) != 0) Receive();
    SendDue();
  }
}

int CommandServer::MillisecondsToNextDue() const {
  constexpr int kPollMs = 100;  // how soon Stop is seen
  if (pending_.empty()) return kPollMs;
  auto wait =
      std::chrono::duration_cast<std::chrono::milliseconds>(pending_.front().due - Clock::now());
  return static_cast<int>(std::clamp<int64_t>(wait.count(), 0, kPollMs));
}

void CommandServer::Receive() {
  std::vector<uint8_t> buffer(kMaxCommandDatagram);
  sockaddr_in from;
  int fromLength = sizeof from;
  int got = recvfrom(sock_, reinterpret_cast<char*>(buffer.data()), kMaxCommandDatagram, 0,
                     reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (got < 0) return;
  std::span<const uint8_t> datagram(buffer.data(), static_cast<size_t>(got));
  if (got < kCommandHeaderBytes) {
    ++stats_.refused;
    log_("command datagram of " + std::to_string(got) + " bytes from " + PeerText(from) +
         ": shorter than a header, not answered");
    return;
  }
  const int32_t code = Word(datagram, 0), length = Word(datagram, 16);
  if (length < 0 || length > got - kCommandHeaderBytes) {
    ++stats_.refused;
    log_("command " + std::to_string(code) + " from " + PeerText(from) + " claims " +
         std::to_string(length) + " payload bytes but holds " +
         std::to_string(got - kCommandHeaderBytes) + ": not answered");
    return;
  }
  ++stats_.received;
  Answer(code, datagram.subspan(kCommandHeaderBytes, static_cast<size_t>(length)), from);
}

void CommandServer::Answer(int32_t code, std::span<const uint8_t> payload,
                           const sockaddr_in& from) {
  auto entry = handlers_.find(code);
  const std::string name = "command " + std::to_string(code);
  log_(name + " (" + (entry == handlers_.end() ? "unknown" : entry->second.name) + ") from " +
       PeerText(from) + ", " + std::to_string(payload.size()) + " payload byte(s)");
  std::optional<std::vector<uint8_t>> reply;
  peer_ = from;
  if (entry != handlers_.end()) reply = entry->second.handler(payload);
  if (!reply) {
    log_(name + ": not answered");
    return;
  }
  const CommandFaults faults = this->faults();
  const size_t whole = kCommandHeaderBytes + reply->size();
  auto datagrams = faulter_.Apply(BuildCommandReply(code, *reply), faults);
  if (datagrams.empty()) {
    log_(name + ": reply dropped (fault)");
  } else if (datagrams.size() > 1 || datagrams[0].size() != whole ||
             datagrams[0] != BuildCommandReply(code, *reply)) {
    log_(name + ": " + std::to_string(datagrams.size()) + " reply datagram(s) of " +
         std::to_string(datagrams[0].size()) + " bytes (faults applied)");
  }
  const Clock::time_point due = Clock::now() + std::chrono::milliseconds(faults.delayMs);
  for (auto& bytes : datagrams) {
    auto at = std::upper_bound(pending_.begin(), pending_.end(), due,
                               [](Clock::time_point t, const Pending& p) { return t < p.due; });
    pending_.insert(at, Pending{due, std::move(bytes), from});
  }
}

void CommandServer::SendDue() {
  const auto now = Clock::now();
  while (!pending_.empty() && pending_.front().due <= now) {
    const Pending& p = pending_.front();
    sendto(sock_, reinterpret_cast<const char*>(p.bytes.data()), static_cast<int>(p.bytes.size()),
           0, reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
    ++stats_.replies;
    pending_.pop_front();
  }
}

// The mask's two low bits switch the outputs; a payload without a whole mask cannot be
// obeyed and is answered with a nonzero result.
std::optional<std::vector<uint8_t>> CommandServer::Relay(std::span<const uint8_t> payload) {
  std::vector<uint8_t> result(4, 0);
  if (payload.size() < 4) {
    PutWord(result.data(), 1);
    log_("relay: no mask in the request, outputs unchanged");
    return result;
  }
  status_.SetRelayMask(Word(payload, 0));
  int mask = status_.relayMask();
  log_(std::string("relay: output 1 ") + (mask & 1 ? "on" : "off") + ", output 2 " +
       (mask & 2 ? "on" : "off"));
  return result;
}

}  // namespace dvrsim
