#include "device/playback/seek_queue.h"

#include <utility>

namespace device::playback {

SeekQueue::SeekQueue(Seek seek) : seek_(std::move(seek)), thread_(&SeekQueue::Run, this) {}

SeekQueue::~SeekQueue() { Stop(); }

void SeekQueue::Post(int seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stop_) return;
  waiting_ = seconds;
  latest_ = seconds;
  wake_.notify_one();
}

void SeekQueue::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    waiting_.reset();
    wake_.notify_one();
  }
  if (thread_.joinable()) thread_.join();
}

void SeekQueue::Settle() {
  std::unique_lock<std::mutex> lock(mutex_);
  waiting_.reset();
  idle_.wait(lock, [this] { return !running_; });
}

bool SeekQueue::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_ || waiting_.has_value();
}

std::optional<int> SeekQueue::Target() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!running_ && !waiting_) return std::nullopt;
  return latest_;
}

uint64_t SeekQueue::Executed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return executed_;
}

void SeekQueue::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || waiting_.has_value(); });
    if (stop_) return;
    const int seconds = *std::exchange(waiting_, std::nullopt);
    running_ = true;
    lock.unlock();
    seek_(seconds);
    lock.lock();
    running_ = false;
    ++executed_;
    idle_.notify_all();
  }
}

}  // namespace device::playback
