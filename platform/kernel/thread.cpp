#include "platform/kernel/thread.h"

#include <pthread.h>

#include <atomic>
#include <memory>

#include "platform/kernel/kernel_object.h"
#include "platform/kernel/last_error.h"
#include "platform/kernel/message_queue_internal.h"

namespace {

using platform::kernel::StateMutex;

constexpr size_t kDefaultStack = 1024 * 1024;
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kStackFloor = 1024 * 1024;  // instrumented frames are several times larger
#else
constexpr size_t kStackFloor = 64 * 1024;
#endif

std::atomic<DWORD> g_next_thread_id{1};
thread_local DWORD t_thread_id = 0;

class ThreadObject : public platform::kernel::KernelObject {
 public:
  explicit ThreadObject(DWORD id, bool suspended) : id_(id), suspended_(suspended) {}
  bool IsSignalled() const override { return finished_; }

  DWORD id() const { return id_; }
  // REQUIRES for the rest: StateMutex() held.
  DWORD exit_code() const { return finished_ ? exit_code_ : STILL_ACTIVE; }
  void Finish(DWORD code) {
    exit_code_ = code;
    finished_ = true;
    NotifyWaiters();
  }
  bool suspended() const { return suspended_; }
  void Resume() {
    suspended_ = false;
    resumed_.notify_all();
  }
  void WaitWhileSuspended(std::unique_lock<std::mutex>& lock) {
    resumed_.wait(lock, [this] { return !suspended_; });
  }

 private:
  const DWORD id_;
  bool suspended_;
  bool finished_ = false;
  DWORD exit_code_ = STILL_ACTIVE;
  std::condition_variable resumed_;
};

struct StartBlock {
  std::shared_ptr<ThreadObject> object;
  unsigned (*start)(void*);
  void* argument;
};

void* Trampoline(void* raw) {
  std::unique_ptr<StartBlock> block(static_cast<StartBlock*>(raw));
  t_thread_id = block->object->id();
  {
    std::unique_lock<std::mutex> lock(StateMutex());
    block->object->WaitWhileSuspended(lock);
  }
  unsigned code = block->start(block->argument);
  platform::kernel::DropQueue(t_thread_id);
  std::lock_guard<std::mutex> lock(StateMutex());
  block->object->Finish(code);
  return nullptr;
}

size_t StackSize(size_t requested) {
  if (requested == 0) return kDefaultStack;
  return requested < kStackFloor ? kStackFloor : requested;
}

HANDLE Start(size_t stack_size, unsigned (*start)(void*), void* argument, bool suspended,
             DWORD* thread_id) {
  DWORD id = g_next_thread_id.fetch_add(1);
  auto object = std::make_shared<ThreadObject>(id, suspended);
  platform::kernel::CreateQueue(id);
  auto* block = new StartBlock{object, start, argument};

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_attr_setstacksize(&attr, StackSize(stack_size));
  pthread_t native;
  int rc = pthread_create(&native, &attr, Trampoline, block);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete block;
    platform::kernel::DropQueue(id);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (thread_id != nullptr) *thread_id = id;
  return platform::kernel::RegisterObject(std::move(object));
}

std::shared_ptr<ThreadObject> LookupThread(HANDLE handle) {
  auto thread = std::dynamic_pointer_cast<ThreadObject>(platform::kernel::LookupObject(handle));
  if (!thread) SetLastError(ERROR_INVALID_HANDLE);
  return thread;
}

// Adapts a DWORD-returning routine to the unsigned one the trampoline calls.
struct CreateThreadBlock {
  THREAD_START_ROUTINE start;
  void* argument;
};

unsigned RunCreateThreadBlock(void* raw) {
  std::unique_ptr<CreateThreadBlock> block(static_cast<CreateThreadBlock*>(raw));
  return block->start(block->argument);
}

}  // namespace

uintptr_t _beginthreadex(void*, unsigned stack_size, unsigned (*start)(void*), void* argument,
                         unsigned flags, unsigned* thread_id) {
  DWORD id = 0;
  HANDLE handle = Start(stack_size, start, argument, (flags & CREATE_SUSPENDED) != 0, &id);
  if (handle != nullptr && thread_id != nullptr) *thread_id = id;
  return reinterpret_cast<uintptr_t>(handle);
}

HANDLE CreateThread(void*, size_t stack_size, THREAD_START_ROUTINE start, void* argument,
                    DWORD flags, DWORD* thread_id) {
  auto* block = new CreateThreadBlock{start, argument};
  HANDLE handle =
      Start(stack_size, RunCreateThreadBlock, block, (flags & CREATE_SUSPENDED) != 0, thread_id);
  if (handle == nullptr) delete block;
  return handle;
}

DWORD ResumeThread(HANDLE handle) {
  auto thread = LookupThread(handle);
  if (!thread) return static_cast<DWORD>(-1);
  std::lock_guard<std::mutex> lock(StateMutex());
  DWORD previous = thread->suspended() ? 1 : 0;
  thread->Resume();
  return previous;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exit_code) {
  auto thread = LookupThread(handle);
  if (!thread || exit_code == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(StateMutex());
  *exit_code = thread->exit_code();
  return TRUE;
}

BOOL TerminateThread(HANDLE handle, DWORD) {
  if (!LookupThread(handle)) return FALSE;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

DWORD GetCurrentThreadId() {
  if (t_thread_id == 0) t_thread_id = g_next_thread_id.fetch_add(1);
  return t_thread_id;
}

DWORD GetThreadId(HANDLE handle) {
  auto thread = LookupThread(handle);
  return thread ? thread->id() : 0;
}
