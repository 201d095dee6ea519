#include "platform/kernel/library.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/last_error.h"
#include "platform/kernel/module.h"

namespace {

constexpr int kLoadFlags = RTLD_NOW | RTLD_LOCAL;

struct Loaded {
  void* handle;  // from dlopen; one dlopen per reference
  int references;
};

std::mutex g_mutex;
std::map<HMODULE, Loaded> g_loaded;  // GUARDED_BY(g_mutex)

std::string ProgramFolder() {
  char path[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
  if (n == 0 || n >= sizeof(path)) return {};
  std::string s(path, n);
  size_t slash = s.rfind('/');
  return slash == std::string::npos ? std::string() : s.substr(0, slash);
}

std::vector<std::string> SearchFolders() {
  std::vector<std::string> folders;
  if (const char* list = getenv("ORVIX_MODULE_PATH")) {
    std::string s(list);
    size_t start = 0;
    while (start <= s.size()) {
      size_t end = s.find(':', start);
      if (end == std::string::npos) end = s.size();
      if (end > start) folders.push_back(s.substr(start, end - start));
      start = end + 1;
    }
  }
  const std::string program = ProgramFolder();
  if (!program.empty()) {
    folders.push_back(program + "/../lib");
    folders.push_back(program);
  }
  return folders;
}

std::string Joined(const std::vector<std::string>& folders) {
  std::string out;
  for (const std::string& f : folders) out += (out.empty() ? "" : ":") + f;
  return out;
}

HMODULE BaseOf(void* handle) {
  link_map* map = nullptr;
  Dl_info info{};
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
      dladdr(map->l_ld, &info) == 0) {
    return nullptr;
  }
  return static_cast<HMODULE>(info.dli_fbase);
}

HMODULE Fail(LPCSTR name, DWORD error, const std::string& why) {
  std::fprintf(stderr, "LoadLibraryA: cannot load \"%s\": %s\n", name, why.c_str());
  SetLastError(error);
  return nullptr;
}

// One reference to the dlopen'ed `handle`, recorded under its load address.
HMODULE Keep(LPCSTR name, void* handle) {
  HMODULE base = BaseOf(handle);
  if (base == nullptr) {
    dlclose(handle);
    return Fail(name, ERROR_BAD_EXE_FORMAT, "its load address is unknown");
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  Loaded& entry = g_loaded[base];
  entry.handle = handle;
  ++entry.references;
  return base;
}

// The file LoadLibraryA loads for `name`: as given when it has a '/', else the first that
// exists on the search path. Empty when none exists; `tried` lists where it looked.
std::string Find(const std::string& name, std::string* tried) {
  if (name.find('/') != std::string::npos) {
    *tried = name;
    return access(name.c_str(), F_OK) == 0 ? name : std::string();
  }
  const std::vector<std::string> folders = SearchFolders();
  *tried = Joined(folders);
  for (const std::string& folder : folders) {
    std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), F_OK) == 0) return candidate;
  }
  return {};
}

// dlsym also searches what the module links; a symbol counts only if `module` holds it.
void* OwnSymbol(void* handle, HMODULE module, LPCSTR name) {
  void* address = dlsym(handle, name);
  Dl_info owner{};
  if (address == nullptr || dladdr(address, &owner) == 0 ||
      owner.dli_fbase != reinterpret_cast<void*>(module)) {
    return nullptr;
  }
  return address;
}

// A new dlopen reference to a module already in the process, given by its load address
// (null: the program). Null when no module starts there.
void* OpenLoaded(HMODULE module) {
  if (module == nullptr) return dlopen(nullptr, RTLD_NOW);
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(module), &info) == 0 || info.dli_fname == nullptr ||
      info.dli_fbase != reinterpret_cast<void*>(module)) {
    return nullptr;
  }
  return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR name) {
  if (name == nullptr || name[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (std::strchr(name, '/') == nullptr) {
    if (void* handle = dlopen(name, kLoadFlags | RTLD_NOLOAD)) return Keep(name, handle);
  }
  std::string tried;
  const std::string file = Find(name, &tried);
  if (file.empty()) return Fail(name, ERROR_MOD_NOT_FOUND, "not found in " + tried);
  void* handle = dlopen(file.c_str(), kLoadFlags);
  if (handle == nullptr) {
    const char* why = dlerror();
    return Fail(name, ERROR_BAD_EXE_FORMAT, why != nullptr ? why : file + " did not load");
  }
  return Keep(name, handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* address = nullptr;
  bool known = false;
  {
    // Held through the lookup, so that no FreeLibrary closes the handle under it.
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_loaded.find(module);
    if (it != g_loaded.end()) {
      known = true;
      address = OwnSymbol(it->second.handle, module, name);
    }
  }
  if (!known) {
    // The program, or a module loaded another way (a library the program links).
    void* handle = OpenLoaded(module);
    if (handle == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    address = OwnSymbol(handle, module == nullptr ? BaseOf(handle) : module, name);
    dlclose(handle);
  }
  if (address == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(address);
}

BOOL FreeLibrary(HMODULE module) {
  void* handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_loaded.find(module);
    if (it == g_loaded.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    handle = it->second.handle;
    if (--it->second.references == 0) g_loaded.erase(it);
  }
  dlclose(handle);
  return TRUE;
}
