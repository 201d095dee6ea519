#pragma once
// CPlayWave: the library's one sound output, 8 kHz mono 8-bit PCM on the wave device, fed from
// two fixed 8,800-byte buffers. At most two buffers are in the device at a time; audio that
// would need more is dropped, so that sound never lags the picture by more than two buffers
// (1.1 seconds each at most).
//
// Threads: Init and Stop belong to one owner thread; Write may be called by several threads
// at once (the packets are picked under the lock). A private notification thread takes the
// device's buffer-done messages from its thread queue and gives the buffers back.

#include <atomic>
#include <vector>

#include "platform/kernel/win_types.h"
#include "platform/mm/mmsystem.h"
#include "videolib/lock.h"

// One output buffer and the wave header that hands it to the device.
class CWavePacket {
 public:
  static constexpr DWORD kSize = 8800;

  // The buffer is zero-filled; m_pBuffer is null when no memory was left.
  CWavePacket();
  virtual ~CWavePacket();
  CWavePacket(const CWavePacket&) = delete;
  CWavePacket& operator=(const CWavePacket&) = delete;

  WAVEHDR m_hdr;
  BYTE* m_pBuffer;
  DWORD m_dwReserved;
  DWORD m_dwSize;
  int m_bBusy;  // handed to the device and not yet back; guarded by CPlayWave::m_lock
};

class CPlayWave {
 public:
  CPlayWave();
  // Stops the thread and closes the device when the owner has not.
  ~CPlayWave();
  CPlayWave(const CPlayWave&) = delete;
  CPlayWave& operator=(const CPlayWave&) = delete;

  // Starts the notification thread, makes the two packets and opens the device. Returns 1
  // when the device is open; without one every Write returns 0 and Stop still cleans up.
  int Init();
  // Ends the thread, resets and closes the device and frees the packets.
  void Stop();
  // Queues `len` bytes in at most two pieces (8,800 bytes, then the remainder or another
  // 8,800); bytes beyond the two pieces are dropped. Returns 1 when every piece was queued,
  // 0 when one was dropped because two buffers are playing or the device refused it.
  int Write(const void* data, int len);

 private:
  static DWORD ThreadProc(void* self);
  void OnDone(HWAVEOUT device, WAVEHDR* header);
  int WritePiece(const BYTE* data, DWORD len);
  CWavePacket* TakeFreePacket();

  HANDLE m_hThread;
  DWORD m_dwThreadId;
  HWAVEOUT m_hWaveOut;
  std::atomic<int> m_nPending;  // buffers in the device; changed under m_lock, read without it
  int m_bPrimed;                // guarded by m_lock
  std::vector<CWavePacket*> m_packets;  // made by Init, freed by Stop; busy flags under m_lock
  CrLockCS m_lock;
};
