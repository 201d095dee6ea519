// The viewers this program carries. A viewer added to the program registers here, last:
// the host shows the latest one.
#include "tools/orvix/control_viewer.h"
#include "tools/orvix/hosted_viewer.h"

namespace orvix {

void RegisterBuiltInViewers() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterViewerFactory("control", &CreateControlViewer);
}

}  // namespace orvix
