#pragma once
// A busy, moving world for the simulated cameras to look at: fine texture everywhere, objects
// crossing it at different speeds and the sensor noise of a real camera, so that coded frames
// and their decoding cost what a camera's do. A camera's picture is a view into the scene: a
// rectangle of scene pixels sampled to the picture's size, so a view can pan and zoom.

#include <cstdint>
#include <vector>

#include "tools/dvrsim/picture.h"

namespace dvrsim {

// A rectangle of the scene, in scene pixels.
struct SceneView {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class Scene {
 public:
  // A scene of width x height pixels; the same seed makes the same scene. With a `margin`
  // (rounded up to a multiple of kMarginStep) the still background goes on that far around
  // it, the same at the same place, and the movers keep to the middle width x height.
  Scene(int width, int height, uint32_t seed, int margin = 0);

  // Whole scene, margins included.
  int width() const { return width_; }
  int height() const { return height_; }
  int margin() const { return margin_; }

  // A margin that is a multiple of every lattice step of the background (luma and chroma)
  // continues it seamlessly.
  static constexpr int kMarginStep = 192;

  // The scene seen through `view` (clipped to the scene) at frame `frame`, as a picture of
  // pictureWidth x pictureHeight (both even). Every frame differs from the one before.
  Picture Render(const SceneView& view, int frame, int pictureWidth, int pictureHeight) const;

  // The view of live channel `channel` (1-8) for pictures of width x height: one picture's
  // size, each channel looking at a different part of a scene made by ForPictures (or
  // ForCameras: the same part, in that scene's coordinates).
  SceneView ChannelView(int channel, int width, int height) const;

  // A scene large enough for eight different views of pictures of width x height.
  static Scene ForPictures(int width, int height);
  // The scene of ForPictures with a margin of at least half a picture around it, so that a
  // camera at any channel's view can turn some way in every direction.
  static Scene ForCameras(int width, int height);
  // What ForCameras(width, height) will be, without making it: its size and the view
  // ChannelView gives in it.
  static void CamerasGeometry(int width, int height, int* sceneWidth, int* sceneHeight);
  static SceneView CameraHome(int channel, int width, int height);

 private:
  static int RoundMargin(int margin);
  static int CamerasMargin(int width) { return RoundMargin((width + 1) / 2); }
  static SceneView ViewIn(int channel, int width, int height, int coreWidth, int coreHeight,
                          int margin);

  struct Mover {
    int x, y;    // position at frame 0
    int dx, dy;  // pixels a frame
    int width, height;
    uint8_t luma, stripe;  // body brightness and stripe period in pixels
    uint8_t u, v;
  };

  int width_, height_;  // margins included
  int margin_;
  int coreWidth_, coreHeight_;
  uint32_t seed_;
  std::vector<uint8_t> y_, u_, v_;  // the still background: luma and half-size chroma
  std::vector<Mover> movers_;
};

}  // namespace dvrsim
