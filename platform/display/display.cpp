#include "platform/display/display.h"

#include <atomic>
#include <cstdlib>

#include "platform/display/png_image.h"
#include "platform/ui/window.h"

namespace platform::display {
namespace {

constexpr int kMaxSide = 16384;

std::atomic<Display*> g_current{nullptr};

std::string ChooseBackend(const DisplayOptions& options) {
  if (options.backend != "auto") return options.backend;
  const char* env = std::getenv("DISPLAY");
  return (env != nullptr && *env != '\0') || !options.x11_display.empty() ? "x11" : "headless";
}

}  // namespace

Display::Display(int width, int height) : framebuffer_(width, height) {
  ui::SetDesktopSize(width, height);
}

Display::~Display() {
  Display* self = this;
  g_current.compare_exchange_strong(self, nullptr);
}

Display* Display::Current() { return g_current.load(); }

std::unique_ptr<Display> Display::CreateHeadless(int width, int height, std::string* error) {
  DisplayOptions options;
  options.backend = "headless";
  options.width = width;
  options.height = height;
  return Create(options, error);
}

std::unique_ptr<Display> Display::Create(const DisplayOptions& options, std::string* error) {
  if (options.width <= 0 || options.height <= 0 || options.width > kMaxSide ||
      options.height > kMaxSide) {
    *error = "desktop size out of range";
    return nullptr;
  }
  if (Current() != nullptr) {
    *error = "a display already exists";
    return nullptr;
  }
  std::string backend = ChooseBackend(options);
  std::unique_ptr<Display> display;
  if (backend == "headless") {
    display = CreateHeadlessDisplay(options, error);
  } else if (backend == "x11") {
    display = CreateX11Display(options, error);
  } else {
    *error = "unknown display backend \"" + backend + "\" (use auto, x11 or headless)";
    return nullptr;
  }
  if (!display) return nullptr;
  Display* expected = nullptr;
  if (!g_current.compare_exchange_strong(expected, display.get())) {
    *error = "a display already exists";
    return nullptr;
  }
  return display;
}

bool Display::Screenshot(const std::string& path, std::string* error) {
  std::lock_guard<std::mutex> lock(framebuffer_.mutex());
  return WritePng(path, framebuffer_.pixels(), framebuffer_.width(), framebuffer_.height(),
                  framebuffer_.stride(), error);
}

}  // namespace platform::display
