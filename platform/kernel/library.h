#pragma once
// Loading modules at run time, as the host loads a shell: LoadLibraryA, GetProcAddress,
// FreeLibrary over dlopen. platform/LOADING.md tells how a module is found and what it must
// leave behind when it is unloaded.
//
// Search for a bare file name (no '/'): a module already loaded under that name; then each
// folder of ORVIX_MODULE_PATH (colon-separated, empty entries skipped); then <program's
// folder>/../lib; then the program's folder. The first file that exists is loaded, and a
// failure to load it ends the search. A name with a '/' is loaded as given. The name is used
// as it is: no prefix or suffix is added.
//
// Modules load with RTLD_NOW | RTLD_LOCAL: every reference is bound at load (a missing one
// fails the load, not a later call), and a module's own symbols stay its own.
//
// Threads: all three may be called from any thread.

#include "platform/kernel/win_types.h"

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;

#pragma GCC visibility push(default)

// The generic function pointer: callers cast it to the entry point's type.
using FARPROC = void (*)();

// The module's handle (its load address, as GetModuleHandleExA gives it), one reference
// taken. Null on failure, with the last error set (ERROR_MOD_NOT_FOUND: no such file on the
// search path; ERROR_BAD_EXE_FORMAT: the file was found but did not load) and one line on
// standard error naming the module and why.
HMODULE LoadLibraryA(LPCSTR name);
// The address of an exported symbol of `module` (null: the program). Null with
// ERROR_PROC_NOT_FOUND when it has none of that name, ERROR_INVALID_HANDLE when `module` is
// not a loaded module.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// Drops one reference taken by LoadLibraryA; the last one unloads the module. FALSE with
// ERROR_INVALID_HANDLE for a module LoadLibraryA did not give (or gave and all its
// references were dropped).
BOOL FreeLibrary(HMODULE module);

#pragma GCC visibility pop
