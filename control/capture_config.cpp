#include "control/capture_config.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace control {
namespace {

constexpr size_t kMaxLine = 280;
constexpr size_t kMaxPath = 260;

// Switches the process locale for the duration of a scope.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name) {
    const char* current = std::setlocale(LC_ALL, nullptr);
    if (current != nullptr) saved_ = current;
    std::setlocale(LC_ALL, name);  // unknown names leave the locale as it is
  }
  ~ScopedLocale() {
    if (!saved_.empty()) std::setlocale(LC_ALL, saved_.c_str());
  }

 private:
  std::string saved_;
};

std::string FirstLine(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return {};
  char line[kMaxLine + 1] = {};
  if (std::fgets(line, sizeof(line), file) == nullptr) line[0] = '\0';
  std::fclose(file);
  line[std::strcspn(line, "\r\n")] = '\0';
  return line;
}

}  // namespace

std::string LoadCaptureDir(const std::string& library_dir) {
  std::string capture_dir = library_dir + "capture/";
  ScopedLocale locale(".936");
  std::string line = FirstLine(library_dir + kConfigFileName);
  size_t at = line.find(kCapDirKey);
  if (at != std::string::npos) {
    capture_dir = line.substr(at + std::strlen(kCapDirKey), kMaxPath);
  }
  return capture_dir;
}

void EnsureDirectory(const std::string& dir) {
  std::error_code error;
  if (!std::filesystem::is_directory(dir, error)) std::filesystem::create_directory(dir, error);
}

bool SaveCaptureDir(const std::string& library_dir, const std::string& capture_dir) {
  std::FILE* file = std::fopen((library_dir + kConfigFileName).c_str(), "wb");
  if (file == nullptr) return false;
  std::string text = std::string(kCapDirKey) + capture_dir;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return (std::fclose(file) == 0) && ok;
}

}  // namespace control
