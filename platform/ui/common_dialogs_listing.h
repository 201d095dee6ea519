#pragma once
// Internal to the common dialogs: what a folder holds and how names and patterns combine.

#include <string>
#include <vector>

namespace platform::ui::cd {

struct Entry {
  std::string name;
  bool folder = false;
};

// The folders (without "." and hidden ones) and, when `patterns` is given, the files matching
// any of them (';'-separated, case ignored), each group sorted by name. False when the folder
// cannot be read.
// With `hide_read_only`, files no one may write (the read-only attribute's analogue) are left
// out.
bool List(const std::string& folder, const std::string* patterns, std::vector<Entry>* out,
          bool hide_read_only = false);
// `name` against `folder`: an absolute name stays, "~" is the home folder, ".." goes up; the
// result has no trailing '/' (but "/" itself).
std::string Join(const std::string& folder, const std::string& name);
std::string Parent(const std::string& path);
bool IsFolder(const std::string& path);
bool Exists(const std::string& path);
std::string CurrentFolder();
// The offsets of the name and of its extension (after the dot; the length when none).
void NameOffsets(const std::string& path, size_t* name, size_t* extension);

}  // namespace platform::ui::cd
