#include "control/live_channel.h"

#include <cstring>

#include "platform/kernel/module.h"

namespace control {

void VideoLibrary::ClearPanelTable() {
  std::memset(&CChannel::m_swdata, 0, sizeof(SW_SHOW_ARR_ST));
}

void VideoLibrary::SetSipName(const std::string& name) {
#if VIDEOLIB_GDI_TEXT
  CChannel::m_SipName = name;
#else
  (void)name;
#endif
}

void VideoLibrary::SetCapChn(int channel) {
#if VIDEOLIB_GDI_TEXT
  CChannel::m_capchn = channel;
#else
  (void)channel;
#endif
}

std::string VideoLibrary::ModuleDirectory() {
  HMODULE module = nullptr;
  auto address = reinterpret_cast<LPCSTR>(&CChannel::SetCapturePath);
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          address, &module)) {
    return "./";
  }
  char path[MAX_PATH + 1] = {};
  if (GetModuleFileNameA(module, path, sizeof(path)) == 0) return "./";
  std::string file(path);
  size_t slash = file.rfind('/');
  return slash == std::string::npos ? "./" : file.substr(0, slash + 1);
}

}  // namespace control
