#include "device/playback/play_back_dlg.h"

#include <cstdio>

#include "PlaybackResources.h"
#include "device/lang/lang_table.h"
#include "device/playback/playback_texts.h"
#include "device/protocol/messages.h"
#include "device/widgets/dialog_binding.h"
#include "device/widgets/widget_theme.h"
#include "platform/gdi/gdi.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

namespace device::playback {
namespace {

namespace lang = device::lang;

constexpr int kTextPause = 1003;
constexpr int kTextPlay = 646;
constexpr int kTextCapture = 184;
constexpr int kTextCaptureDir = 185;
constexpr int kTextCreateFailed = 642;
constexpr int kTextDestroyFailed = 643;
constexpr int kTextEnded = 644;
constexpr int kTextFailed = 645;
constexpr int kTextPrompt = 604;
constexpr UINT kSliderChannelBitmap = 173;
constexpr UINT kSliderThumbBitmap = 174;

// Where the controls sit, from the client area's left and bottom edges.
constexpr int kPauseLeft = 20, kCaptureLeft = 100, kCaptureDirLeft = 180, kButtonsUp = 45;
constexpr int kSliderLeft = 16, kSliderUp = 80, kLabelGap = 10;

SIZE WindowSize(HWND window) {
  RECT r{0, 0, 0, 0};
  GetWindowRect(window, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void Flush() { std::fflush(stdout); }

}  // namespace

CPlayBackDlg::CPlayBackDlg(PlaybackHost* host, std::string url)
    : host_(host), url_(std::move(url)) {}

CPlayBackDlg::~CPlayBackDlg() {
  DestroyPlayback();
  if (background_ != nullptr) DeleteObject(background_);
}

INT_PTR CPlayBackDlg::DoModal(HWND owner) {
  return DialogBoxParamA(PlaybackResources(), MAKEINTRESOURCEA(kDialogId), owner,
                         &CPlayBackDlg::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CPlayBackDlg::Create(HWND owner) {
  modal_ = false;
  HWND window = CreateDialogParamA(PlaybackResources(), MAKEINTRESOURCEA(kDialogId), owner,
                                   &CPlayBackDlg::DialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOW);
  return true;
}

void CPlayBackDlg::Close(INT_PTR result) {
  if (modal_) {
    EndDialog(m_hWnd, result);
  } else {
    DestroyWindow(m_hWnd);
  }
}

INT_PTR CPlayBackDlg::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return widgets::DispatchDialog(dialog, message, wparam, lparam, &CPlayBackDlg::OnInitDialog,
                                 &CPlayBackDlg::OnMessage);
}

INT_PTR CPlayBackDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (widgets::ReflectToChild(m_hWnd, message, wparam, lparam)) return TRUE;
  INT_PTR answer = 0;
  if (widgets::AnswerDarkColors(message, wparam, background_, &answer)) return answer;
  switch (message) {
    case WM_TIMER:
      if (wparam == kTimerId) OnTimer();
      return TRUE;
    case WM_SIZE:
      OnSize(wparam);
      return TRUE;
    case widgets::kMsgSliderMoving:
      if (static_cast<int>(wparam) == IDC_POSITION) OnSeek(static_cast<int>(lparam));
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wparam)) {
        case IDC_PAUSE_PLAY:
          OnPausePlay();
          return TRUE;
        case IDC_CAPTURE:
          OnCapture();
          return TRUE;
        case IDC_CAPTURE_DIR:
          if (host_ != nullptr) host_->OpenCaptureDir(m_hWnd);
          return TRUE;
        case IDCANCEL:
          OnClose();
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

void CPlayBackDlg::OnInitDialog() {
  background_ = CreateSolidBrush(widgets::kDialogBackground);
  SetWindowTextA(m_hWnd, lang::Text(kDialogId));
  SetUpButtons();
  if (host_ == nullptr || host_->CreatePlayback(m_hWnd, url_) != 0) {
    MessageBoxA(m_hWnd, lang::Text(kTextCreateFailed), lang::Text(kTextPrompt),
                MB_OK | MB_ICONWARNING);
  } else {
    PlaybackHost* host = host_;
    seeks_ = std::make_unique<SeekQueue>([host](int seconds) {
      host->PausePlayback();
      host->SeekPlayback(seconds);
    });
  }
  slider_.SubclassDlgItem(IDC_POSITION, m_hWnd);
  slider_.SetBitmapChannel(kSliderChannelBitmap);
  slider_.SetBitmapThumb(kSliderThumbBitmap);
  slider_.SetPos(0);
  label_.SubclassDlgItem(IDC_TIME, m_hWnd);
  label_.SetText("00:00/00:00");
  durationKnown_ = false;
  SetTimer(m_hWnd, kTimerId, kTimerMs, nullptr);
  RECT client{0, 0, 0, 0};
  GetClientRect(m_hWnd, &client);
  OnSize(SIZE_RESTORED);
}

void CPlayBackDlg::SetUpButtons() {
  pausePlay_.SubclassDlgItem(IDC_PAUSE_PLAY, m_hWnd);
  pausePlay_.LoadBitmaps(1286, 1287, 1288, 1288);
  pausePlay_.SetCaption(lang::Text(kTextPause));
  capture_.SubclassDlgItem(IDC_CAPTURE, m_hWnd);
  capture_.LoadBitmaps(1286, 1287, 1288, 1288);
  capture_.SetCaption(lang::Text(kTextCapture));
  captureDir_.SubclassDlgItem(IDC_CAPTURE_DIR, m_hWnd);
  captureDir_.LoadBitmaps(316, 317, 318, 318);
  captureDir_.SetCaption(lang::Text(kTextCaptureDir));
}

// While a seek is under way the session still counts the stretch before it: the position is
// the one the seek goes to.
int CPlayBackDlg::Position() {
  if (seeks_) {
    if (auto target = seeks_->Target()) return *target;
  }
  return host_->PlaybackPosition();
}

void CPlayBackDlg::OnTimer() {
  if (host_ == nullptr || host_->PlaybackStopped()) return;
  const int position = Position();
  const PlaybackStatus status = host_->Status();
  const bool seeking = seeks_ && seeks_->Busy();
  // A recording whose length is whole seconds never counts past its total: its end is the
  // server's word that the stream ended, within its last second (servers also say BYE for a
  // source they replace when a stream starts or seeks).
  const bool saidEnd =
      status.ended && !seeking && !paused_ && durationKnown_ && position >= total_ - 1;
  if ((durationKnown_ && position > total_) || saidEnd) {
    return EndWith(kTextEnded);
  }
  if (!status.running) return EndWith(kTextFailed);
  if (durationKnown_) {
    if (position <= total_) {
      slider_.SetPos(position);
      ShowPosition(position);
    }
    return;
  }
  total_ = static_cast<int>(status.durationMs / 1000);
  if (total_ == 0) return;
  slider_.SetRange(0, total_);
  durationKnown_ = true;
  ShowPosition(position);
}

void CPlayBackDlg::ShowPosition(int position) { label_.SetText(PositionLabel(position, total_)); }

bool CPlayBackDlg::CanRequest(bool report) {
  if (host_ == nullptr) return false;
  if (host_->PlaybackStopped()) {
    if (report) std::printf("is stop\n");
    Flush();
    return false;
  }
  return host_->Status().running;
}

// Both ways the played seconds count again from the next packet, so the position is the
// paused one plus what plays after the resume (not the paused one counted twice).
void CPlayBackDlg::OnPausePlay() {
  if (!CanRequest(true)) return;
  pausePlay_.EnableWindow(FALSE);
  capture_.EnableWindow(TRUE);
  if (paused_) {
    const int position = host_->PlaybackPosition();
    if (position < total_) {
      host_->ContinuePlayback();
      pausePlay_.SetCaption(lang::Text(kTextPause));
      paused_ = false;
    }
  } else {
    const int position = Position();
    host_->SetPlaybackStart(position);
    host_->RestartPlaybackClock();
    host_->PlaybackPosition();
    if (position < total_) {
      // A seek still under way would play again behind the PAUSE.
      if (seeks_) seeks_->Settle();
      host_->PausePlayback();
      host_->SetPlaybackPosition(0);
      pausePlay_.SetCaption(lang::Text(kTextPlay));
      paused_ = true;
    }
  }
  Flush();
  pausePlay_.EnableWindow(TRUE);
}

void CPlayBackDlg::OnSeek(int seconds) {
  if (host_ == nullptr || host_->PlaybackStopped() || !seeks_) return;
  const int old = Position();
  host_->RestartPlaybackClock();
  host_->SetPlaybackStart(old);
  host_->SetPlaybackPosition(seconds);
  seeks_->Post(seconds);
  paused_ = false;
  pausePlay_.SetCaption(lang::Text(kTextPause));
  SetTimer(m_hWnd, kTimerId, kTimerMs, nullptr);
}

void CPlayBackDlg::OnCapture() {
  if (host_ == nullptr) {
    std::printf("null get!\r\n");
    return Flush();
  }
  if (!CanRequest(true)) return;
  if (!host_->HasPlaybackChannel()) {
    std::printf("null chn\r\n");
    return Flush();
  }
  if (paused_) {
    capture_.EnableWindow(FALSE);
    host_->PutPlaybackPauseFifo();
  } else {
    host_->SnapPlayback();
  }
}

void CPlayBackDlg::OnSize(WPARAM kind) {
  if (kind == SIZE_MINIMIZED || m_hWnd == nullptr || slider_.GetSafeHwnd() == nullptr) return;
  RECT client{0, 0, 0, 0};
  GetClientRect(m_hWnd, &client);
  const int bottom = client.bottom;
  widgets::CBitmapBtn* buttons[3] = {&pausePlay_, &capture_, &captureDir_};
  const int lefts[3] = {kPauseLeft, kCaptureLeft, kCaptureDirLeft};
  for (int i = 0; i < 3; ++i) {
    SIZE s = WindowSize(buttons[i]->GetSafeHwnd());
    MoveWindow(buttons[i]->GetSafeHwnd(), lefts[i], bottom - kButtonsUp, s.cx, s.cy, TRUE);
  }
  SIZE slider = WindowSize(slider_.GetSafeHwnd());
  MoveWindow(slider_.GetSafeHwnd(), kSliderLeft, bottom - kSliderUp, slider.cx, slider.cy, TRUE);
  SIZE label = WindowSize(label_.GetSafeHwnd());
  const int labelLeft = slider.cx + WindowSize(captureDir_.GetSafeHwnd()).cx + kLabelGap;
  MoveWindow(label_.GetSafeHwnd(), labelLeft, bottom - kSliderUp, label.cx, label.cy, TRUE);
  if (host_ != nullptr && host_->HasPlaybackChannel()) {
    host_->MovePlaybackVideo(RECT{0, 0, client.right, bottom - kVideoBottomMargin});
  }
  InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CPlayBackDlg::DestroyPlayback() {
  if (destroyed_) return;
  destroyed_ = true;
  if (seeks_) seeks_->Stop();
  if (host_ != nullptr) host_->StopPlayback();
}

void CPlayBackDlg::EndWith(int textId) {
  KillTimer(m_hWnd, kTimerId);
  MessageBoxA(m_hWnd, lang::Text(textId), lang::Text(kTextPrompt), MB_OK | MB_ICONWARNING);
  DestroyPlayback();
  Close(IDOK);
}

void CPlayBackDlg::OnClose() {
  KillTimer(m_hWnd, kTimerId);
  std::printf("PlayBackDestroy---------\n");
  Flush();
  if (host_ == nullptr) {
    MessageBoxA(m_hWnd, lang::Text(kTextDestroyFailed), lang::Text(kTextPrompt),
                MB_OK | MB_ICONWARNING);
  }
  DestroyPlayback();
  Close(IDCANCEL);
}

INT_PTR OpenPlayback(HWND owner, PlaybackHost* host, const std::string& dvrAddr, int storage,
                     const RecordEntry& record) {
  const std::string url =
      PlaybackUrl(dvrAddr, host != nullptr ? host->RtspPort() : 554, storage, record);
  std::printf("%s\n", url.c_str());
  Flush();
  CPlayBackDlg dialog(host, url);
  return dialog.DoModal(owner);
}

}  // namespace device::playback
