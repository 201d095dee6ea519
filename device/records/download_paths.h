#pragma once
// The paths of downloads whose list row is yet to be made: a download thread puts its path
// here and posts its id to the download list, whose window thread takes the path out.
// Thread-safe.

#include <map>
#include <mutex>
#include <string>

#include "platform/kernel/win_types.h"

namespace device::records {

class DownloadPaths {
 public:
  void Put(DWORD id, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    paths_[id] = path;
  }
  // The path of `id`, removed; "" when there is none.
  std::string Take(DWORD id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = paths_.find(id);
    if (it == paths_.end()) return "";
    std::string path = std::move(it->second);
    paths_.erase(it);
    return path;
  }

 private:
  std::mutex mutex_;
  std::map<DWORD, std::string> paths_;  // guarded by mutex_
};

}  // namespace device::records
