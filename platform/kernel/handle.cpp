#include "platform/kernel/handle.h"

#include "platform/kernel/kernel_object.h"
#include "platform/kernel/last_error.h"

using platform::kernel::KernelObject;

BOOL CloseHandle(HANDLE handle) {
  return platform::kernel::UnregisterObject(handle) ? TRUE : FALSE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                             DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  auto deadline = platform::kernel::DeadlineAfter(milliseconds);
  std::vector<std::shared_ptr<KernelObject>> objects;
  objects.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    auto object = platform::kernel::LookupObject(handles[i]);
    if (!object) return WAIT_FAILED;
    objects.push_back(std::move(object));
  }
  return platform::kernel::WaitForObjects(objects, wait_all != FALSE, deadline);
}
