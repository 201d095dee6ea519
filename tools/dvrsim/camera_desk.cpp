#include "tools/dvrsim/camera_desk.h"

#include <chrono>
#include <cstdio>

namespace dvrsim {
namespace {

std::string ViewText(const SceneView& v) {
  return "view " + std::to_string(v.x) + "," + std::to_string(v.y) + " " + std::to_string(v.width) +
         "x" + std::to_string(v.height);
}

std::string SerialText(const SerialSettings& s) {
  return std::string(ProtocolName(s.protocol)) + ", address " + std::to_string(s.address) +
         ", speed " + std::to_string(s.speed) + ", " + std::to_string(BaudRate(s.baud)) +
         " baud (index " + std::to_string(s.baud) + ")";
}

std::string LookText(const ImageLook& l) {
  return "colour " + std::to_string(l.colour) + ", contrast " + std::to_string(l.contrast) +
         ", luminance " + std::to_string(l.luminance) + ", saturation " +
         std::to_string(l.saturation);
}

}  // namespace

CameraDesk::CameraDesk(int channels, int width, int height, Log log)
    : width_(width), height_(height), log_(std::move(log)) {
  // The heads' limits are those of the scene the live cameras will look at.
  int sceneW = 0, sceneH = 0;
  Scene::CamerasGeometry(width, height, &sceneW, &sceneH);
  for (int ch = 1; ch <= channels; ++ch) {
    heads_.push_back(
        std::make_unique<CameraHead>(Scene::CameraHome(ch, width, height), sceneW, sceneH, ch));
  }
  cameras_.resize(heads_.size());
}

CameraDesk::~CameraDesk() {
  if (builder_.joinable()) builder_.join();
}

CameraHead* CameraDesk::head(int channel) {
  if (channel < 1 || channel > static_cast<int>(heads_.size())) return nullptr;
  return heads_[channel - 1].get();
}

LiveCamera* CameraDesk::AddCamera(int channel, const std::atomic<int>* relayMask) {
  CameraHead* h = head(channel);
  if (h == nullptr) return nullptr;
  auto& camera = cameras_[channel - 1];
  if (!camera) camera = std::make_unique<LiveCamera>(channel, width_, height_, h, relayMask);
  return camera.get();
}

void CameraDesk::GoLive(int channel) {
  if (channel < 1 || channel > static_cast<int>(cameras_.size())) return;
  LiveCamera* camera = cameras_[channel - 1].get();
  if (camera == nullptr || camera->live()) return;
  std::lock_guard<std::mutex> lock(mu_);
  if (scene_) {
    StartCamera(channel, scene_.get());
    return;
  }
  waiting_.insert(channel);
  if (!builder_.joinable()) builder_ = std::thread(&CameraDesk::MakeScene, this);
}

void CameraDesk::MakeScene() {
  auto start = std::chrono::steady_clock::now();
  auto scene = std::make_unique<Scene>(Scene::ForCameras(width_, height_));
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  char text[96];
  std::snprintf(text, sizeof text, "camera: scene of %dx%d made in %.2f s", scene->width(),
                scene->height(), took.count());
  log_(text);
  std::lock_guard<std::mutex> lock(mu_);
  scene_ = std::move(scene);
  for (int channel : waiting_) StartCamera(channel, scene_.get());
  waiting_.clear();
}

void CameraDesk::StartCamera(int channel, const Scene* scene) {
  LiveCamera* camera = cameras_[channel - 1].get();
  if (camera->live()) return;
  if (camera->GoLive(scene)) {
    log_("camera: channel " + std::to_string(channel) + " coded live from now on");
  } else {
    log_("camera: channel " + std::to_string(channel) + " cannot be coded live (no coder)");
  }
}

std::optional<std::vector<uint8_t>> CameraDesk::Action(std::span<const uint8_t> payload) {
  auto r = ParsePtzAction(payload);
  if (!r) {
    log_("ptz: request of " + std::to_string(payload.size()) + " byte(s), too short, ignored");
    return std::nullopt;
  }
  std::string line = "ptz: channel " + std::to_string(r->channel) + " action " +
                     std::to_string(r->action) + " (" + PtzActionName(r->action) + ") preset " +
                     std::to_string(r->preset);
  CameraHead* h = head(r->channel);
  if (h == nullptr) {
    log_(line + ": no such channel, ignored");
    return std::nullopt;
  }
  const auto now = CameraHead::Clock::now();
  if (r->action <= kPtzIrisMinus) {
    h->Move(r->action, now);
    if (r->action == kPtzStop) line += ": " + ViewText(h->Shot(now).view);
  } else if (r->action >= kPtzSetPreset && r->action <= kPtzCallPreset) {
    Preset(*h, r->action, r->preset, line);
  } else {
    log_(line + ": unknown action, ignored");
    return std::nullopt;
  }
  log_(line);
  GoLive(r->channel);
  return std::nullopt;  // the viewer reads no reply to an action
}

void CameraDesk::Preset(CameraHead& h, int action, int preset, std::string& line) {
  const auto now = CameraHead::Clock::now();
  if (preset < 1 || preset > 255) {
    line += ": preset outside 1-255, ignored";
  } else if (action == kPtzSetPreset) {
    h.SetPreset(preset, now);
    line += ": stored, " + ViewText(h.Shot(now).view);
  } else if (action == kPtzDeletePreset) {
    line += h.DeletePreset(preset) ? ": deleted" : ": not set";
  } else if (h.CallPreset(preset, now)) {
    line += ": " + ViewText(h.Shot(now).view);
  } else {
    line += ": not set, the camera stays";
  }
}

// A set out of range is refused and answered like a get, with the settings that hold: a
// confirmation would tell the viewer "setting success!" for settings that were not taken.
std::optional<std::vector<uint8_t>> CameraDesk::Config(std::span<const uint8_t> payload) {
  auto r = ParsePtzConfig(payload);
  if (!r) {
    log_("ptz config: request of " + std::to_string(payload.size()) +
         " byte(s) not understood, not answered");
    return std::nullopt;
  }
  const std::string what =
      "ptz config: channel " + std::to_string(r->channel) + (r->set ? " set" : " get");
  CameraHead* h = head(r->channel);
  if (h == nullptr) {
    log_(what + ": no such channel, not answered");
    return std::nullopt;
  }
  if (!r->set) {
    log_(what + ": " + SerialText(h->serial()));
    return PtzConfigReply(0, r->channel, h->serial());
  }
  if (std::string fault = SerialSettingsFault(r->settings); !fault.empty()) {
    log_(what + " refused (" + fault +
         "); answered with the settings that hold: " + SerialText(h->serial()));
    return PtzConfigReply(0, r->channel, h->serial());
  }
  h->SetSerial(r->settings);
  log_(what + ": " + SerialText(r->settings));
  return PtzConfigReply(1, r->channel, r->settings);
}

// Sets are not answered: the viewer reads its image socket only after a get, and would take a
// set's answer for the next get's.
std::optional<std::vector<uint8_t>> CameraDesk::Image(std::span<const uint8_t> payload) {
  auto r = ParseImageRequest(payload);
  if (!r) {
    log_("image: request of " + std::to_string(payload.size()) +
         " byte(s) not understood, not answered");
    return std::nullopt;
  }
  const std::string what = "image: channel " + std::to_string(r->index + 1) + " (index " +
                           std::to_string(r->index) + ")" + (r->set ? " set" : " get");
  CameraHead* h = head(r->index + 1);
  if (h == nullptr) {
    log_(what + ": no such channel, not answered");
    return std::nullopt;
  }
  if (!r->set) {
    log_(what + ": " + LookText(h->look()));
    return ImageReply(r->index, h->look());
  }
  h->SetLook(r->look);
  log_(what + ": " + LookText(r->look) + " (not answered)");
  GoLive(r->index + 1);
  return std::nullopt;
}

}  // namespace dvrsim
