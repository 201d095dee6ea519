#include "tools/dvrsim/recorder.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "tools/dvrsim/net_util.h"

namespace dvrsim {
namespace {

void PutWord(uint8_t* at, int32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

std::vector<uint8_t> CommandDatagram(int32_t code, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> d(20 + payload.size());
  PutWord(&d[0], code);
  for (int w = 1; w <= 3; ++w) PutWord(&d[4 * w], 1);
  PutWord(&d[16], static_cast<int32_t>(payload.size()));
  std::copy(payload.begin(), payload.end(), d.begin() + 20);
  return d;
}

bool SendBytes(SOCKET s, const void* data, size_t size) {
  return SendAll(s, std::string(static_cast<const char*>(data), size));
}

// Reads exactly `size` bytes within `ms`; false when the peer closes or is too slow.
bool ReceiveExactly(SOCKET s, uint8_t* buffer, size_t size, int ms) {
  size_t got = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (got < size) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0 || WaitReadable(&s, 1, static_cast<int>(left)) == 0) return false;
    int n = recv(s, reinterpret_cast<char*>(buffer + got), static_cast<int>(size - got), 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

int32_t FaultCode(DownloadFault f) {
  switch (f) {
    case DownloadFault::kCode2:
      return 2;
    case DownloadFault::kCode3:
      return 3;
    case DownloadFault::kCode4:
      return 4;
    default:
      return 0;
  }
}

}  // namespace

std::vector<uint8_t> ExportProgressPayload(int32_t status, int32_t percent) {
  std::vector<uint8_t> p(12);
  PutWord(&p[4], status);
  PutWord(&p[8], percent);
  return p;
}

Recorder::Recorder(RecorderOptions options, int channels, int width, int height, std::time_t today,
                   std::string bind, Log log)
    : options_(std::move(options)),
      catalogue_(channels, options_.recordsPerDay, today),
      files_(CacheDirectory(options_), width, height, options_.recordSeconds),
      bind_(std::move(bind)),
      log_(std::move(log)) {
  replySock_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
}

Recorder::~Recorder() {
  Stop();
  if (replySock_ != INVALID_SOCKET) closesocket(replySock_);
}

void Recorder::StartDownloads(int port) {
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) throw std::runtime_error("cannot create the download socket");
  int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in a = MakeAddress(inet_addr(bind_.c_str()), port);
  int length = sizeof a;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      listen(listener_, 16) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    std::string why = WSAGetLastError() == WSAEADDRINUSE ? " (address in use)" : "";
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
    throw std::runtime_error("cannot serve downloads on TCP " + bind_ + ":" + std::to_string(port) +
                             why);
  }
  port_ = ntohs(a.sin_port);
  stop_ = false;
  acceptor_ = std::thread(&Recorder::AcceptLoop, this);
}

void Recorder::Stop() {
  stop_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  listener_ = INVALID_SOCKET;
  Reap(true);
}

void Recorder::Spawn(std::function<void()> work) {
  std::lock_guard<std::mutex> lock(workersMutex_);
  auto w = std::make_unique<Worker>();
  Worker* raw = w.get();
  w->thread = std::thread([raw, work = std::move(work)] {
    work();
    raw->done = true;
  });
  workers_.push_back(std::move(w));
}

void Recorder::Reap(bool all) {
  std::list<std::unique_ptr<Worker>> finished;
  {
    std::lock_guard<std::mutex> lock(workersMutex_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (all || (*it)->done) {
        finished.push_back(std::move(*it));
        it = workers_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& w : finished) w->thread.join();
}

void Recorder::AcceptLoop() {
  while (!stop_) {
    Reap(false);
    if (WaitReadable(&listener_, 1, 100) == 0) continue;
    SOCKET s = accept(listener_, nullptr, nullptr);
    if (s == INVALID_SOCKET) continue;
    if (openDownloads_ >= kMaxDownloads) {
      log_("download refused: " + std::to_string(kMaxDownloads) + " already open");
      closesocket(s);
      continue;
    }
    ++openDownloads_;
    Spawn([this, s] {
      Serve(s);
      closesocket(s);
      --openDownloads_;
    });
  }
}

std::optional<RecordingFile> Recorder::Resolve(std::span<const uint8_t> descriptor) {
  auto d = ParseRecordDescriptor(descriptor);
  if (!d) return std::nullopt;
  const Recording* r = catalogue_.Find(*d);
  if (r == nullptr) return std::nullopt;
  return files_.Get(*r);
}

void Recorder::Serve(SOCKET s) {
  uint8_t request[kRecordDescriptorBytes];
  if (!ReceiveExactly(s, request, sizeof request, kDownloadRequestWaitMs)) {
    log_("download: no whole descriptor within 5 s, closed");
    return;
  }
  ++stats_.downloads;
  std::optional<RecordingFile> file;
  try {
    file = Resolve(request);
  } catch (const std::runtime_error& e) {
    log_(std::string("download: ") + e.what());
    uint8_t reply[8];
    PutWord(reply, kDownloadMagicWord);
    PutWord(reply + 4, 3);
    SendBytes(s, reply, sizeof reply);
    return;
  }
  int32_t code = file ? FaultCode(options_.downloadFault) : 2;
  uint8_t reply[8];
  PutWord(reply, options_.downloadFault == DownloadFault::kMagic ? 0x12345678 : kDownloadMagicWord);
  PutWord(reply + 4, code);
  log_("download of " + (file ? file->path : std::string("an unknown recording")) + ": code " +
       std::to_string(code));
  if (!SendBytes(s, reply, sizeof reply) || code != 0 || !file) return;
  if (options_.downloadFault == DownloadFault::kMagic) return;
  ServeFile(s, *file);
}

void Recorder::ServeFile(SOCKET s, const RecordingFile& file) {
  std::ifstream in(file.path, std::ios::binary);
  const bool half = options_.downloadFault == DownloadFault::kStall ||
                    options_.downloadFault == DownloadFault::kShort;
  int64_t left = half ? file.size / 2 : file.size;
  std::vector<char> block(64 * 1024);
  while (left > 0 && !stop_) {
    in.read(block.data(), static_cast<std::streamsize>(std::min<int64_t>(left, block.size())));
    const auto n = in.gcount();
    if (n <= 0 || !SendBytes(s, block.data(), static_cast<size_t>(n))) return;
    left -= n;
  }
  if (!half) {
    ++stats_.served;
    // The client closes: wait for it (bounded), so the last bytes are not cut by a reset.
    char c;
    if (WaitReadable(&s, 1, 5000) != 0) recv(s, &c, 1, 0);
    return;
  }
  if (options_.downloadFault == DownloadFault::kStall) {
    log_("download stalls after " + std::to_string(file.size / 2) + " bytes");
    // Silent until the client gives up (or a minute passes).
    for (int i = 0; i < 600 && !stop_; ++i) {
      if (WaitReadable(&s, 1, 100) != 0) {
        char c;
        if (recv(s, &c, 1, 0) <= 0) return;
      }
    }
  }
}

std::optional<std::vector<uint8_t>> Recorder::Query(std::span<const uint8_t> payload) {
  auto q = ParseRecordQuery(payload);
  if (!q) return std::nullopt;
  ++stats_.queries;
  auto found = catalogue_.Search(*q);
  log_("record query: channels " + std::to_string(q->channelMask) + ", types " +
       std::to_string(q->typeMask) + ", storage " + std::to_string(q->storage) + ", " + q->start +
       " to " + q->end + ": " + std::to_string(found.size()) + " record(s)");
  if (found.empty()) {
    std::vector<uint8_t> none(4);
    PutWord(none.data(), -1);
    return none;
  }
  std::vector<uint8_t> reply;
  reply.reserve(found.size() * kRecordEntryBytes);
  const bool stale = options_.downloadFault == DownloadFault::kStale;
  for (const Recording* r : found) {
    auto file = files_.Get(*r);
    auto entry = EncodeRecordEntry(*r, static_cast<int32_t>(file.size), stale);
    reply.insert(reply.end(), entry.begin(), entry.end());
  }
  return reply;
}

std::optional<std::vector<uint8_t>> Recorder::Export(std::span<const uint8_t> payload,
                                                     const sockaddr_in& to) {
  auto d = ParseRecordDescriptor(payload);
  if (!d) return std::nullopt;
  ++stats_.exports;
  if (catalogue_.Find(*d) == nullptr) {
    log_("usb export of an unknown recording: failed");
    return ExportProgressPayload(1, 0);
  }
  const int fail = options_.exportFail;
  if (fail == 2 || fail == 3) {
    log_("usb export: status " + std::to_string(fail));
    return ExportProgressPayload(fail, 0);
  }
  Spawn([this, to] { RunExport(to); });
  return ExportProgressPayload(0, 0);
}

void Recorder::SendProgress(const sockaddr_in& to, int32_t status, int32_t percent) {
  auto d = CommandDatagram(kUsbExportCommand, ExportProgressPayload(status, percent));
  sendto(replySock_, reinterpret_cast<const char*>(d.data()), static_cast<int>(d.size()), 0,
         reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void Recorder::RunExport(sockaddr_in to) {
  for (int percent = 10; percent <= 100 && !stop_; percent += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(options_.exportStepMs));
    if (stop_) return;
    if ((options_.exportFail == 1 || options_.exportFail == 4) && percent > 40) {
      log_("usb export: status " + std::to_string(options_.exportFail) + " after 40 %");
      SendProgress(to, options_.exportFail, percent - 10);
      return;
    }
    SendProgress(to, 0, percent);
  }
  log_("usb export complete");
}

}  // namespace dvrsim
