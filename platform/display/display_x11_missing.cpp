// Stands in for the x11 backend where the build found no X11 libraries.
#include "platform/display/display.h"

namespace platform::display {

std::unique_ptr<Display> CreateX11Display(const DisplayOptions&, std::string* error) {
  *error = "x11: this build has no X11 backend";
  return nullptr;
}

}  // namespace platform::display
