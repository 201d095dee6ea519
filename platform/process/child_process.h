#pragma once
// Child programs: start one with arguments, read its standard output line by line, and stop
// it. The child's standard input is /dev/null and its standard error is ours; it is sent
// SIGTERM when this process dies, so a helper never outlives the program that started it.
//
// Threads: a reader thread per child drains its output, so a chatty child never blocks on a
// full pipe. All calls may come from any thread.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#pragma GCC visibility push(default)

namespace platform::process {

// What a program run to its end printed and how it ended.
struct ProgramRun {
  int status = -1;     // as ChildProcess::Wait gives it; -1 when it did not start or end
  std::string output;  // its lines, each with "\n"; the reason when it did not start
};

class ChildProcess {
 public:
  // Runs `program` to its end, keeping its output; waits at most `timeout_ms` for each line
  // and for the end.
  static ProgramRun RunToEnd(const std::string& program, const std::vector<std::string>& args,
                             int timeout_ms);
  // `program` is looked up on PATH when it holds no "/". Null with *error set when it cannot
  // be started (not found, not executable...).
  static std::unique_ptr<ChildProcess> Spawn(const std::string& program,
                                             const std::vector<std::string>& args,
                                             std::string* error);
  ~ChildProcess();  // Terminate() when still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int pid() const { return pid_; }

  // The next line of output (without its line end). False when none came within
  // `timeout_ms` or the output has ended and every line was read (OutputEnded()).
  bool ReadLine(std::string* line, int timeout_ms);
  bool OutputEnded();
  // From now on every line (those still queued first) goes to `sink`, on the reader thread.
  void ForwardLines(std::function<void(const std::string&)> sink);

  bool Running();
  // The exit status once the child has ended within `timeout_ms` (its exit code, or 128 plus
  // the signal that ended it); -1 while it still runs.
  int Wait(int timeout_ms);
  // SIGTERM to its group, then SIGKILL when it has not ended after `grace_ms`. Gives the
  // exit status.
  int Terminate(int grace_ms = 3000);

 private:
  ChildProcess(int pid, int output_fd);
  void ReadOutput();
  void Deliver(std::string line);
  bool Reap(bool block);

  const int pid_;
  const int output_fd_;
  std::thread reader_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> lines_;
  std::function<void(const std::string&)> sink_;
  bool output_ended_ = false;
  bool stopping_ = false;
  bool exited_ = false;
  int status_ = -1;
};

}  // namespace platform::process

#pragma GCC visibility pop
