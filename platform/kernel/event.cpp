#include "platform/kernel/event.h"

#include "platform/kernel/kernel_object.h"
#include "platform/kernel/last_error.h"

namespace {

class Event : public platform::kernel::KernelObject {
 public:
  Event(bool manual, bool initial) : manual_(manual), signalled_(initial) {}
  bool IsSignalled() const override { return signalled_; }
  void Acquire() override {
    if (!manual_) signalled_ = false;
  }
  void Set(bool signalled) {
    signalled_ = signalled;
    if (signalled) NotifyWaiters();
  }

 private:
  const bool manual_;
  bool signalled_;
};

BOOL SetState(HANDLE handle, bool signalled) {
  auto object = platform::kernel::LookupObject(handle);
  auto* event = dynamic_cast<Event*>(object.get());
  if (event == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(platform::kernel::StateMutex());
  event->Set(signalled);
  return TRUE;
}

}  // namespace

HANDLE CreateEventA(void*, BOOL manual_reset, BOOL initial_state, LPCSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return platform::kernel::RegisterObject(
      std::make_shared<Event>(manual_reset != FALSE, initial_state != FALSE));
}

BOOL SetEvent(HANDLE event) { return SetState(event, true); }
BOOL ResetEvent(HANDLE event) { return SetState(event, false); }
