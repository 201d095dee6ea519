#include "tools/dvrsim/live_camera.h"

#include <stdexcept>

#include "tools/dvrsim/picture.h"
#include "tools/dvrsim/picture_adjust.h"
#include "tools/dvrsim/relay_lamps.h"

namespace dvrsim {
namespace {

// A key frame this recent serves a starting viewer as well as a new one would.
constexpr auto kFreshKey = std::chrono::milliseconds(1000 / kFramesPerSecond);

}  // namespace

LiveCamera::LiveCamera(int channel, int width, int height, CameraHead* head,
                       const std::atomic<int>* relayMask)
    : channel_(channel), width_(width), height_(height), head_(head), relayMask_(relayMask) {}

bool LiveCamera::GoLive(const Scene* scene) {
  std::lock_guard<std::mutex> lock(mu_);
  if (scene_.load() != nullptr) return true;
  try {
    encoder_ = std::make_unique<LiveEncoder>(width_, height_, SceneKbit(width_, height_));
  } catch (const std::runtime_error&) {
    return false;
  }
  scene_.store(scene, std::memory_order_release);
  return true;
}

std::shared_ptr<const CodedFrame> LiveCamera::Next(uint64_t* cursor, bool fromKey) {
  if (!live()) return nullptr;
  std::lock_guard<std::mutex> lock(mu_);
  const uint64_t oldest = newest_ + 1 - recent_.size();
  // A viewer too far behind starts again rather than lag for ever.
  if (!fromKey && (*cursor + 1 < oldest || newest_ - *cursor > kLiveLagFrames)) fromKey = true;
  std::shared_ptr<const CodedFrame> frame;
  if (fromKey) {
    const bool fresh = !recent_.empty() && recent_.back()->key &&
                       std::chrono::steady_clock::now() - newestAt_ < kFreshKey;
    frame = fresh ? recent_.back() : CodeNext(true);
    if (frame) *cursor = newest_;
    return frame;
  }
  if (*cursor < newest_) {
    ++*cursor;
    return recent_[static_cast<size_t>(*cursor - oldest)];
  }
  frame = CodeNext(false);
  if (frame) *cursor = newest_;
  return frame;
}

std::shared_ptr<const CodedFrame> LiveCamera::CodeNext(bool key) {
  const Scene* scene = scene_.load(std::memory_order_acquire);
  const CameraShot shot = head_->Shot(std::chrono::steady_clock::now());
  const int number = static_cast<int>(newest_ % 10000);
  Picture pic = scene->Render(shot.view, number, width_, height_);
  Defocus(pic, shot.blur);
  Expose(pic, shot.gain);
  ApplyLook(pic, shot.look);
  DrawChannelMarks(pic, channel_, number);
  if (relayMask_ != nullptr) DrawRelayLamps(pic, relayMask_->load() & 3);
  std::shared_ptr<const CodedFrame> frame;
  try {
    frame = std::make_shared<const CodedFrame>(encoder_->Encode(pic, key));
  } catch (const std::runtime_error&) {
    return nullptr;
  }
  ++newest_;
  newestAt_ = std::chrono::steady_clock::now();
  recent_.push_back(frame);
  while (recent_.size() > kLiveLagFrames + 1) recent_.pop_front();
  return frame;
}

const CodedFrame* LiveFeed::Next() {
  if (camera_ == nullptr || !camera_->live()) return nullptr;
  frame_ = camera_->Next(&cursor_, !following_);
  following_ = frame_ != nullptr;
  return frame_.get();
}

}  // namespace dvrsim
