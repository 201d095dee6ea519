#include "tools/orvix/control_viewer.h"

#include "control/live_channel.h"
#include "control/viewer_control.h"
#include "control/viewer_window.h"
#include "platform/ui/ui.h"

namespace orvix {
namespace {

// The library outlives every control of the process.
control::VideoLibrary& Library() {
  static control::VideoLibrary library;
  return library;
}

class ControlViewer : public HostedViewer {
 public:
  bool Create(HWND parent, const PageProperties& page) override {
    control_ = std::make_unique<control::ViewerControl>(Library());
    control_->SetRtspPort(page.rtspPort);
    control_->SetCommandPort(page.commandPort);
    control_->LoadSettings([&](const char* name) { return page.Get(name); });
    RECT client;
    GetClientRect(parent, &client);
    window_ = control::CreateViewerWindow(control_.get(), parent, client);
    return window_ != nullptr;
  }

  HWND window() const override {
    return window_ != nullptr && IsWindow(window_) ? window_ : nullptr;
  }

  void Destroy() override {
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
  }

  bool ChangeCaptureDir(const std::string& dir) override {
    return control_ != nullptr && control_->ChangeCaptureDir(dir);
  }

  ~ControlViewer() override {
    Destroy();
    control_.reset();
  }

 private:
  std::unique_ptr<control::ViewerControl> control_;
  HWND window_ = nullptr;
};

}  // namespace

std::unique_ptr<HostedViewer> CreateControlViewer() { return std::make_unique<ControlViewer>(); }

}  // namespace orvix
