// Library-wide set-up of the channels: renderer, sound, and the capture thread that writes
// snapshots to BMP files off the decode threads.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "videolib/bmp_file.h"
#include "videolib/channel.h"
#include "videolib/channel_internal.h"
#include "videolib/pixel_convert.h"

namespace {

struct Capture {
  SnapQueue queue;
  HANDLE thread = nullptr;
  std::atomic<int> running{0};
  CrLockCS pathLock;
  std::string path;  // guarded by pathLock
};

Capture& TheCapture() {
  static Capture capture;
  return capture;
}

std::string CapturePath() {
  Capture& c = TheCapture();
  CrAutoLock lock(&c.pathLock);
  return c.path;
}

std::string SnapshotName() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  char name[1024];
#if VIDEOLIB_GDI_TEXT
  std::snprintf(name, sizeof(name), "%s/%s_CH%d_%04d%02d%02d_%02d%02d%02d%03d.bmp",
                CapturePath().c_str(), CChannel::m_SipName.c_str(), CChannel::m_capchn + 1, t.wYear,
                t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
#else
  std::snprintf(name, sizeof(name), "%s%04d%02d%02d%02d%02d%02d%03d.bmp", CapturePath().c_str(),
                t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
#endif
  return name;
}

// Snapshots taken within one millisecond would get the same name and the later one would
// replace the earlier: wait for the clock to move on instead.
std::string FreshSnapshotName() {
  std::string name = SnapshotName();
  std::error_code ec;
  for (int tries = 0; tries < 50 && std::filesystem::exists(name, ec); ++tries) {
    Sleep(1);
    name = SnapshotName();
  }
  return name;
}

void WriteSnapshot(const SnapItem& item) {
  const size_t pixels = static_cast<size_t>(item.width) * static_cast<size_t>(item.height);
  std::vector<uint8_t> converted;
  const uint8_t* yuy2 = item.data;
  if (item.format != 1) {
    converted.resize(pixels * 2);
    pixel::Yuv420pToYuy2(item.data, converted.data(), item.width, item.height);
    yuy2 = converted.data();
  }
  std::vector<uint8_t> bgr(pixels * 3);
  std::vector<uint8_t> bottom_up(pixels * 3);
  pixel::Yuy2ToBgr24(yuy2, bgr.data(), item.width, item.height);
  pixel::FlipRows(bgr.data(), bottom_up.data(), item.width * 3, item.height);
  bmp::Write(FreshSnapshotName().c_str(), bottom_up.data(), item.width, item.height);
}

unsigned CaptureThreadProc(void*) {
  Capture& c = TheCapture();
  c.running = 1;
  while (c.running) {
    SnapItem item;
    if (!c.queue.Pop(&item)) {
      WaitForSingleObject(c.queue.event(), INFINITE);
      if (!c.queue.Pop(&item)) {
        Sleep(100);
        continue;
      }
    }
    if (item.width == 0 && item.height == 0) {
      std::free(item.data);
      break;
    }
    if (item.data != nullptr && item.width > 0 && item.height > 0) WriteSnapshot(item);
    std::free(item.data);
  }
  c.running = 0;
  return 0;
}

}  // namespace

namespace channel_internal {

bool CaptureRunning() { return TheCapture().running != 0; }

bool QueueSnap(const SnapItem& item) { return TheCapture().queue.Push(item); }

}  // namespace channel_internal

CVideoOut* CChannel::InitRender() {
  if (FAILED(m_vOut.InitDirectDraw()) || m_vOut.InitDrawDib() == 0) return nullptr;
#if VIDEOLIB_GDI_TEXT
  m_vOut.SetPanelPainter(&info_panel::Draw, &info_panel::HasEntries);
#endif
  Capture& c = TheCapture();
  if (c.thread == nullptr && c.queue.Init()) {
    c.running = 1;  // set here too, so that snapshots asked for at once are not refused
    c.thread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 256 * 1024, &CaptureThreadProc, nullptr, 0, nullptr));
    if (c.thread == nullptr) {
      c.running = 0;
      c.queue.Uninit();
    }
  }
  return &m_vOut;
}

void CChannel::UninitRender() {
  m_vOut.UninitRender();
  Capture& c = TheCapture();
  if (c.thread != nullptr) {
    c.running = 0;
    c.queue.Push(SnapItem{});
    WaitForSingleObject(c.thread, INFINITE);
    CloseHandle(c.thread);
    c.thread = nullptr;
    std::printf("exit capture thread\n");
  }
  c.queue.Uninit();
}

void CChannel::InitSound() { m_aOut.Init(); }

void CChannel::UninitSound() { m_aOut.Stop(); }

void CChannel::SetCapturePath(std::string path) {
  Capture& c = TheCapture();
  CrAutoLock lock(&c.pathLock);
  c.path = std::move(path);
}

std::string CChannel::GetCapturePath() const { return CapturePath(); }
