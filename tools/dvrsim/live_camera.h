#pragma once
// A channel coded live: once its camera has been moved or its picture adjusted, the channel's
// pictures are drawn from the scene as its head points and coded as they are sent, instead of
// looping the frames coded at start-up. One coder per channel, shared by all its viewers:
// every viewer follows the same coded sequence, each from a key frame of its own on, and the
// coding is paced by the viewers' sending (no viewer, no coding).

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "tools/dvrsim/camera_head.h"
#include "tools/dvrsim/encoder.h"
#include "tools/dvrsim/scene.h"

namespace dvrsim {

class LiveCamera {
 public:
  // `head` and `relayMask` (null: no lamps drawn) outlive the camera.
  LiveCamera(int channel, int width, int height, CameraHead* head,
             const std::atomic<int>* relayMask);

  // From now on the channel is coded live from `scene` (made by Scene::ForCameras for this
  // picture size; it outlives the camera). False when the coder cannot be opened. Idempotent.
  bool GoLive(const Scene* scene);
  bool live() const { return scene_.load(std::memory_order_acquire) != nullptr; }

  // For a viewer: the frame after number *cursor, coding it when no viewer has asked for it
  // yet, and its number in *cursor. With `fromKey` (a viewer starting), a key frame: the
  // newest one when it is that fresh, else a new one. Null when not live or coding failed.
  std::shared_ptr<const CodedFrame> Next(uint64_t* cursor, bool fromKey);

 private:
  std::shared_ptr<const CodedFrame> CodeNext(bool key);  // REQUIRES: mu_ held

  const int channel_, width_, height_;
  CameraHead* head_;
  const std::atomic<int>* relayMask_;
  std::atomic<const Scene*> scene_{nullptr};
  mutable std::mutex mu_;
  std::unique_ptr<LiveEncoder> encoder_;                  // guarded by mu_
  std::deque<std::shared_ptr<const CodedFrame>> recent_;  // guarded by mu_; ends at newest_
  uint64_t newest_ = 0;                                   // guarded by mu_; 0: none yet
  std::chrono::steady_clock::time_point newestAt_;        // guarded by mu_
};

// One viewer's place in a live camera's sequence. Used by one session's sender thread.
class LiveFeed {
 public:
  explicit LiveFeed(LiveCamera* camera) : camera_(camera) {}
  // The viewer's next live frame, from a key frame on; null while the channel is not live.
  // Valid until the next call.
  const CodedFrame* Next();
  // After a gap in sending, the viewer starts again from a key frame.
  void Restart() { following_ = false; }

 private:
  LiveCamera* camera_;
  uint64_t cursor_ = 0;
  bool following_ = false;
  std::shared_ptr<const CodedFrame> frame_;
};

// How far (in frames) a viewer may fall behind the newest coded frame before it is started
// again from a new key frame, and so how many frames a camera keeps.
inline constexpr uint64_t kLiveLagFrames = 10;

}  // namespace dvrsim
