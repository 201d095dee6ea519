#pragma once
// The multimedia family: wave output (waveOut) and multimedia timers (timeSetEvent).
//
// Wave output. One output device (id 0, also reached as WAVE_MAPPER) for PCM formats. Where
// the sound goes is chosen when a device is opened:
//   - ORVIX_WAVE_SINK=/path/file.wav: a WAV file holding everything played, in order. Blocks
//     are played in real time: a block is done only after its duration has passed, and a
//     reset cuts the block playing at the point reached, so pacing and reset behave as with
//     a sound card and the file holds what a listener would have heard. A device opened
//     while another one writes that file gets "file.1.wav" (then .2 and so on) instead.
//   - otherwise ALSA, on the PCM named by ORVIX_ALSA_DEVICE ("default" when unset). When it
//     cannot be opened waveOutOpen fails with MMSYSERR_NODRIVER, as on a machine without a
//     sound card; a format the device refuses gives WAVERR_BADFORMAT.
// Headers are played in the order written, on a player thread of the device. Done headers
// (WHDR_DONE set, WHDR_INQUEUE cleared) are reported by the callback chosen at open:
// CALLBACK_THREAD posts MM_WOM_DONE (wParam the HWAVEOUT, lParam the WAVEHDR*) to the given
// thread's message queue; MM_WOM_OPEN and MM_WOM_CLOSE are posted the same way.
// CALLBACK_FUNCTION calls the function on the player thread (or the calling thread for OPEN
// and CLOSE) and must not call waveOutReset or waveOutClose; CALLBACK_EVENT sets the event. A
// header and its data must stay valid from waveOutWrite until it is done.
//
// Multimedia timers: each timer runs on a thread of its own, so a slow callback of one timer
// holds up no other. Periodic timers keep their period without drift.

#include "platform/kernel/win_types.h"

#pragma GCC visibility push(default)

using MMRESULT = UINT;
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_IMA_ADPCM = 17;

#pragma pack(push, 2)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
struct IMAADPCMWAVEFORMAT {
  WAVEFORMATEX wfx;
  WORD wSamplesPerBlock;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(IMAADPCMWAVEFORMAT) == 20);
using LPWAVEFORMATEX = WAVEFORMATEX*;
using LPCWAVEFORMATEX = const WAVEFORMATEX*;

struct WAVEHDR {
  LPSTR lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
};
using LPWAVEHDR = WAVEHDR*;

constexpr DWORD WHDR_DONE = 0x00000001;
constexpr DWORD WHDR_PREPARED = 0x00000002;
constexpr DWORD WHDR_BEGINLOOP = 0x00000004;
constexpr DWORD WHDR_ENDLOOP = 0x00000008;
constexpr DWORD WHDR_INQUEUE = 0x00000010;

struct HWAVEOUT__;
using HWAVEOUT = HWAVEOUT__*;
using LPHWAVEOUT = HWAVEOUT*;

constexpr UINT WAVE_MAPPER = static_cast<UINT>(-1);

constexpr DWORD CALLBACK_TYPEMASK = 0x00070000;
constexpr DWORD CALLBACK_NULL = 0x00000000;
constexpr DWORD CALLBACK_WINDOW = 0x00010000;
constexpr DWORD CALLBACK_THREAD = 0x00020000;
constexpr DWORD CALLBACK_FUNCTION = 0x00030000;
constexpr DWORD CALLBACK_EVENT = 0x00050000;
constexpr DWORD WAVE_FORMAT_QUERY = 0x00000001;

constexpr UINT MM_WOM_OPEN = 0x3BB;
constexpr UINT MM_WOM_CLOSE = 0x3BC;
constexpr UINT MM_WOM_DONE = 0x3BD;

// The CALLBACK_FUNCTION form: message is MM_WOM_*; param1 is the WAVEHDR* for MM_WOM_DONE.
using WAVEOUTPROC = void (*)(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                             DWORD_PTR param2);

constexpr UINT TIME_MS = 0x0001;
constexpr UINT TIME_SAMPLES = 0x0002;
constexpr UINT TIME_BYTES = 0x0004;

struct MMTIME {
  UINT wType;
  union {
    DWORD ms;
    DWORD sample;
    DWORD cb;
  } u;
};
using LPMMTIME = MMTIME*;

UINT waveOutGetNumDevs();
MMRESULT waveOutOpen(LPHWAVEOUT device, UINT device_id, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags);
// Fails with WAVERR_STILLPLAYING while headers are queued (reset first).
MMRESULT waveOutClose(HWAVEOUT device);
MMRESULT waveOutPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size);
// Stops playback and returns every queued header as done, in order, before it returns;
// the position goes back to 0.
MMRESULT waveOutReset(HWAVEOUT device);
// Bytes played since open or the last reset (TIME_BYTES; other types are answered in bytes
// too, with wType changed to TIME_BYTES, as the system does for types it does not support).
MMRESULT waveOutGetPosition(HWAVEOUT device, LPMMTIME time, UINT size);

// --- Multimedia timers ---
constexpr UINT TIME_ONESHOT = 0x0000;
constexpr UINT TIME_PERIODIC = 0x0001;
constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;
constexpr UINT TIME_CALLBACK_EVENT_SET = 0x0010;
constexpr UINT TIME_CALLBACK_EVENT_PULSE = 0x0020;
constexpr UINT TIME_KILL_SYNCHRONOUS = 0x0100;
constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT TIMERR_NOCANDO = 97;

using LPTIMECALLBACK = void (*)(UINT timer_id, UINT message, DWORD_PTR user, DWORD_PTR reserved1,
                                DWORD_PTR reserved2);

// Starts a timer of `delay` ms (1 to 1,000,000; `resolution` is accepted and ignored).
// With TIME_CALLBACK_EVENT_SET / _PULSE `callback` is the event HANDLE cast to the callback
// type. Returns the timer id, or 0 on bad arguments (last error ERROR_INVALID_PARAMETER).
// A one-shot timer ends after its one event; its id is then no longer valid.
UINT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);
// Stops the timer; when called from another thread it returns after any running callback
// has finished, so the callback's data may be freed at once.
MMRESULT timeKillEvent(UINT timer_id);

#pragma GCC visibility pop
