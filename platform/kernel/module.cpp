#include "platform/kernel/module.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/kernel/last_error.h"

namespace {

std::string ModulePath(HMODULE module) {
  char resolved[PATH_MAX];
  if (module == nullptr) {
    ssize_t n = readlink("/proc/self/exe", resolved, sizeof(resolved) - 1);
    if (n <= 0) return {};
    resolved[n] = '\0';
    return resolved;
  }
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(module), &info) == 0 || info.dli_fname == nullptr ||
      info.dli_fbase != reinterpret_cast<void*>(module)) {
    return {};
  }
  // The main program's entry may carry a relative name, so resolve both forms.
  if (info.dli_fname[0] == '\0') return ModulePath(nullptr);
  if (realpath(info.dli_fname, resolved) == nullptr) return info.dli_fname;
  return resolved;
}

}  // namespace

BOOL GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* module) {
  if (module == nullptr || (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Dl_info info{};
  if (dladdr(name, &info) == 0 || info.dli_fbase == nullptr) {
    *module = nullptr;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *module = static_cast<HMODULE>(info.dli_fbase);
  return TRUE;
}

std::string platform::kernel::ModuleFileName(HMODULE module) { return ModulePath(module); }

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
  std::string path = ModulePath(module);
  if (path.empty()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() + 1 > size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}
