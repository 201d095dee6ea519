#include "videolib/lock.h"

CrLockCS::CrLockCS() : m_bBorrowed(0) { InitializeCriticalSection(&m_cs); }

CrLockCS::CrLockCS(const CrLockCS&) : CrLock(), m_bBorrowed(0) { InitializeCriticalSection(&m_cs); }

CrLockCS& CrLockCS::operator=(const CrLockCS&) { return *this; }

CrLockCS::~CrLockCS() {
  if (m_bBorrowed == 0) DeleteCriticalSection(&m_cs);
}

int CrLockCS::TryLock(DWORD) {
  EnterCriticalSection(&m_cs);
  return 1;
}

void CrLockCS::Lock() { EnterCriticalSection(&m_cs); }
void CrLockCS::Unlock() { LeaveCriticalSection(&m_cs); }

CrAutoLock::CrAutoLock(CrLock* lock) : m_pLock(lock), m_bLocked(0) {
  m_pLock->Lock();
  m_bLocked = 1;
}

CrAutoLock::~CrAutoLock() {
  if (m_bLocked) m_pLock->Unlock();
}

void CrAutoLock::Unlock() {
  if (m_bLocked) {
    m_bLocked = 0;
    m_pLock->Unlock();
  }
}
