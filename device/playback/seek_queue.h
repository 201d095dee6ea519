#pragma once
// The seeks of one playback, run one at a time on a thread of their own. Dragging the slider
// asks for a seek at every change of position; each is a PAUSE and a PLAY on the RTSP
// connection. While one is in flight a newer position replaces the one waiting, so a drag never
// has more than one seek queued behind the one under way, and the last position asked for is
// always the one played last.
//
// Threads: Post, Stop and the readers on any thread; the seek function runs on the queue's
// own thread, which Stop (or the destructor) joins.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace device::playback {

class SeekQueue {
 public:
  using Seek = std::function<void(int seconds)>;
  explicit SeekQueue(Seek seek);
  ~SeekQueue();
  SeekQueue(const SeekQueue&) = delete;
  SeekQueue& operator=(const SeekQueue&) = delete;

  // Asks for a seek to `seconds`, replacing one that waits.
  void Post(int seconds);
  // Drops a waiting seek and waits for the one under way; the queue takes new ones after.
  void Settle();
  // Drops a waiting seek, waits for the one under way (the requests bound it) and ends the
  // thread. Posts after it are ignored.
  void Stop();
  // A seek waits or is under way.
  bool Busy() const;
  // The position of the last Post, while Busy.
  std::optional<int> Target() const;
  // Seeks run so far.
  uint64_t Executed() const;

 private:
  void Run();

  Seek seek_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::optional<int> waiting_;  // guarded by mutex_
  bool running_ = false;        // a seek is under way; guarded by mutex_
  int latest_ = 0;              // guarded by mutex_
  bool stop_ = false;           // guarded by mutex_
  uint64_t executed_ = 0;       // guarded by mutex_
  std::thread thread_;
};

}  // namespace device::playback
