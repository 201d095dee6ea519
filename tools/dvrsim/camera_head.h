#pragma once
// A channel's pan/tilt/zoom head and lens: where it points in the scene, how far it is zoomed,
// its focus and iris, its presets and its serial settings. A held action moves it with the
// time that passes until the next action (stop included), within the head's limits; every
// state is read as of a given time, so a test can drive the clock.
// Thread-safe: the command thread acts, the coding threads look.

#include <chrono>
#include <map>
#include <mutex>

#include "tools/dvrsim/camera_wire.h"
#include "tools/dvrsim/picture_adjust.h"
#include "tools/dvrsim/scene.h"

namespace dvrsim {

// Where the head points: the view's centre in scene pixels, its zoom (1 = one picture's size
// of the scene) and the lens's focus offset (0 = sharp).
struct CameraPose {
  double x = 0, y = 0;
  double zoom = 1;
  double focus = 0;
  bool operator==(const CameraPose&) const = default;
};

// What the coder needs of a camera for one picture.
struct CameraShot {
  SceneView view;
  int blur = 0;     // box radius, Defocus
  double gain = 1;  // Expose
  ImageLook look;
};

class CameraHead {
 public:
  using Clock = std::chrono::steady_clock;

  // Limits: the view stays within sceneWidth x sceneHeight, zoom within kMinZoom-kMaxZoom.
  // `home`: the view at start, a picture's size (pictureWidth x pictureHeight at zoom 1).
  CameraHead(SceneView home, int sceneWidth, int sceneHeight, int serialAddress);

  // Starts (1-14) or stops (0) a movement at `now`; other codes are ignored.
  void Move(int action, Clock::time_point now);
  // Presets 1-255: false for a number out of range, or one never set (call, delete).
  bool SetPreset(int preset, Clock::time_point now);
  bool DeletePreset(int preset);
  bool CallPreset(int preset, Clock::time_point now);

  CameraPose Pose(Clock::time_point now);
  CameraShot Shot(Clock::time_point now);

  SerialSettings serial() const;
  void SetSerial(const SerialSettings& s);
  ImageLook look() const;
  void SetLook(const ImageLook& look);

  static constexpr double kMinZoom = 0.5, kMaxZoom = 4;
  static constexpr double kFocusLimit = 6, kIrisLimit = 6;

 private:
  void Settle(Clock::time_point now);  // REQUIRES: mu_ held
  void Limit();                        // REQUIRES: mu_ held
  SceneView ViewOf(const CameraPose& pose) const;

  const int pictureWidth_, pictureHeight_, sceneWidth_, sceneHeight_;
  mutable std::mutex mu_;
  CameraPose pose_;                    // guarded by mu_
  double iris_ = 0;                    // guarded by mu_; gain 2^(iris / kIrisLimit)
  int moving_ = kPtzStop;              // guarded by mu_
  Clock::time_point since_;            // guarded by mu_: pose_ holds as of then
  std::map<int, CameraPose> presets_;  // guarded by mu_
  SerialSettings serial_;              // guarded by mu_
  ImageLook look_;                     // guarded by mu_
};

}  // namespace dvrsim
