#pragma once
// CThread: the library's base for a worker thread that sleeps on a data event and an exit
// event and calls an overridable work step.
//
// The owner thread calls Create, Exit and the destructor; the worker runs OnCreate, DoWork,
// PrepareRun, Run and OnExit. Any thread may set DataEvent(). m_lock guards the four fields
// before it; it is held around OnCreate and field updates only, never during Run or during the
// wait in Exit, so Run may take it itself.

#include "platform/kernel/win_types.h"
#include "videolib/lock.h"

class CThread {
 public:
  CThread();
  // Copies the fields as they are (the handles are shared, not duplicated); nothing copies a
  // running thread.
  CThread(const CThread& other);
  CThread& operator=(const CThread& other);
  // Exit with an infinite time-out, then closes the events.
  virtual ~CThread();

  // Starts the thread. Returns 1 when a thread was started; 0 when one already exists (or
  // still exists after a Run/PrepareRun stop until Exit closes it) or cannot be started.
  virtual int Create();
  // Asks the thread to stop and waits up to `timeout` ms. A thread that does not end in time
  // cannot be killed safely: it is reported on standard error and left to finish; its handle
  // is kept so that a later Exit (and the destructor) waits for it again.
  virtual void Exit(DWORD timeout);
  virtual void Clear();

  HANDLE DataEvent() const { return m_hDataEvent; }

 protected:
  virtual void OnCreate();
  virtual int PrepareRun();
  // One work step, at least every 30 ms and at once after DataEvent is set; non-zero stops.
  virtual unsigned Run();
  virtual unsigned DoWork();
  virtual unsigned OnExit();
  virtual int IsExit();

  static unsigned ThreadProc(void* self);

  HANDLE m_hThread;
  HANDLE m_hDataEvent;  // must stay right before m_hExitEvent: the two form the wait array
  HANDLE m_hExitEvent;
  int m_bExit;
  CrLockCS m_lock;
};
