#include "tools/livepair/live_pair.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include "control/session_run.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/ui.h"

namespace livepair {
namespace {

namespace fs = std::filesystem;

constexpr int kMargin = 10;
constexpr int kBorderRoom = 4;  // room on the desktop for a window border on each side
constexpr int kPumpStepMs = 10;
constexpr int kRecordRate = 25;

using Clock = std::chrono::steady_clock;

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

std::set<fs::path> Bmps(const std::string& dir) {
  std::set<fs::path> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (entry.path().extension() == ".bmp") found.insert(entry.path());
  }
  return found;
}

// A BMP file is complete once its size stops changing and covers its header's file size.
bool Complete(const fs::path& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec || size < 54) return false;
  Sleep(20);
  return fs::file_size(path, ec) == size && !ec;
}

}  // namespace

std::unique_ptr<LivePair> LivePair::Open(const PairConfig& config, std::string* error) {
  platform::display::DisplayOptions d;
  d.backend = config.backend;
  d.width = kWindows * (config.width + 2 * kBorderRoom) + (kWindows + 1) * kMargin;
  d.height = config.height + 2 * kBorderRoom + CVideoWnd::kTitleHeight + 2 * kMargin;
  d.title = "livepair";
  auto display = platform::display::Display::Create(d, error);
  if (!display) return nullptr;
  std::unique_ptr<LivePair> pair(new LivePair(config, std::move(display)));
  platform::gdi::InstallDcProvider();
  if (!pair->library_.InitRender()) {
    *error = "the video renderer cannot be set up";
    return nullptr;
  }
  pair->renderer_ = true;
  if (!pair->MakeWindows(error)) return nullptr;
  pair->StartSessions();
  return pair;
}

bool LivePair::MakeWindows(std::string* error) {
  const auto& fb = display_->framebuffer();
  desktop_ = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             fb.width(), fb.height(), nullptr, nullptr, nullptr, nullptr);
  if (desktop_ == nullptr) {
    *error = "the desktop window cannot be created";
    return false;
  }
  library_.ClearPanelTable();
  library_.SetSipName("livepair");
  for (int i = 0; i < kWindows; ++i) {
    auto c = std::make_unique<control::LiveChannel>();
    c->Init(nullptr, i);
    const int left = kMargin + i * (config_.width + kMargin);
    RECT cell{left, kMargin, left + config_.width,
              kMargin + CVideoWnd::kTitleHeight + config_.height};
    if (!c->CreateWnd(cell, desktop_, static_cast<UINT>(i))) {
      *error = "the video window of channel " + std::to_string(config_.channels[i]) +
               " cannot be created";
      return false;
    }
    // The picture fills the client area below the title strip: grow the window by its
    // border so that the picture is shown at the size it is coded.
    RECT outer{0, 0, 0, 0}, client{0, 0, 0, 0};
    GetWindowRect(c->m_hWnd, &outer);
    GetClientRect(c->m_hWnd, &client);
    border_ = ((outer.right - outer.left) - (client.right - client.left)) / 2;
    cell.right += 2 * border_;
    cell.bottom += 2 * border_;
    if (i > 0) OffsetRect(&cell, 2 * border_ * i, 0);
    c->MoveVideo(cell);
    c->EnableTitle(1);
    c->UpdateTitle(("CH" + std::to_string(config_.channels[i])).c_str());
    c->Close();
    c->Open(config_.width, config_.height, 0, 0, 0);
    c->EnableDeinterlace(0);
    channels_[i] = std::move(c);
  }
  PumpMessages();
  return true;
}

void LivePair::StartSessions() {
  for (int i = 0; i < kWindows; ++i) {
    auto s = std::make_unique<RtspSession>();
    s->channelNumber = i;
    s->channel = channels_[i]->FrameSink();
    sessions_[i] = std::move(s);
    const std::string url = "rtsp://" + config_.host + ":" + std::to_string(config_.port) + "/" +
                            std::to_string(config_.channels[i]) + ".live";
    channels_[i]->StartDecode();
    StartRtspSession(url.c_str(), sessions_[i].get());
  }
}

LivePair::~LivePair() {
  for (int i = 0; i < kWindows; ++i) {
    control::EndRun(&sessions_[i]);
  }
  for (int i = 0; i < kWindows; ++i) {
    if (!channels_[i]) continue;
    StopRecording(i);
    channels_[i]->StopDecode(0);
    channels_[i].reset();
  }
  if (desktop_ != nullptr) DestroyWindow(desktop_);
  PumpMessages();
  if (renderer_) library_.UninitRender();
}

void LivePair::PumpFor(int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  do {
    PumpMessages();
    Sleep(kPumpStepMs);
  } while (Clock::now() < until);
}

bool LivePair::WaitForPictures(int timeout_ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (Clock::now() < until) {
    bool all = true;
    for (int i = 0; i < kWindows; ++i) {
      all = all && sessions_[i]->running != 0 && FramesShown(i) > 0;
    }
    if (all) return true;
    PumpFor(kPumpStepMs);
  }
  return false;
}

RECT LivePair::PictureRect(int i) const {
  // Where the drawing path puts the picture: the client area below the title strip, less
  // the focus frame.
  RECT r{0, 0, 0, 0};
  const CChannel& c = *channels_[i];
  GetClientRect(c.m_hWnd, &r);
  POINT origin{0, 0};
  ClientToScreen(c.m_hWnd, &origin);
  OffsetRect(&r, origin.x, origin.y);
  if (c.m_bTitle) r.top += CVideoWnd::kTitleHeight;
  if (c.m_bFocused) {
    r.left += 2;
    r.right -= 2;
    r.bottom -= 2;
  }
  return r;
}

int LivePair::FramesShown(int i) const { return channels_[i]->m_nFrames; }

bool LivePair::Screenshot(const std::string& path, std::string* error) {
  PumpMessages();
  return display_->Screenshot(path, error);
}

std::string LivePair::Snapshot(int i, const std::string& dir, int timeout_ms) {
  const std::set<fs::path> before = Bmps(dir);
  CChannel::SetCapturePath(dir);
  // The file name carries the library-wide channel number of the moment it is written, so
  // one snapshot is finished before the next is asked for.
  library_.SetCapChn(config_.channels[i] - 1);
  channels_[i]->Snap();
  const auto until = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (Clock::now() < until) {
    for (const fs::path& p : Bmps(dir)) {
      if (before.count(p) == 0 && Complete(p)) return p.string();
    }
    PumpFor(kPumpStepMs);
  }
  return "";
}

bool LivePair::StartRecording(int i, const std::string& path, int width, int height,
                              std::string* error) {
  CChannel& c = *channels_[i];
  CAviWriter::tagVideoStreamInfo info{static_cast<DWORD>(width), static_cast<DWORD>(height),
                                      kRecordRate, MAKEFOURCC('Y', 'U', 'Y', '2')};
  if (c.CAviWriter::Open(path.c_str(), &info, nullptr) != 1) {
    *error = path + ": the recording cannot be created";
    return false;
  }
  if (c.CThread::Create() != 1) {
    c.CAviWriter::Close();
    *error = "the recording thread of channel " + std::to_string(config_.channels[i]) +
             " cannot be started";
    return false;
  }
  c.m_bSaving = 1;
  recording_[i] = true;
  return true;
}

void LivePair::StopRecording(int i) {
  if (!recording_[i]) return;
  CChannel& c = *channels_[i];
  c.m_bSaving = 0;
  c.CThread::Exit(INFINITE);
  c.CAviWriter::Close();
  recording_[i] = false;
}

}  // namespace livepair
