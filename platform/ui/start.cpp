#include <mutex>

#include "platform/ui/controls_draw.h"
#include "platform/ui/desktop.h"
#include "platform/ui/message_internal.h"
#include "platform/ui/static_control.h"

namespace platform::ui {

void EnsureStarted() {
  static std::once_flag once;
  std::call_once(once, [] {
    {
      std::lock_guard<std::mutex> lock(TreeMutex());
      RegisterStaticClass();
      RegisterButtonClass();
      RegisterEditClass();
      RegisterListBoxClass();
      RegisterComboBoxClass();
      RegisterDialogClass();
    }
    InstallPump();
  });
}

}  // namespace platform::ui
