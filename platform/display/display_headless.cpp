// The headless backend: the framebuffer exists only in memory and leaves it as screenshots.
#include "platform/display/display.h"

namespace platform::display {
namespace {

class HeadlessDisplay : public Display {
 public:
  HeadlessDisplay(int width, int height) : Display(width, height) {}
  const char* backend() const override { return "headless"; }
  bool Present() override {
    std::lock_guard<std::mutex> lock(framebuffer().mutex());
    framebuffer().TakeDirty();
    return true;
  }
};

}  // namespace

std::unique_ptr<Display> CreateHeadlessDisplay(const DisplayOptions& options, std::string*) {
  return std::make_unique<HeadlessDisplay>(options.width, options.height);
}

}  // namespace platform::display
