#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/ui/shellapi.h"

extern char** environ;

namespace {

HINSTANCE Code(intptr_t value) { return reinterpret_cast<HINSTANCE>(value); }

}  // namespace

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR folder, int) {
  if (file == nullptr || *file == '\0') return Code(2);
  if (verb != nullptr && std::strcmp(verb, "open") != 0) return Code(SE_ERR_NOASSOC);
  std::string path = file;
  if (path[0] != '/' && folder != nullptr && *folder != '\0')
    path = std::string(folder) + "/" + path;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return Code(2);
  // A grandchild runs the opener, so nothing is left for us to reap but the short-lived child.
  pid_t child = fork();
  if (child < 0) return Code(8);
  if (child == 0) {
    if (folder != nullptr && *folder != '\0' && chdir(folder) != 0) _exit(1);
    pid_t opener;
    char* argv[] = {const_cast<char*>("xdg-open"), path.data(), nullptr};
    int rc = posix_spawnp(&opener, "xdg-open", nullptr, nullptr, argv, environ);
    _exit(rc == 0 ? 0 : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return Code(WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 42 : 5);
}
