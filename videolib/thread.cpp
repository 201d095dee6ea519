#include "videolib/thread.h"

#include <cstdio>

#include "platform/kernel/kernel.h"

namespace {

constexpr DWORD kIdleWakeMs = 30;

bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

CThread::CThread()
    : m_hThread(nullptr),
      m_hDataEvent(CreateEvent(nullptr, FALSE, FALSE, nullptr)),
      m_hExitEvent(CreateEvent(nullptr, FALSE, FALSE, nullptr)),
      m_bExit(1) {}

CThread::CThread(const CThread& other)
    : m_hThread(other.m_hThread),
      m_hDataEvent(other.m_hDataEvent),
      m_hExitEvent(other.m_hExitEvent),
      m_bExit(other.m_bExit) {}

CThread& CThread::operator=(const CThread& other) {
  m_hThread = other.m_hThread;
  m_hDataEvent = other.m_hDataEvent;
  m_hExitEvent = other.m_hExitEvent;
  m_bExit = other.m_bExit;
  return *this;
}

CThread::~CThread() {
  CThread::Exit(INFINITE);
  if (IsValid(m_hDataEvent)) CloseHandle(m_hDataEvent);
  if (IsValid(m_hExitEvent)) CloseHandle(m_hExitEvent);
}

int CThread::Create() {
  CrAutoLock guard(&m_lock);
  m_bExit = 0;
  if (m_hThread != nullptr || !IsValid(m_hExitEvent)) return 0;
  ResetEvent(m_hDataEvent);
  ResetEvent(m_hExitEvent);
  uintptr_t thread = _beginthreadex(nullptr, 0, ThreadProc, this, 0, nullptr);
  if (thread == 0) return 0;
  m_hThread = reinterpret_cast<HANDLE>(thread);
  return 1;
}

void CThread::Exit(DWORD timeout) {
  HANDLE thread;
  {
    CrAutoLock guard(&m_lock);
    m_bExit = 1;
    SetEvent(m_hExitEvent);
    thread = m_hThread;
  }
  if (thread == nullptr) return;
  if (WaitForSingleObject(thread, timeout) == WAIT_TIMEOUT) {
    std::fprintf(stderr, "CThread::Exit: thread did not end within %u ms; left to finish\n",
                 static_cast<unsigned>(timeout));
    return;
  }
  CrAutoLock guard(&m_lock);
  ResetEvent(m_hDataEvent);
  ResetEvent(m_hExitEvent);
  CloseHandle(m_hThread);
  m_hThread = nullptr;
}

void CThread::Clear() {}
void CThread::OnCreate() {}
int CThread::PrepareRun() { return 1; }
unsigned CThread::Run() { return 0; }
unsigned CThread::OnExit() { return 0; }

int CThread::IsExit() {
  CrAutoLock guard(&m_lock);
  return m_bExit;
}

unsigned CThread::DoWork() {
  if (PrepareRun() == 0) return 1;
  for (;;) {
    DWORD woke = WaitForMultipleObjects(2, &m_hDataEvent, FALSE, kIdleWakeMs);
    if (IsExit() != 0 || woke == WAIT_OBJECT_0 + 1) return 0;
    if (Run() != 0) return 2;
  }
}

unsigned CThread::ThreadProc(void* self) {
  auto* thread = static_cast<CThread*>(self);
  {
    CrAutoLock guard(&thread->m_lock);
    thread->OnCreate();
  }
  unsigned result = thread->DoWork();
  unsigned on_exit = thread->OnExit();
  if (result == 0) result = on_exit;
  CrAutoLock guard(&thread->m_lock);
  thread->m_bExit = 1;
  return result;
}
