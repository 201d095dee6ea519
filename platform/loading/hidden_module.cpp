// A module that calls a hidden piece of the platform (the window tree's lock). It links,
// since a module may leave references for the loader, but must not load: the platform
// exports its Windows-style interface alone.

#include "platform/ui/desktop.h"

extern "C" __attribute__((visibility("default"))) bool HiddenModuleLock() {
  return platform::ui::TreeMutex().try_lock();
}
