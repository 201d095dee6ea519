#pragma once
// The recorder: the catalogue and its files behind command 18 (record search), command 46
// (USB export, answered with progress replies) and the downloads on TCP port 2800.
//
// Download exchange: the client sends a 20-byte record descriptor alone; the recorder answers
// 8 bytes (magic 0xFFFFEEEE, code: 0 the file follows, 2 no such file, 3 and 4 the DVR's
// open and read failures) and, with code 0, exactly the file's bytes; the client closes.
//
// Threads: one acceptor, one thread per download connection (at most kMaxDownloads at once,
// more are closed unanswered), one per USB export in progress. Stop() ends them all.

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/net.h"
#include "tools/dvrsim/catalogue.h"
#include "tools/dvrsim/recorder_options.h"
#include "tools/dvrsim/recording_files.h"

namespace dvrsim {

class CommandServer;

inline constexpr int kRecordQueryCommand = 18;
inline constexpr int kUsbExportCommand = 46;
inline constexpr int32_t kDownloadMagicWord = static_cast<int32_t>(0xFFFFEEEE);
inline constexpr size_t kMaxDownloads = 16;
inline constexpr int kDownloadRequestWaitMs = 5000;

struct RecorderStats {
  std::atomic<uint64_t> queries{0};
  std::atomic<uint64_t> downloads{0};  // connections answered
  std::atomic<uint64_t> served{0};     // files sent whole
  std::atomic<uint64_t> exports{0};
};

class Recorder {
 public:
  using Log = std::function<void(const std::string&)>;

  Recorder(RecorderOptions options, int channels, int width, int height, std::time_t today,
           std::string bind, Log log);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Listens for downloads on `port` (0: a free one). Throws std::runtime_error on failure.
  void StartDownloads(int port);
  void Stop();
  int downloadPort() const { return port_; }

  // Command 18: the entries (made on first use) or the int32 -1 alone; nullopt for a payload
  // too short to be a query.
  std::optional<std::vector<uint8_t>> Query(std::span<const uint8_t> payload);
  // Command 46: the first progress reply; the later ones are sent to `to` from the
  // recorder's own socket, one every exportStepMs, by a thread of the export's own.
  std::optional<std::vector<uint8_t>> Export(std::span<const uint8_t> payload,
                                             const sockaddr_in& to);

  const Catalogue& catalogue() const { return catalogue_; }
  RecordingFiles& files() { return files_; }
  const RecorderStats& stats() const { return stats_; }
  // The path and size of the file `descriptor` names; nullopt when it names none.
  std::optional<RecordingFile> Resolve(std::span<const uint8_t> descriptor);

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void AcceptLoop();
  void Serve(SOCKET s);
  void ServeFile(SOCKET s, const RecordingFile& file);
  void RunExport(sockaddr_in to);
  void SendProgress(const sockaddr_in& to, int32_t status, int32_t percent);
  void Spawn(std::function<void()> work);
  void Reap(bool all);

  RecorderOptions options_;
  Catalogue catalogue_;
  RecordingFiles files_;
  std::string bind_;
  Log log_;
  SOCKET listener_ = INVALID_SOCKET;
  SOCKET replySock_ = INVALID_SOCKET;  // the exports' later progress replies
  int port_ = 0;
  std::thread acceptor_;
  std::atomic<bool> stop_{false};
  std::mutex workersMutex_;
  std::list<std::unique_ptr<Worker>> workers_;  // guarded by workersMutex_
  std::atomic<size_t> openDownloads_{0};
  RecorderStats stats_;
};

// Progress payload of command 46: unused word, status, percent.
std::vector<uint8_t> ExportProgressPayload(int32_t status, int32_t percent);

}  // namespace dvrsim
