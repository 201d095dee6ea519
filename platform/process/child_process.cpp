#include "platform/process/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace platform::process {
namespace {

// Runs in the forked child: only async-signal-safe calls until exec.
[[noreturn]] void ExecChild(const std::vector<char*>& argv, int output_fd, int error_fd,
                            pid_t parent) {
  setpgid(0, 0);  // a group of its own, so that stopping it stops what it started
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(127);  // the parent died before the line above
  int null_fd = open("/dev/null", O_RDONLY);
  if (null_fd >= 0) dup2(null_fd, STDIN_FILENO);
  dup2(output_fd, STDOUT_FILENO);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execvp(argv[0], argv.data());
  int code = errno;
  ssize_t ignored = write(error_fd, &code, sizeof code);
  (void)ignored;
  _exit(127);
}

int StatusOf(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Spawn(const std::string& program,
                                                  const std::vector<std::string>& args,
                                                  std::string* error) {
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  int output[2];
  int failure[2];
  if (pipe2(output, O_CLOEXEC) != 0) {
    *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return nullptr;
  }
  if (pipe2(failure, O_CLOEXEC) != 0) {
    *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    close(output[0]);
    close(output[1]);
    return nullptr;
  }
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) ExecChild(argv, output[1], failure[1], parent);
  int fork_error = errno;
  close(output[1]);
  close(failure[1]);
  if (pid < 0) {
    close(output[0]);
    close(failure[0]);
    *error = std::string("cannot start ") + program + ": " + std::strerror(fork_error);
    return nullptr;
  }
  int exec_error = 0;
  ssize_t got;
  do {
    got = read(failure[0], &exec_error, sizeof exec_error);
  } while (got < 0 && errno == EINTR);
  close(failure[0]);
  if (got == static_cast<ssize_t>(sizeof exec_error)) {
    int raw;
    waitpid(pid, &raw, 0);
    close(output[0]);
    *error = std::string("cannot start ") + program + ": " + std::strerror(exec_error);
    return nullptr;
  }
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid, output[0]));
}

ChildProcess::ChildProcess(int pid, int output_fd) : pid_(pid), output_fd_(output_fd) {
  reader_ = std::thread([this] { ReadOutput(); });
}

ChildProcess::~ChildProcess() {
  Terminate();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  reader_.join();
  close(output_fd_);
}

void ChildProcess::ReadOutput() {
  std::string partial;
  char buffer[4096];
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
    }
    pollfd p{output_fd_, POLLIN, 0};
    int ready = poll(&p, 1, 100);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    ssize_t n = read(output_fd_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    partial.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = partial.find('\n')) != std::string::npos) {
      std::string line = partial.substr(0, end);
      partial.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      Deliver(std::move(line));
    }
  }
  if (!partial.empty()) Deliver(std::move(partial));
  std::lock_guard<std::mutex> lock(mutex_);
  output_ended_ = true;
  changed_.notify_all();
}

void ChildProcess::Deliver(std::string line) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (sink_) {
    auto sink = sink_;
    lock.unlock();
    sink(line);
    return;
  }
  lines_.push_back(std::move(line));
  changed_.notify_all();
}

ProgramRun ChildProcess::RunToEnd(const std::string& program, const std::vector<std::string>& args,
                                  int timeout_ms) {
  ProgramRun run;
  auto child = Spawn(program, args, &run.output);
  if (!child) return run;
  std::string line;
  while (child->ReadLine(&line, timeout_ms)) run.output += line + "\n";
  run.status = child->Wait(timeout_ms);
  return run;
}

bool ChildProcess::ReadLine(std::string* line, int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                    [this] { return !lines_.empty() || output_ended_; });
  if (lines_.empty()) return false;
  *line = std::move(lines_.front());
  lines_.pop_front();
  return true;
}

bool ChildProcess::OutputEnded() {
  std::lock_guard<std::mutex> lock(mutex_);
  return output_ended_ && lines_.empty();
}

void ChildProcess::ForwardLines(std::function<void(const std::string&)> sink) {
  std::deque<std::string> queued;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued.swap(lines_);
    sink_ = sink;
  }
  for (const std::string& line : queued) sink(line);
}

bool ChildProcess::Reap(bool block) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (exited_) return true;
  int raw = 0;
  pid_t got;
  do {
    got = waitpid(pid_, &raw, block ? 0 : WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == pid_) {
    exited_ = true;
    status_ = StatusOf(raw);
  } else if (got < 0) {
    exited_ = true;  // reaped elsewhere; nothing more to learn
  }
  return exited_;
}

bool ChildProcess::Running() { return !Reap(false); }

int ChildProcess::Wait(int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!Reap(false)) {
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

int ChildProcess::Terminate(int grace_ms) {
  if (Reap(false)) return Wait(0);
  kill(-pid_, SIGTERM);
  int status = Wait(grace_ms);
  if (status >= 0 || !Running()) return Wait(0);
  kill(-pid_, SIGKILL);
  Reap(true);
  return Wait(0);
}

}  // namespace platform::process
