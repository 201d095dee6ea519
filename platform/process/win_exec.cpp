#include "platform/process/win_exec.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/kernel/module.h"

extern char** environ;

namespace {

struct Started {
  pid_t pid;
  std::string command_line;
};

std::mutex g_mutex;
std::vector<Started> g_started;  // GUARDED_BY(g_mutex)

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsExecutable(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string ProgramFolder() {
  std::string path = platform::kernel::ModuleFileName(nullptr);
  return path.substr(0, path.rfind('/') + 1);
}

// The program's file: a name with a folder as it is, a bare name from the running program's
// folder or PATH. Empty when there is none.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  std::string folder = ProgramFolder();
  if (!folder.empty() && IsExecutable(folder + name)) return folder + name;
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "";
  size_t begin = 0;
  while (begin <= folders.size()) {
    size_t end = folders.find(':', begin);
    if (end == std::string::npos) end = folders.size();
    if (end > begin) {
      std::string candidate = folders.substr(begin, end - begin) + "/" + name;
      if (IsExecutable(candidate)) return candidate;
    }
    begin = end + 1;
  }
  return {};
}

// A program someone else waited for: it has ended, how is not known here.
constexpr int kReapedElsewhere = -2;

int StatusOf(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

}  // namespace

namespace platform::process {

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    std::string word;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
      size_t slashes = 0;
      while (i < line.size() && line[i] == '\\') ++slashes, ++i;
      if (i < line.size() && line[i] == '"') {
        // 2n backslashes and a quote: n backslashes and the quote toggles the grouping;
        // 2n+1: n backslashes and a quote of the text.
        word.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          word += '"';
        } else {
          quoted = !quoted;
        }
      } else {
        word.append(slashes, '\\');
        if (i == line.size() || (!quoted && IsBlank(line[i]))) break;
        word += line[i];
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::vector<ExecutedCommand> WaitForExecutedCommands(int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  std::vector<Started> started;
  {
    // Taken out, so that WinExec on another thread need not wait for this wait.
    std::lock_guard<std::mutex> lock(g_mutex);
    started.swap(g_started);
  }
  std::vector<int> statuses(started.size(), -1);
  for (;;) {
    bool running = false;
    for (size_t i = 0; i < started.size(); ++i) {
      int raw = 0;
      if (statuses[i] != -1) continue;
      pid_t result = waitpid(started[i].pid, &raw, WNOHANG);
      if (result == started[i].pid) {
        statuses[i] = StatusOf(raw);
      } else if (result < 0 && errno == ECHILD) {
        statuses[i] = kReapedElsewhere;
      } else {
        running = true;
      }
    }
    if (!running || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::vector<ExecutedCommand> done;
  std::lock_guard<std::mutex> lock(g_mutex);
  for (size_t i = 0; i < started.size(); ++i) {
    done.push_back({started[i].command_line, statuses[i]});
    if (statuses[i] == -1) g_started.push_back(started[i]);
  }
  return done;
}

}  // namespace platform::process

UINT WinExec(LPCSTR command_line, UINT) {
  if (command_line == nullptr) return 0;
  std::vector<std::string> words = platform::process::SplitCommandLine(command_line);
  if (words.empty()) return 0;
  std::string program = FindProgram(words[0]);
  if (program.empty()) return ERROR_FILE_NOT_FOUND;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    return ERROR_BAD_FORMAT;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  g_started.push_back({pid, command_line});
  return 33;
}
