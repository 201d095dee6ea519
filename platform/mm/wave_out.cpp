// waveOut: the device object, its player thread and the calls. The backends (WAV file, ALSA)
// only move bytes; queueing, done flags, reset and notifications are all here.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "platform/kernel/event.h"
#include "platform/kernel/message_queue.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/wave_backend.h"

struct HWAVEOUT__ {
  std::unique_ptr<platform::mm::WaveBackend> backend;
  WAVEFORMATEX format{};
  DWORD callback_kind = CALLBACK_NULL;
  DWORD_PTR callback = 0;
  DWORD_PTR instance = 0;
  size_t chunk = 0;  // bytes handed to the backend at a time: 10 ms, whole blocks

  std::mutex mutex;  // guards everything below
  std::condition_variable wake;
  std::condition_variable reset_done;
  std::deque<WAVEHDR*> queue;
  size_t offset = 0;              // bytes of queue.front() played
  DWORD played = 0;               // bytes played since open or reset
  std::atomic<bool> stop{false};  // a reset or close asks the player to let go
  bool reset_requested = false;
  bool closing = false;
  std::thread player;
};

namespace {

using Device = HWAVEOUT__;

std::mutex g_devices_mutex;
std::unordered_set<Device*>& Devices() {
  static auto* devices = new std::unordered_set<Device*>;
  return *devices;
}

Device* Lookup(HWAVEOUT handle) {
  std::lock_guard<std::mutex> lock(g_devices_mutex);
  return Devices().count(handle) != 0 ? handle : nullptr;
}

// Reports one event through the callback chosen at open. REQUIRES: the device lock not held.
void Notify(Device* d, UINT message, WAVEHDR* header) {
  switch (d->callback_kind) {
    case CALLBACK_THREAD:
      PostThreadMessageA(static_cast<DWORD>(d->callback), message, reinterpret_cast<WPARAM>(d),
                         reinterpret_cast<LPARAM>(header));
      break;
    case CALLBACK_FUNCTION:
      reinterpret_cast<WAVEOUTPROC>(d->callback)(d, message, d->instance,
                                                 reinterpret_cast<DWORD_PTR>(header), 0);
      break;
    case CALLBACK_EVENT:
      SetEvent(reinterpret_cast<HANDLE>(d->callback));
      break;
    default:
      break;
  }
}

// Callers poll a header's flags without a lock while the player thread marks it done, so both
// sides go through an atomic view of the field: the release here hands the buffer back.
DWORD Flags(WAVEHDR* h) {
  return std::atomic_ref<DWORD>(h->dwFlags).load(std::memory_order_acquire);
}

void MarkDone(WAVEHDR* h) {
  std::atomic_ref<DWORD>(h->dwFlags)
      .store((h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release);
}

// Returns every queued header as done. REQUIRES: lock held (released around callbacks).
void ReturnAll(Device* d, std::unique_lock<std::mutex>& lock) {
  std::deque<WAVEHDR*> done;
  done.swap(d->queue);
  d->offset = 0;
  d->played = 0;
  for (WAVEHDR* h : done) MarkDone(h);
  lock.unlock();
  for (WAVEHDR* h : done) Notify(d, MM_WOM_DONE, h);
  lock.lock();
}

// Plays the next piece of the front header; returns the header when it is now complete.
WAVEHDR* PlayPiece(Device* d, std::unique_lock<std::mutex>& lock) {
  WAVEHDR* h = d->queue.front();
  const size_t n = std::min<size_t>(d->chunk, h->dwBufferLength - d->offset);
  const auto* p = reinterpret_cast<const uint8_t*>(h->lpData) + d->offset;
  lock.unlock();
  const bool ok = n == 0 || d->backend->Play(p, n, d->stop);
  lock.lock();
  if (d->stop.load()) return nullptr;
  if (ok) d->played += static_cast<DWORD>(n);
  d->offset += n;  // a failing device still returns its headers, as if played
  if (d->offset < h->dwBufferLength) return nullptr;
  d->queue.pop_front();
  d->offset = 0;
  MarkDone(h);
  return h;
}

void PlayerLoop(Device* d) {
  std::unique_lock<std::mutex> lock(d->mutex);
  for (;;) {
    d->wake.wait(lock, [d] { return d->reset_requested || d->closing || !d->queue.empty(); });
    if (d->reset_requested) {
      lock.unlock();
      d->backend->Drop();
      lock.lock();
      ReturnAll(d, lock);
      d->reset_requested = false;
      d->stop.store(false);
      d->reset_done.notify_all();
      continue;
    }
    if (d->closing) return;
    if (WAVEHDR* done = PlayPiece(d, lock)) {
      if (d->queue.empty()) d->backend->Idle();
      lock.unlock();
      Notify(d, MM_WOM_DONE, done);
      lock.lock();
    }
  }
}

bool FormatSupported(const WAVEFORMATEX* f) {
  // cbSize is not read for PCM: the format is complete without it.
  return f->wFormatTag == WAVE_FORMAT_PCM && (f->nChannels == 1 || f->nChannels == 2) &&
         (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) &&
         f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8 && f->nSamplesPerSec >= 1000 &&
         f->nSamplesPerSec <= 192000 && f->nAvgBytesPerSec == f->nSamplesPerSec * f->nBlockAlign;
}

std::unique_ptr<platform::mm::WaveBackend> OpenBackend(const WAVEFORMATEX& f, MMRESULT* error) {
  if (const char* sink = std::getenv("ORVIX_WAVE_SINK"); sink != nullptr && *sink != '\0') {
    return platform::mm::OpenWavFileSink(sink, f, error);
  }
  const char* name = std::getenv("ORVIX_ALSA_DEVICE");
  return platform::mm::OpenAlsaOutput(name != nullptr && *name != '\0' ? name : "default", f,
                                      error);
}

MMRESULT CheckHeader(Device* d, WAVEHDR* h, UINT size) {
  if (d == nullptr) return MMSYSERR_INVALHANDLE;
  if (h == nullptr || size < sizeof(WAVEHDR) || (h->lpData == nullptr && h->dwBufferLength > 0))
    return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

}  // namespace

UINT waveOutGetNumDevs() {
  const WAVEFORMATEX probe{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
  MMRESULT error;
  return OpenBackend(probe, &error) != nullptr ? 1 : 0;
}

MMRESULT waveOutOpen(LPHWAVEOUT device, UINT device_id, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags) {
  if (device_id != WAVE_MAPPER && device_id != 0) return MMSYSERR_BADDEVICEID;
  if (format == nullptr) return MMSYSERR_INVALPARAM;
  const DWORD kind = flags & CALLBACK_TYPEMASK;
  if (kind != CALLBACK_NULL && kind != CALLBACK_THREAD && kind != CALLBACK_FUNCTION &&
      kind != CALLBACK_EVENT)
    return MMSYSERR_INVALFLAG;
  if (!FormatSupported(format)) return WAVERR_BADFORMAT;
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  if (device == nullptr) return MMSYSERR_INVALPARAM;
  *device = nullptr;
  MMRESULT error = MMSYSERR_NOERROR;
  auto backend = OpenBackend(*format, &error);
  if (backend == nullptr) return error;
  auto* d = new Device;
  d->backend = std::move(backend);
  d->format = *format;
  d->format.cbSize = 0;
  d->callback_kind = kind;
  d->callback = callback;
  d->instance = instance;
  d->chunk = std::max<size_t>(format->nBlockAlign, format->nAvgBytesPerSec / 100 /
                                                       format->nBlockAlign * format->nBlockAlign);
  d->player = std::thread(PlayerLoop, d);
  {
    std::lock_guard<std::mutex> lock(g_devices_mutex);
    Devices().insert(d);
  }
  *device = d;
  Notify(d, MM_WOM_OPEN, nullptr);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT device) {
  Device* d = Lookup(device);
  if (d == nullptr) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->queue.empty()) return WAVERR_STILLPLAYING;
    d->closing = true;
    d->stop.store(true);
  }
  d->wake.notify_all();
  d->player.join();
  {
    std::lock_guard<std::mutex> lock(g_devices_mutex);
    Devices().erase(d);
  }
  Notify(d, MM_WOM_CLOSE, nullptr);
  delete d;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size) {
  if (MMRESULT r = CheckHeader(Lookup(device), header, size); r != MMSYSERR_NOERROR) return r;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size) {
  if (MMRESULT r = CheckHeader(Lookup(device), header, size); r != MMSYSERR_NOERROR) return r;
  if (Flags(header) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size) {
  Device* d = Lookup(device);
  if (MMRESULT r = CheckHeader(d, header, size); r != MMSYSERR_NOERROR) return r;
  if (!(Flags(header) & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (Flags(header) & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  {
    std::lock_guard<std::mutex> lock(d->mutex);
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->lpNext = nullptr;
    d->queue.push_back(header);
  }
  d->wake.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT device) {
  Device* d = Lookup(device);
  if (d == nullptr) return MMSYSERR_INVALHANDLE;
  std::unique_lock<std::mutex> lock(d->mutex);
  d->reset_requested = true;
  d->stop.store(true);
  d->wake.notify_all();
  d->reset_done.wait(lock, [d] { return !d->reset_requested; });
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetPosition(HWAVEOUT device, LPMMTIME time, UINT size) {
  Device* d = Lookup(device);
  if (d == nullptr) return MMSYSERR_INVALHANDLE;
  if (time == nullptr || size < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> lock(d->mutex);
  time->wType = TIME_BYTES;
  time->u.cb = d->played;
  return MMSYSERR_NOERROR;
}
