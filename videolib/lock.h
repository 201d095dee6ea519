#pragma once
// Small lock classes shared by the worker threads, the renderer and the channels.

#include "platform/kernel/critical_section.h"
#include "platform/kernel/win_types.h"

// An abstract lock. Slot order after the destructor: TryLock, Lock, Unlock.
class CrLock {
 public:
  virtual ~CrLock() = default;
  // Acquires and returns 1; the wait argument is for implementations that can time out.
  virtual int TryLock(DWORD wait) = 0;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

// A recursive lock over a critical section: the thread that holds it may enter again.
class CrLockCS : public CrLock {
 public:
  CrLockCS();
  // A copy gets a critical section of its own; sharing one would free it twice.
  CrLockCS(const CrLockCS& other);
  CrLockCS& operator=(const CrLockCS& other);
  ~CrLockCS() override;

  // Ignores the wait and enters the critical section.
  int TryLock(DWORD wait) override;
  void Lock() override;
  void Unlock() override;

 private:
  int m_bBorrowed;  // a borrowed section is not deleted by this object; always 0 as built
  CRITICAL_SECTION m_cs;
};

// Holds a lock for a scope, so that a lock taken around a virtual call is released even
// when the call throws. REQUIRES: `lock` outlives the guard.
class CrAutoLock {
 public:
  explicit CrAutoLock(CrLock* lock);
  ~CrAutoLock();
  CrAutoLock(const CrAutoLock&) = delete;
  CrAutoLock& operator=(const CrAutoLock&) = delete;

  // Releases early; the destructor then does nothing.
  void Unlock();

 private:
  CrLock* m_pLock;
  int m_bLocked;
};
