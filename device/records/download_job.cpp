#include "device/records/download_job.h"

#include <cstdio>
#include <vector>

#include "device/protocol/dvr_socket.h"
#include "device/protocol/replies.h"
#include "device/records/download_name.h"
#include "platform/kernel/thread.h"
#include "platform/net/net.h"

namespace device::records {
namespace {

constexpr int kSocketTimeoutMs = 5000;

void Print(const char* line) {
  std::fputs(line, stdout);
  std::fflush(stdout);
}

// Frees the slot and closes what the download opened, however it ends.
struct Cleanup {
  Cleanup(DownloadSlots& owner, int index) : slots(owner), slot(index) {}
  DownloadSlots& slots;
  int slot;
  SOCKET sock = INVALID_SOCKET;
  std::FILE* file = nullptr;
  std::string part;
  bool released = false;
  ~Cleanup() { Release(); }
  // Done before the outcome is reported, so that whoever sees it finds no part file left and
  // the slot free.
  void Release() {
    if (released) return;
    released = true;
    if (file != nullptr) {
      std::fclose(file);
      file = nullptr;
      std::remove(part.c_str());  // not complete: no part of it stays behind
    }
    if (sock != INVALID_SOCKET) closesocket(sock);
    sock = INVALID_SOCKET;
    slots.Release(slot);
  }
};

bool Connect(SOCKET s, const DownloadJob& job) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(job.port));
  to.sin_addr.s_addr = inet_addr(job.address.c_str());
  if (to.sin_addr.s_addr == INADDR_NONE) return false;
  return connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
}

bool SendAll(SOCKET s, const void* data, int size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    int n = send(s, p, size, 0);
    if (n <= 0) return false;
    p += n;
    size -= n;
  }
  return true;
}

// The answer's bytes: up to 8, as long as they keep coming within 1 s.
int ReadAnswer(SOCKET s, char (&answer)[sizeof(DownloadReply)]) {
  int got = 0;
  while (got < static_cast<int>(sizeof answer) && WaitReadable(s, 1) > 0) {
    int n = recv(s, answer + got, static_cast<int>(sizeof answer) - got, 0);
    if (n <= 0) break;
    got += n;
  }
  return got;
}

int CodeText(int32_t code) {
  switch (code) {
    case kDownloadNoFile:
      return kTextFileNotExisted;
    case kDownloadOpenFailed:
      return kTextOpenDeviceFailed;
    case kDownloadReadFailed:
      return kTextReadDeviceFailed;
    default:
      return kTextDownloadFailedCode;
  }
}

DownloadResult Fail(Cleanup& done, const DownloadJob& job, DownloadEvents& events, int text,
                    int code = 0) {
  done.Release();
  events.Finished(job.row, kDownloadFailed);
  events.Show(text, code);
  return kDownloadFailed;
}

}  // namespace

DownloadResult RunDownload(const DownloadJob& job, DownloadSlots& slots, DownloadEvents& events) {
  const DWORD self = GetCurrentThreadId();
  slots.Assign(job.slot, self);
  Cleanup done{slots, job.slot};
  done.sock = OpenStreamSocket();
  if (done.sock == INVALID_SOCKET || !Connect(done.sock, job)) {
    return Fail(done, job, events, kTextConnectionFailed);
  }
  const int timeout = kSocketTimeoutMs;
  setsockopt(done.sock, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof timeout);
  setsockopt(done.sock, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof timeout);
  std::vector<char> block(kDownloadBlockBytes);
  if (!SendAll(done.sock, &job.descriptor, sizeof job.descriptor)) {
    return Fail(done, job, events, kTextDownloadFailed);
  }
  char answerBytes[sizeof(DownloadReply)] = {};
  const int got = ReadAnswer(done.sock, answerBytes);
  if (got > 0 && got < kDownloadReplyMinBytes) Print("recv respone error!\n");
  DownloadAnswer answer = ReadDownloadReply(
      std::span(reinterpret_cast<const uint8_t*>(answerBytes), static_cast<size_t>(got)));
  if (answer.kind == DownloadAnswer::kNoReply) return Fail(done, job, events, kTextDownloadFailed);
  if (answer.kind == DownloadAnswer::kFailed) {
    return Fail(done, job, events, CodeText(answer.code), answer.code);
  }
  events.ListRow(self, job.path);
  done.part = PartPath(job.path);
  done.file = std::fopen(done.part.c_str(), "wb");
  if (done.file == nullptr) {
    events.Progress(self, -1);
    return Fail(done, job, events, kTextOpenFileFailed);
  }
  const int64_t size = job.descriptor.size;
  if (size < 0) {
    events.Progress(self, -1);
    return Fail(done, job, events, kTextDownloadFailed);
  }
  int64_t received = 0;
  int lastPercent = 0;
  int idle = 0;
  while (received < size) {
    const bool readable = WaitReadable(done.sock, 1) > 0;
    if (!slots.KeepRunning(job.slot)) {
      Print("cannel download---------\n");
      done.Release();
      events.Finished(job.row, kDownloadCancelled);
      return kDownloadCancelled;
    }
    if (!readable) {
      if (++idle < job.stallSeconds) continue;
      events.Progress(self, -1);
      return Fail(done, job, events, kTextDownloadFailed);
    }
    idle = 0;
    // Never past the size: bytes beyond it are not the file's.
    const int want = static_cast<int>(std::min<int64_t>(kDownloadBlockBytes, size - received));
    const int n = recv(done.sock, block.data(), want, 0);
    if (n <= 0 ||
        std::fwrite(block.data(), 1, static_cast<size_t>(n), done.file) != static_cast<size_t>(n)) {
      events.Progress(self, -1);
      return Fail(done, job, events, kTextDownloadFailed);
    }
    received += n;
    const int percent = static_cast<int>(received * 100 / size);
    if (percent != lastPercent && received < size) {
      lastPercent = percent;
      events.Progress(self, percent);
    }
  }
  const bool closed = std::fclose(done.file) == 0;
  done.file = nullptr;
  if (!closed || std::rename(done.part.c_str(), job.path.c_str()) != 0) {
    std::remove(done.part.c_str());
    events.Progress(self, -1);
    return Fail(done, job, events, kTextOpenFileFailed);
  }
  Print("down load file ok!\n");
  done.Release();
  events.Progress(self, 100);
  events.Finished(job.row, kDownloadDone);
  return kDownloadDone;
}

namespace {

struct ThreadArgs {
  DownloadJob job;
  std::shared_ptr<DownloadSlots> slots;
  std::shared_ptr<DownloadEvents> events;
};

DWORD DownloadThread(void* p) {
  std::unique_ptr<ThreadArgs> args(static_cast<ThreadArgs*>(p));
  return static_cast<DWORD>(RunDownload(args->job, *args->slots, *args->events));
}

}  // namespace

HANDLE StartDownload(const DownloadJob& job, std::shared_ptr<DownloadSlots> slots,
                     std::shared_ptr<DownloadEvents> events) {
  auto args = std::make_unique<ThreadArgs>(ThreadArgs{job, slots, std::move(events)});
  HANDLE thread =
      CreateThread(nullptr, kDownloadStackBytes, &DownloadThread, args.get(), 0, nullptr);
  if (thread == nullptr) {
    slots->Release(job.slot);
    return nullptr;
  }
  args.release();
  return thread;
}

}  // namespace device::records
