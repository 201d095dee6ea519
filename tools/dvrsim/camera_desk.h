#pragma once
// The cameras behind the command side: each channel's PTZ head with its serial settings and
// image settings, and for the channels whose pictures are drawn here a live camera. Answers
// commands 26 (PTZ actions: no reply), 27 (PTZ settings) and 56 (image settings), logging each
// one. A channel goes live on its first PTZ action or image change; the scene the live
// cameras look at is made then, once for all of them, on a thread of its own (a large scene
// takes a second), and the channels waiting for it go live when it is ready.
// Handlers run on the command server's thread; cameras are read by the senders.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "tools/dvrsim/camera_head.h"
#include "tools/dvrsim/live_camera.h"
#include "tools/dvrsim/scene.h"

namespace dvrsim {

class CameraDesk {
 public:
  using Log = std::function<void(const std::string&)>;

  // Heads for channels 1..channels looking at pictures of width x height.
  CameraDesk(int channels, int width, int height, Log log);
  ~CameraDesk();
  CameraDesk(const CameraDesk&) = delete;
  CameraDesk& operator=(const CameraDesk&) = delete;

  // Gives `channel` a live camera (its pictures are drawn here), with channel 1's relay lamps
  // from `relayMask` (null: none). The camera lives as long as the desk.
  LiveCamera* AddCamera(int channel, const std::atomic<int>* relayMask);
  // Codes `channel` live from now on (once the scene is made), when it has a camera.
  void GoLive(int channel);

  CameraHead* head(int channel);  // null outside 1..channels

  // Command handlers: the reply's payload, or nullopt for none.
  std::optional<std::vector<uint8_t>> Action(std::span<const uint8_t> payload);
  std::optional<std::vector<uint8_t>> Config(std::span<const uint8_t> payload);
  std::optional<std::vector<uint8_t>> Image(std::span<const uint8_t> payload);

 private:
  void Preset(CameraHead& head, int action, int preset, std::string& line);
  void MakeScene();                                   // the builder thread
  void StartCamera(int channel, const Scene* scene);  // REQUIRES: mu_ held

  const int width_, height_;
  Log log_;
  std::vector<std::unique_ptr<CameraHead>> heads_;
  std::vector<std::unique_ptr<LiveCamera>> cameras_;  // by channel - 1; null: none
  std::mutex mu_;
  std::unique_ptr<Scene> scene_;  // guarded by mu_; made once, by builder_
  std::set<int> waiting_;         // guarded by mu_: channels to go live once scene_ is there
  std::thread builder_;           // started by the first GoLive, joined by the destructor
};

}  // namespace dvrsim
