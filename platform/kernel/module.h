#pragma once
// Loaded modules: which shared object holds an address, and where its file is. The system
// uses this to find files that sit beside its library ("config.txt").

#include <string>

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x00000002;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x00000004;
constexpr DWORD MAX_PATH = 260;

// Only the FROM_ADDRESS form is offered: `name` is an address inside the module. The module
// handle is the module's load address; no reference is taken.
BOOL GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* module);
// Writes the module's absolute path (null module: the running program), NUL-terminated.
// Returns the length written; when the buffer is too small the path is cut, the result is
// `size` and the last error is ERROR_INSUFFICIENT_BUFFER. 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

namespace platform::kernel {
// The module's whole absolute path (null module: the running program), however long: what
// GetModuleFileNameA gives with a buffer large enough. Empty on failure.
std::string ModuleFileName(HMODULE module);
}  // namespace platform::kernel

#pragma GCC visibility pop
