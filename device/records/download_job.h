#pragma once
// One recording download over TCP, on a thread of its own:
//
//   connect to the DVR's download port, 5 s send and receive time-outs, send the 20-byte
//   descriptor, read the 8-byte answer (at most 1 s), then with the magic and code 0 write
//   the file's bytes in blocks of up to 49 152 bytes until exactly the descriptor's size has
//   arrived, reporting the percentage whenever it changes.
//
// The bytes go to a part file beside the chosen path, which is renamed to it only once the
// size is reached: a download that fails or is cancelled removes its part file and never
// leaves a truncated file under the chosen name. A file of 0 bytes completes at once. Every
// failure (no connection, a failed send, no or a short answer, codes 2 to 4 and others, a
// wrong magic, a closed connection, a minute without a byte) ends the download as failed,
// so the search row never stays "Downloading". The slot's keep-running flag is looked at
// at least once a second.

#include <memory>
#include <string>

#include "device/protocol/messages.h"
#include "device/records/download_slots.h"
#include "platform/kernel/win_types.h"

namespace device::records {

// Language-table IDs the download shows.
inline constexpr int kTextConnectionFailed = 632;
inline constexpr int kTextOpenFileFailed = 633;
inline constexpr int kTextFileNotExisted = 634;
inline constexpr int kTextOpenDeviceFailed = 635;
inline constexpr int kTextReadDeviceFailed = 636;
inline constexpr int kTextDownloadFailedCode = 637;  // "Download failed! code:%d"
inline constexpr int kTextDownloadFailed = 615;

enum DownloadResult : int { kDownloadDone = 0, kDownloadFailed = 1, kDownloadCancelled = 2 };

struct DownloadJob {
  std::string address;  // dotted IPv4
  int port = kDownloadPort;
  RecordDescriptor descriptor{};
  std::string path;       // where the file goes
  int row = -1;           // the search list's row
  int slot = -1;          // reserved in the slots before the thread starts
  int stallSeconds = 60;  // without a byte of data before the download counts as failed
};

// What a download tells the dialogs, from its own thread. Calls must not block for long.
class DownloadEvents {
 public:
  virtual ~DownloadEvents() = default;
  // A row for the download list (path, progress "0", item data = the thread's id).
  virtual void ListRow(DWORD thread, const std::string& path) = 0;
  // The list's progress: a percentage, or -1 failed.
  virtual void Progress(DWORD thread, int percent) = 0;
  // The search row's outcome (DownloadResult).
  virtual void Finished(int row, int result) = 0;
  // A message box with a text of the language table (`code` fills "%d" in 637).
  virtual void Show(int textId, int code) = 0;
};

// Runs the download on the calling thread and frees its slot at the end. Prints "recv respone
// error!\n", "down load file ok!\n" and "cannel download---------\n" where they happen.
DownloadResult RunDownload(const DownloadJob& job, DownloadSlots& slots, DownloadEvents& events);

inline constexpr size_t kDownloadStackBytes = 256 * 1024;

// Starts RunDownload on a new thread (256 KiB of stack) that keeps `slots` and `events` alive
// until it ends. Null when the thread could not be made (the slot is freed then). The handle
// is the caller's to wait on and close.
HANDLE StartDownload(const DownloadJob& job, std::shared_ptr<DownloadSlots> slots,
                     std::shared_ptr<DownloadEvents> events);

}  // namespace device::records
