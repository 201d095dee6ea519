#include "platform/registry/hive_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/kernel/file_write.h"
#include "platform/registry/registry_format.h"
#include "platform/registry/winreg.h"

namespace platform::registry {
namespace {

// A hive larger than this is not one this layer wrote.
constexpr off_t kMaxHiveBytes = 64 << 20;

std::mutex& ProcessLock() {
  static std::mutex mutex;
  return mutex;
}

std::string HiveFile(Hive hive) {
  return StateFolder() + (hive == Hive::kMachine ? "/machine.reg" : "/user.reg");
}

// Makes every missing folder of `path`.
bool MakeFolders(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

class FileLock {
 public:
  explicit FileLock(const std::string& path)
      : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {}
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing drops the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Take(int wait_ms) {
    if (fd_ < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) return false;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

 private:
  const int fd_;
};

LONG ReadFile(const std::string& path, std::string* text) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_CANTREAD;
  struct stat st {};
  LONG result = ERROR_SUCCESS;
  if (fstat(fd, &st) != 0) {
    result = ERROR_CANTREAD;
  } else if (st.st_size > kMaxHiveBytes) {
    result = ERROR_BADDB;
  } else {
    text->resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < text->size()) {
      const ssize_t n = read(fd, text->data() + got, text->size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (got != text->size()) result = ERROR_CANTREAD;
  }
  close(fd);
  return result;
}

// Writes `text` as the new file of `path`: a fresh file beside it, flushed, renamed over it,
// and the folder flushed so that the rename itself lasts.
LONG ReplaceFile(const std::string& folder, const std::string& path, const std::string& text) {
  // Only the lock's holder writes this file, so one left by a killed writer is simply reused.
  const std::string fresh = path + ".new";
  const int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
  const bool written = kernel::WriteAllAt(fd, text.data(), text.size(), 0) && fsync(fd) == 0;
  if (close(fd) != 0 || !written || rename(fresh.c_str(), path.c_str()) != 0) {
    unlink(fresh.c_str());
    return ERROR_CANTWRITE;
  }
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return ERROR_SUCCESS;
}

}  // namespace

std::string StateFolder() {
  if (const char* dir = getenv("ORVIX_REGISTRY_DIR"); dir && *dir) return dir;
  if (geteuid() == 0) return "/var/lib/orvix/registry";
  if (const char* state = getenv("XDG_STATE_HOME"); state && *state) {
    return std::string(state) + "/orvix/registry";
  }
  const char* home = getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/state/orvix/registry";
}

LONG ReadHive(Hive hive, Key* tree) {
  std::string text;
  const LONG read = ReadFile(HiveFile(hive), &text);
  if (read == ERROR_FILE_NOT_FOUND) {
    *tree = Key();
    return ERROR_SUCCESS;
  }
  if (read != ERROR_SUCCESS) return read;
  std::optional<Key> parsed = ParseHive(text);
  if (!parsed) return ERROR_BADDB;
  *tree = std::move(*parsed);
  return ERROR_SUCCESS;
}

LONG UpdateHive(Hive hive, const std::function<LONG(Key&)>& change) {
  const std::string folder = StateFolder();
  std::lock_guard<std::mutex> guard(ProcessLock());
  if (!MakeFolders(folder)) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
  FileLock lock(folder + (hive == Hive::kMachine ? "/machine.lock" : "/user.lock"));
  if (!lock.Take(kLockWaitMs)) return ERROR_CANTWRITE;
  Key tree;
  if (const LONG read = ReadHive(hive, &tree); read != ERROR_SUCCESS) return read;
  const Key before = tree;
  if (const LONG changed = change(tree); changed != ERROR_SUCCESS) return changed;
  if (tree == before) return ERROR_SUCCESS;
  return ReplaceFile(folder, HiveFile(hive), SerializeHive(tree));
}

}  // namespace platform::registry
