// The WAV file backend: RIFF 'WAVE' with a 'fmt ' and a 'data' chunk. The RIFF and data sizes
// are brought up to date after every write, so the file is a valid WAV at every moment, also
// when the process dies while playing.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "platform/kernel/file_write.h"
#include "platform/mm/wave_backend.h"

namespace platform::mm {
namespace {

using platform::kernel::WriteAllAt;

using Clock = std::chrono::steady_clock;

constexpr uint32_t kHeaderSize = 44;  // RIFF(12) + 'fmt '(8 + 16) + 'data'(8)

void Put32(uint8_t* at, uint32_t v) { std::memcpy(at, &v, 4); }
void Put16(uint8_t* at, uint16_t v) { std::memcpy(at, &v, 2); }

// Paths of the sinks open now: a second device open at the same time gets a file of its own
// instead of writing over the first one's.
std::mutex g_paths_mutex;
std::set<std::string>& PathsInUse() {
  static auto* paths = new std::set<std::string>;
  return *paths;
}

// `path` itself when free, else "name.N.wav" with the lowest N free; the path is taken.
std::string TakePath(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_paths_mutex);
  std::string chosen = path;
  const size_t dot = path.rfind('.');
  const bool has_ext = dot != std::string::npos && path.find('/', dot) == std::string::npos;
  for (int n = 1; PathsInUse().count(chosen) != 0; ++n) {
    chosen = has_ext ? path.substr(0, dot) + "." + std::to_string(n) + path.substr(dot)
                     : path + "." + std::to_string(n);
  }
  PathsInUse().insert(chosen);
  return chosen;
}

void ReleasePath(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_paths_mutex);
  PathsInUse().erase(path);
}

class WavFileSink : public WaveBackend {
 public:
  WavFileSink(int fd, std::string path, const WAVEFORMATEX& format)
      : fd_(fd), path_(std::move(path)), format_(format) {}
  ~WavFileSink() override {
    close(fd_);
    ReleasePath(path_);
  }

  bool WriteHeader() {
    uint8_t h[kHeaderSize];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, kHeaderSize - 8);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, format_.wFormatTag);
    Put16(h + 22, format_.nChannels);
    Put32(h + 24, format_.nSamplesPerSec);
    Put32(h + 28, format_.nAvgBytesPerSec);
    Put16(h + 32, format_.nBlockAlign);
    Put16(h + 34, format_.wBitsPerSample);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, 0);
    return WriteAllAt(fd_, h, sizeof h, 0);
  }

  bool Play(const uint8_t* data, size_t size, const std::atomic<bool>& stop) override {
    const auto now = Clock::now();
    if (due_ < now) due_ = now;
    due_ += std::chrono::microseconds(1000000ull * size / format_.nAvgBytesPerSec);
    // The bytes count as heard once their time has passed: a reset before then drops them.
    while (!stop.load()) {
      const auto left = due_ - Clock::now();
      if (left <= Clock::duration::zero()) return Append(data, size);
      std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(2)));
    }
    return false;
  }

  void Drop() override { due_ = Clock::now(); }
  void Idle() override { due_ = Clock::time_point(); }

 private:
  bool Append(const uint8_t* data, size_t size) {
    if (!WriteAllAt(fd_, data, size, kHeaderSize + data_size_)) return false;
    data_size_ += static_cast<uint32_t>(size);
    const uint32_t riff = kHeaderSize - 8 + data_size_;
    return WriteAllAt(fd_, &data_size_, 4, 40) && WriteAllAt(fd_, &riff, 4, 4);
  }

  int fd_;
  std::string path_;
  WAVEFORMATEX format_;
  uint32_t data_size_ = 0;
  Clock::time_point due_;
};

}  // namespace

std::unique_ptr<WaveBackend> OpenWavFileSink(const std::string& path, const WAVEFORMATEX& format,
                                             MMRESULT* error) {
  const std::string chosen = TakePath(path);
  const int fd = open(chosen.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    ReleasePath(chosen);
    *error = MMSYSERR_NODRIVER;
    return nullptr;
  }
  auto sink = std::make_unique<WavFileSink>(fd, chosen, format);
  if (!sink->WriteHeader()) {
    *error = MMSYSERR_ERROR;
    return nullptr;
  }
  *error = MMSYSERR_NOERROR;
  return sink;
}

}  // namespace platform::mm
