#include "platform/ui/common_dialogs_listing.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace platform::ui::cd {
namespace {

bool Matches(const std::string& name, const std::string& patterns) {
  std::istringstream in(patterns);
  std::string p;
  while (std::getline(in, p, ';')) {
    p.erase(0, p.find_first_not_of(' '));
    if (p == "*.*" || p == "*") return true;
    if (!p.empty() && fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
  }
  return false;
}

bool IsReadOnly(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

bool List(const std::string& folder, const std::string* patterns, std::vector<Entry>* out,
          bool hide_read_only) {
  out->clear();
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  std::vector<Entry> folders, files;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.empty() || name[0] == '.') continue;
    bool is_folder = IsFolder(Join(folder, name));
    if (is_folder) {
      folders.push_back(Entry{name, true});
    } else if (patterns != nullptr && Matches(name, *patterns) &&
               !(hide_read_only && IsReadOnly(Join(folder, name)))) {
      files.push_back(Entry{name, false});
    }
  }
  closedir(dir);
  auto by_name = [](const Entry& a, const Entry& b) { return a.name < b.name; };
  std::sort(folders.begin(), folders.end(), by_name);
  std::sort(files.begin(), files.end(), by_name);
  *out = std::move(folders);
  out->insert(out->end(), files.begin(), files.end());
  return true;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (name == "..") return Parent(folder);
  if (name == "~" || name.rfind("~/", 0) == 0) {
    const char* home = std::getenv("HOME");
    return Join(home ? home : "/", name.size() > 2 ? name.substr(2) : "");
  }
  std::string path = !name.empty() && name[0] == '/' ? name
                     : name.empty()                  ? folder
                     : folder == "/"                 ? "/" + name
                                                     : folder + "/" + name;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Parent(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string CurrentFolder() {
  char buf[4096];
  return getcwd(buf, sizeof(buf)) ? std::string(buf) : std::string("/");
}

void NameOffsets(const std::string& path, size_t* name, size_t* extension) {
  size_t slash = path.find_last_of('/');
  *name = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.find_last_of('.');
  *extension = dot == std::string::npos || dot < *name ? path.size() : dot + 1;
}

}  // namespace platform::ui::cd
