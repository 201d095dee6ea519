#include "videolib/play_wave.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/kernel/kernel.h"

namespace {

constexpr int kPackets = 2;
constexpr int kStopPolls = 50;
constexpr DWORD kStopPollMs = 10;

// 8 kHz mono 8-bit PCM. cbSize is not read for PCM.
constexpr WAVEFORMATEX kFormat{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 18};

}  // namespace

CWavePacket::CWavePacket()
    : m_hdr{},
      m_pBuffer(new (std::nothrow) BYTE[kSize]()),
      m_dwReserved(0),
      m_dwSize(kSize),
      m_bBusy(0) {}

CWavePacket::~CWavePacket() { delete[] m_pBuffer; }

CPlayWave::CPlayWave()
    : m_hThread(nullptr), m_dwThreadId(0), m_hWaveOut(nullptr), m_nPending(0), m_bPrimed(0) {}

CPlayWave::~CPlayWave() { Stop(); }

int CPlayWave::Init() {
  if (m_hThread == nullptr) {
    m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, &m_dwThreadId);
  }
  while (m_packets.size() < kPackets) {
    auto* packet = new (std::nothrow) CWavePacket;
    if (packet == nullptr || packet->m_pBuffer == nullptr) {
      delete packet;
      return 0;
    }
    CrAutoLock lock(&m_lock);
    m_packets.push_back(packet);
  }
  m_nPending = 0;
  m_bPrimed = 0;
  if (m_hWaveOut != nullptr) return 1;
  if (waveOutOpen(&m_hWaveOut, WAVE_MAPPER, &kFormat, m_dwThreadId,
                  reinterpret_cast<DWORD_PTR>(this), CALLBACK_THREAD) != MMSYSERR_NOERROR) {
    m_hWaveOut = nullptr;
    return 0;
  }
  return 1;
}

void CPlayWave::Stop() {
  if (m_hThread != nullptr) {
    PostThreadMessageA(m_dwThreadId, WM_QUIT, 0, 0);
    DWORD code = STILL_ACTIVE;
    for (int i = 0; i < kStopPolls && GetExitCodeThread(m_hThread, &code) && code == STILL_ACTIVE;
         ++i) {
      Sleep(kStopPollMs);
    }
    if (code == STILL_ACTIVE) {
      // It cannot be killed safely here, and it still reaches the packets about to be freed:
      // it has its WM_QUIT, so wait for it to take it.
      std::fprintf(stderr, "wave notification thread did not stop in time; waiting for it\n");
      WaitForSingleObject(m_hThread, INFINITE);
    }
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    m_dwThreadId = 0;
  }
  if (m_hWaveOut != nullptr && waveOutReset(m_hWaveOut) == MMSYSERR_NOERROR &&
      waveOutClose(m_hWaveOut) == MMSYSERR_NOERROR) {
    m_hWaveOut = nullptr;
  }
  CrAutoLock lock(&m_lock);
  while (!m_packets.empty()) {
    delete m_packets.back();
    m_packets.pop_back();
  }
}

int CPlayWave::Write(const void* data, int len) {
  if (len < 0 || (data == nullptr && len > 0)) return 0;
  const auto* bytes = static_cast<const BYTE*>(data);
  const DWORD size = CWavePacket::kSize;
  const DWORD rest = static_cast<DWORD>(len) % size;
  DWORD pieces = static_cast<DWORD>(len) / size + (rest != 0 ? 1 : 0);
  if (pieces > 2) pieces = 2;
  for (DWORD i = 0; i < pieces; ++i) {
    DWORD piece = size;
    if (pieces == 1) piece = static_cast<DWORD>(len);
    if (i == 1 && rest != 0) piece = rest;
    if (!WritePiece(bytes + i * size, piece)) return 0;
  }
  bool prime;
  {
    CrAutoLock lock(&m_lock);
    prime = !m_bPrimed;
    m_bPrimed = 1;
  }
  // Once after opening: the buffers just written come back at once.
  if (prime) waveOutReset(m_hWaveOut);
  return 1;
}

int CPlayWave::WritePiece(const BYTE* data, DWORD len) {
  if (m_nPending.load() > 1) return 0;
  CWavePacket* packet = TakeFreePacket();
  if (packet == nullptr) return 0;
  packet->m_hdr = WAVEHDR{};
  packet->m_hdr.dwBufferLength = len;
  packet->m_hdr.lpData = reinterpret_cast<LPSTR>(packet->m_pBuffer);
  std::memcpy(packet->m_pBuffer, data, len);
  if (waveOutPrepareHeader(m_hWaveOut, &packet->m_hdr, sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
      waveOutWrite(m_hWaveOut, &packet->m_hdr, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    CrAutoLock lock(&m_lock);
    packet->m_bBusy = 0;
    return 0;
  }
  CrAutoLock lock(&m_lock);
  m_nPending.fetch_add(1);
  return 1;
}

CWavePacket* CPlayWave::TakeFreePacket() {
  CrAutoLock lock(&m_lock);
  for (CWavePacket* packet : m_packets) {
    if (!packet->m_bBusy) {
      packet->m_bBusy = 1;
      return packet;
    }
  }
  return nullptr;
}

void CPlayWave::OnDone(HWAVEOUT device, WAVEHDR* header) {
  waveOutUnprepareHeader(device, header, sizeof(WAVEHDR));
  CrAutoLock lock(&m_lock);
  m_nPending.fetch_sub(1);
  for (CWavePacket* packet : m_packets) {
    if (&packet->m_hdr == header) packet->m_bBusy = 0;
  }
}

DWORD CPlayWave::ThreadProc(void* self) {
  auto* wave = static_cast<CPlayWave*>(self);
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<DWORD>(msg.wParam);
    if (got < 0) return 0;
    if (msg.message == MM_WOM_DONE) {
      wave->OnDone(reinterpret_cast<HWAVEOUT>(msg.wParam), reinterpret_cast<WAVEHDR*>(msg.lParam));
    }
  }
}
