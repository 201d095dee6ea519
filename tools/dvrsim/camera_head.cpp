#include "tools/dvrsim/camera_head.h"

#include <algorithm>
#include <cmath>

namespace dvrsim {
namespace {

// Picture widths a second the view pans at control speed 1 and 63: slow enough to aim, fast
// enough to see within a second.
constexpr double kPanAtSpeed1 = 0.1, kPanAtSpeed63 = 0.875;
constexpr double kFocusPerSecond = 4;  // blur radius steps
constexpr double kIrisPerSecond = 3;
constexpr double kZoomStopsPerSecond = 1;  // doublings

struct Direction {
  int dx, dy;
};

Direction PanDirection(int action) {
  switch (action) {
    case kPtzUp:
      return {0, -1};
    case kPtzDown:
      return {0, 1};
    case kPtzLeft:
      return {-1, 0};
    case kPtzRight:
      return {1, 0};
    case kPtzLeftUp:
      return {-1, -1};
    case kPtzRightUp:
      return {1, -1};
    case kPtzLeftDown:
      return {-1, 1};
    case kPtzRightDown:
      return {1, 1};
    default:
      return {0, 0};
  }
}

}  // namespace

CameraHead::CameraHead(SceneView home, int sceneWidth, int sceneHeight, int serialAddress)
    : pictureWidth_(std::max(2, home.width)),
      pictureHeight_(std::max(2, home.height)),
      sceneWidth_(sceneWidth),
      sceneHeight_(sceneHeight) {
  pose_.x = home.x + home.width / 2.0;
  pose_.y = home.y + home.height / 2.0;
  serial_.address = std::clamp(serialAddress, 1, 127);
  since_ = Clock::now();
  Limit();
}

void CameraHead::Settle(Clock::time_point now) {
  const double t = std::chrono::duration<double>(now - since_).count();
  since_ = std::max(since_, now);
  if (t <= 0 || moving_ == kPtzStop) return;
  const Direction d = PanDirection(moving_);
  const double perSpeed = (kPanAtSpeed63 - kPanAtSpeed1) / 62;
  const double pan = (kPanAtSpeed1 + perSpeed * (serial_.speed - 1)) * pictureWidth_ / pose_.zoom;
  pose_.x += d.dx * pan * t;
  pose_.y += d.dy * pan * t;
  if (moving_ == kPtzFocusPlus) pose_.focus += kFocusPerSecond * t;
  if (moving_ == kPtzFocusMinus) pose_.focus -= kFocusPerSecond * t;
  if (moving_ == kPtzZoomPlus) pose_.zoom *= std::exp2(kZoomStopsPerSecond * t);
  if (moving_ == kPtzZoomMinus) pose_.zoom *= std::exp2(-kZoomStopsPerSecond * t);
  if (moving_ == kPtzIrisPlus) iris_ += kIrisPerSecond * t;
  if (moving_ == kPtzIrisMinus) iris_ -= kIrisPerSecond * t;
  Limit();
}

// The head's end stops: the view never leaves the scene.
void CameraHead::Limit() {
  pose_.zoom = std::clamp(pose_.zoom, kMinZoom, kMaxZoom);
  pose_.focus = std::clamp(pose_.focus, -kFocusLimit, kFocusLimit);
  iris_ = std::clamp(iris_, -kIrisLimit, kIrisLimit);
  const double halfW = pictureWidth_ / pose_.zoom / 2, halfH = pictureHeight_ / pose_.zoom / 2;
  pose_.x = halfW * 2 >= sceneWidth_ ? sceneWidth_ / 2.0
                                     : std::clamp(pose_.x, halfW, sceneWidth_ - halfW);
  pose_.y = halfH * 2 >= sceneHeight_ ? sceneHeight_ / 2.0
                                      : std::clamp(pose_.y, halfH, sceneHeight_ - halfH);
}

SceneView CameraHead::ViewOf(const CameraPose& pose) const {
  SceneView v;
  v.width = std::min(sceneWidth_, static_cast<int>(std::lround(pictureWidth_ / pose.zoom)));
  v.height = std::min(sceneHeight_, static_cast<int>(std::lround(pictureHeight_ / pose.zoom)));
  v.x = std::clamp(static_cast<int>(std::lround(pose.x - v.width / 2.0)), 0, sceneWidth_ - v.width);
  v.y = std::clamp(static_cast<int>(std::lround(pose.y - v.height / 2.0)), 0,
                   sceneHeight_ - v.height);
  return v;
}

void CameraHead::Move(int action, Clock::time_point now) {
  if (action < kPtzStop || action > kPtzIrisMinus) return;
  std::lock_guard<std::mutex> lock(mu_);
  Settle(now);
  moving_ = action;
}

bool CameraHead::SetPreset(int preset, Clock::time_point now) {
  if (preset < 1 || preset > 255) return false;
  std::lock_guard<std::mutex> lock(mu_);
  Settle(now);
  presets_[preset] = pose_;
  return true;
}

bool CameraHead::DeletePreset(int preset) {
  std::lock_guard<std::mutex> lock(mu_);
  return presets_.erase(preset) > 0;
}

// A head turning to a preset stops whatever it was doing.
bool CameraHead::CallPreset(int preset, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mu_);
  auto p = presets_.find(preset);
  if (p == presets_.end()) return false;
  Settle(now);
  moving_ = kPtzStop;
  pose_ = p->second;
  return true;
}

CameraPose CameraHead::Pose(Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mu_);
  Settle(now);
  return pose_;
}

CameraShot CameraHead::Shot(Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mu_);
  Settle(now);
  CameraShot shot;
  shot.view = ViewOf(pose_);
  shot.blur = static_cast<int>(std::lround(std::fabs(pose_.focus)));
  shot.gain = std::exp2(iris_ / kIrisLimit);
  shot.look = look_;
  return shot;
}

SerialSettings CameraHead::serial() const {
  std::lock_guard<std::mutex> lock(mu_);
  return serial_;
}

void CameraHead::SetSerial(const SerialSettings& s) {
  std::lock_guard<std::mutex> lock(mu_);
  Settle(Clock::now());  // the pan so far at the old speed
  serial_ = s;
}

ImageLook CameraHead::look() const {
  std::lock_guard<std::mutex> lock(mu_);
  return look_;
}

void CameraHead::SetLook(const ImageLook& look) {
  std::lock_guard<std::mutex> lock(mu_);
  look_ = look;
}

}  // namespace dvrsim
