#include "device/panel/right_plan_dlg.h"

#include <cstdio>

#include "PanelResources.h"
#include "device/lang/lang_table.h"
#include "device/panel/cap_dir_dlg.h"
#include "device/panel/relay_mask.h"
#include "device/protocol/dvr_socket.h"
#include "device/protocol/panel_receiver.h"
#include "device/ptz/image_adjust_dlg.h"
#include "device/ptz/ptz_set_dlg.h"
#include "device/ptz/ptz_values.h"
#include "device/records/video_search_dlg.h"
#include "device/widgets/dialog_binding.h"
#include "device/widgets/widget_art.h"
#include "device/widgets/widget_theme.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"
#include "videolib/channel.h"

#ifndef DEVICE_NPAPI_BUILD
#error "DEVICE_NPAPI_BUILD must be 0 or 1"
#endif

namespace device::panel {
namespace {

namespace lang = device::lang;
using widgets::CBitmapBtn;

constexpr int kPtzFirst = 1015;
constexpr int kTextPreviewStop = 602;
constexpr int kTextPreviewStart = 1006;
constexpr int kTextPrompt = 604;
constexpr int kPresetCount = 255;

// The text buttons: control ID, caption text ID.
struct TextButton {
  int id;
  int text;
};
constexpr TextButton kTextButtons[] = {
    {IDC_PTZ_CONFIG, 1001},   {IDC_RECORD_SEARCH, 1004},        {IDC_REFRESH, 188},
    {IDC_IMAGE_ADJUST, 1008}, {IDC_PREVIEW, kTextPreviewStart},
#if !DEVICE_NPAPI_BUILD
    {IDC_CAPTURE_DIR, 185},
#endif
};
constexpr int kTextButtonCount = sizeof(kTextButtons) / sizeof(kTextButtons[0]);
constexpr int kPreviewButton = 4;
static_assert(kTextButtons[kPreviewButton].id == IDC_PREVIEW);

std::atomic<int> g_relayMask{0};

// The control's device name, for the record search's file names (the plug-in's library keeps
// none).
std::string DeviceName() {
#if DEVICE_NPAPI_BUILD
  return "";
#else
  return CChannel::m_SipName;
#endif
}

// The table's text, or the template's caption where this build's table has none.
std::string Caption(HWND dialog, int control, int text) {
  const char* t = lang::Text(text);
  if (*t != '\0') return t;
  char buffer[64] = {};
  GetDlgItemTextA(dialog, control, buffer, sizeof buffer);
  return buffer;
}

}  // namespace

// The receive thread's calls reach the panel's window by posted messages only.
struct CRightPlanDlg::Receiver : PanelReplySink {
  Receiver(HWND window, SOCKET sock)
      : window(window), thread(sock, &CChannel::m_swdata, this, /*relays=*/!DEVICE_NPAPI_BUILD) {}
  void OnRecords(RecordReply reply) override { records::ForwardRecords(std::move(reply)); }
  void OnExportProgress(int32_t status, int32_t percent) override {
    records::ForwardExportProgress(status, percent);
  }
  // Only while the settings dialog runs; it posts the reply on to the dialog's window.
  void OnPtzConfig(const PtzConfig& config) override {
    if (ptzDialogOpen) ptz::ForwardPtzConfig(config);
  }
  void OnRelaySwitched() override { PostMessageA(window, kMsgRelaySwitched, 0, 0); }
  int32_t RelayMask() const override { return g_relayMask; }
  void ShowText(int textId) override {
    PostMessageA(window, kMsgShowText, static_cast<WPARAM>(textId), 0);
  }
  HWND window;
  std::atomic<bool> ptzDialogOpen{false};
  PanelReceiver thread;
};

CRightPlanDlg::CRightPlanDlg(PanelHost* host) : host_(host) {}

CRightPlanDlg::~CRightPlanDlg() {
  Close();
  HWND window = m_hWnd;
  m_hWnd = nullptr;
  widgets::DestroyBoundDialog(window);
  DeleteObject(background_);
  DeleteObject(smallFont_);
}

int CRightPlanDlg::CurrentRelayMask() { return g_relayMask; }

static_assert(kRelayBit1 == kRelayOutput1 && kRelayBit2 == kRelayOutput2);

bool CRightPlanDlg::Create(HWND parent, const PanelSettings& settings) {
  settings_ = settings;
  HWND window = CreateDialogParamA(PanelResources(), MAKEINTRESOURCEA(kDialogId), parent,
                                   &CRightPlanDlg::DialogProc, reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

void CRightPlanDlg::Dock() {
  if (m_hWnd == nullptr) return;
  RECT client{0, 0, 0, 0};
  GetClientRect(GetParent(m_hWnd), &client);
  MoveWindow(m_hWnd, client.right - kPanelWidth, 0, kPanelWidth, client.bottom - client.top, TRUE);
}

INT_PTR CRightPlanDlg::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return widgets::DispatchDialog(dialog, message, wparam, lparam, &CRightPlanDlg::OnInitDialog,
                                 &CRightPlanDlg::OnMessage, FALSE);
}

INT_PTR CRightPlanDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR answer = 0;
  if (widgets::AnswerDarkColors(message, wparam, background_, &answer)) return answer;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) OnCommand(LOWORD(wparam));
      return TRUE;
    case WM_TIMER:
      if (wparam == kStatusTimer) OnRefresh(kBuildStatusPeriodic);
      return TRUE;
    case widgets::kMsgPtzPress:
      OnPtzButton(static_cast<int>(wparam), true);
      return TRUE;
    case widgets::kMsgPtzRelease:
      OnPtzButton(static_cast<int>(wparam), false);
      return TRUE;
    case kMsgRelaySwitched:
      ShowRelayButtons();
      return TRUE;
    case kMsgShowText:
      MessageBoxA(m_hWnd, lang::Text(static_cast<int>(wparam)), lang::Text(kTextPrompt), MB_OK);
      return TRUE;
    case WM_DESTROY:
      Close();
      return FALSE;
    default:
      (void)lparam;
      return FALSE;
  }
}

void CRightPlanDlg::OnInitDialog() {
  background_ = CreateSolidBrush(widgets::kDialogBackground);
  smallFont_ = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           "\xCB\xCE\xCC\xE5");  // "宋体"
  preview_ = settings_.preview != 0;
  g_relayMask = settings_.relayState;
  SetUpPtzButtons();
  SetUpPresets();
  SetUpTextButtons();
#if !DEVICE_NPAPI_BUILD
  relays_[0].SubclassDlgItem(IDC_RELAY1, m_hWnd);
  relays_[1].SubclassDlgItem(IDC_RELAY2, m_hWnd);
  relays_[0].LoadBitmaps(320);
  relays_[0].LoadAlternateBitmaps(319);
  relays_[1].LoadBitmaps(322);
  relays_[1].LoadAlternateBitmaps(321);
  relays_[0].SetTooltipText(lang::Text(IDC_RELAY1));
  relays_[1].SetTooltipText(lang::Text(IDC_RELAY2));
  ShowRelayButtons();
#endif
  OpenSocket();
  SetTimer(m_hWnd, kStatusTimer, statusPeriodMs_, nullptr);
}

void CRightPlanDlg::SetUpPtzButtons() {
  for (int i = 0; i < 15; ++i) {
    const widgets::PtzBitmaps& b = widgets::kPtzButtonBitmaps[i];
    CBitmapBtn& button = ptz_[i];
    button.SubclassDlgItem(kPtzFirst + i, m_hWnd);
    button.LoadBitmaps(b.normal, b.hover, b.pressed, b.pressed);
    button.SetShape(widgets::kTransparentKey);
    button.SetTooltipText(lang::Text(static_cast<int>(b.normal)));
  }
}

void CRightPlanDlg::SetUpPresets() {
  presetLabel_.SubclassDlgItem(IDC_PRESET_LABEL, m_hWnd);
  presetLabel_.SetTextColor(widgets::kLabelText);
  presetLabel_.SetTransparent(true);
  presetLabel_.SetText(lang::Text(IDC_PRESET_LABEL));
  HWND combo = GetDlgItem(m_hWnd, IDC_PRESET);
  for (int n = 1; n <= kPresetCount; ++n) {
    char text[12];
    std::snprintf(text, sizeof text, "%d", n);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  const int ids[3] = {IDC_INVOKE, IDC_SET, IDC_DELETE};
  for (int i = 0; i < 3; ++i) {
    presets_[i].SubclassDlgItem(ids[i], m_hWnd);
    presets_[i].LoadBitmaps(1283, 1284, 1285, 1285);
    presets_[i].SetFont(smallFont_);
    presets_[i].SetCaption(lang::Text(ids[i]));
  }
}

void CRightPlanDlg::SetUpTextButtons() {
  for (int i = 0; i < kTextButtonCount; ++i) {
    const TextButton& t = kTextButtons[i];
    std::string caption = Caption(m_hWnd, t.id, t.text);
    if (t.id == IDC_PREVIEW && preview_) caption = lang::Text(kTextPreviewStop);
    texts_[i].SubclassDlgItem(t.id, m_hWnd);
    texts_[i].LoadBitmaps(316, 317, 318, 318);
    texts_[i].SetCaption(caption);
  }
}

void CRightPlanDlg::OpenSocket() {
  WSADATA data{};
  socketLibrary_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  sock_ = OpenDatagramSocket();
  if (sock_ == INVALID_SOCKET) return;  // reported; the panel goes on without DVR commands
  receiver_ = std::make_unique<Receiver>(m_hWnd, sock_);
  if (!receiver_->thread.Start()) {
    std::printf("fun:%s,sock:%d\n", "recvthread", -1);
    receiver_.reset();
  }
}

void CRightPlanDlg::Close() {
  if (closed_ || m_hWnd == nullptr) return;
  closed_ = true;
  // A movement still under way when the panel goes would have nothing left to stop it.
  if (moving_) SendPtz(kPtzStop);
  if (receiver_) receiver_->thread.Stop();
  receiver_.reset();
  if (sock_ != INVALID_SOCKET) closesocket(sock_);
  sock_ = INVALID_SOCKET;
  if (socketLibrary_) WSACleanup();
  socketLibrary_ = false;
  KillTimer(m_hWnd, kStatusTimer);
}

void CRightPlanDlg::OnRecordSearch() {
  records::SearchSettings search;
  search.dvrAddr = settings_.dvrAddr;
  search.sock = sock_;
  search.channelCount = settings_.channelCount;
  search.hasControl = host_ != nullptr;
  search.sipName = DeviceName();
  search.chinese = lang::SelectedLanguage() != lang::kEnglish;
  search.commandPort = port_;
  if (host_ != nullptr) {
    search.stepLog = [host = host_](const std::string& text) { host->LogStep(text); };
  }
  records::OpenRecordSearch(m_hWnd, search);
}

void CRightPlanDlg::OnCommand(int id) {
  switch (id) {
    case IDC_PTZ_CONFIG:
      return OnPtzSettings();
    case IDC_RECORD_SEARCH:
      return OnRecordSearch();
    case IDC_IMAGE_ADJUST:
      return OnImageAdjust();
    case IDC_INVOKE:
      return SendPtz(kPtzCallPreset);
    case IDC_SET:
      return SendPtz(kPtzSetPreset);
    case IDC_DELETE:
      return SendPtz(kPtzDeletePreset);
    case IDC_REFRESH:
      return OnRefresh(kBuildStatusUser);
    case IDC_PREVIEW:
      return OnPreview();
#if !DEVICE_NPAPI_BUILD
    case IDC_RELAY1:
      return OnRelayButton(kRelayBit1);
    case IDC_RELAY2:
      return OnRelayButton(kRelayBit2);
    case IDC_CAPTURE_DIR:
      return OnCaptureDir();
#endif
    default:
      return;
  }
}

// A press sends its button's action, the release (or the capture lost while pressed) the stop.
void CRightPlanDlg::OnPtzButton(int id, bool pressed) {
  auto action = ptz::PtzActionFor(id);
  if (!action) return;
  if (!pressed) {
    moving_ = false;
    return SendPtz(kPtzStop);
  }
  moving_ = *action != kPtzStop;
  SendPtz(*action);
}

void CRightPlanDlg::SendPtz(uint8_t action) {
  if (host_ == nullptr || sock_ == INVALID_SOCKET) return;
  const int channel = host_->CurrentChannel();
  std::printf("m_curSel:%d\n", channel);
  std::fflush(stdout);
  LRESULT preset = SendDlgItemMessageA(m_hWnd, IDC_PRESET, CB_GETCURSEL, 0, 0);
  PtzAction a{};
  a.action = action;
  a.zero = 0;
  a.channel = static_cast<uint8_t>(channel + 1);
  a.preset = static_cast<uint8_t>(preset < 0 ? 1 : preset + 1);
  BuildAndSend(&a, sock_, settings_.dvrAddr.c_str(), kBuildPtzAction, port_);
}

void CRightPlanDlg::OnPtzSettings() {
  ptz::PtzSetSettings s;
  s.dvrAddr = settings_.dvrAddr;
  s.sock = sock_;
  s.channelCount = settings_.channelCount;
  s.commandPort = port_;
  GetWindowRect(m_hWnd, &s.panel);
  GetWindowRect(GetDlgItem(m_hWnd, IDC_PTZ_CONFIG), &s.configButton);
  ptz::CPtzSetDlg dialog(s);
  if (receiver_) receiver_->ptzDialogOpen = true;
  dialog.DoModal(m_hWnd);
  if (receiver_) receiver_->ptzDialogOpen = false;
}

void CRightPlanDlg::OnImageAdjust() {
  ptz::imageadjust dialog({settings_.dvrAddr, settings_.channelCount, port_});
  dialog.DoModal(m_hWnd);
}

void CRightPlanDlg::OnRefresh(int kind) {
  if (sock_ == INVALID_SOCKET) return;
  BuildAndSend(nullptr, sock_, settings_.dvrAddr.c_str(), kind, port_);
}

// The new mask is kept before the DVR answers, and stays whatever it answers.
void CRightPlanDlg::OnRelayButton(int bit) {
  const int32_t mask = RelayMaskAfterPress(g_relayMask, bit);
  g_relayMask = mask;
  if (sock_ != INVALID_SOCKET)
    BuildAndSend(&mask, sock_, settings_.dvrAddr.c_str(), kBuildRelay, port_);
}

void CRightPlanDlg::ShowRelayButtons() {
  const int mask = g_relayMask;
  const int bits[2] = {kRelayBit1, kRelayBit2};
  for (int i = 0; i < 2; ++i) {
    const bool clear = (mask & bits[i]) == 0;
    std::printf("set use n bitmap:%d\r\n", clear ? 1 : 0);
    relays_[i].SetUseAlternate(clear);
  }
  std::fflush(stdout);
}

void CRightPlanDlg::OnPreview() {
  CBitmapBtn& button = texts_[kPreviewButton];
  button.EnableWindow(FALSE);
  std::printf("OnBnClickedBtnPreview-------\n");
  if (host_ != nullptr) {
    if (preview_) {
      button.SetCaption(lang::Text(kTextPreviewStart));
      host_->StopAllChannels();
      preview_ = false;
    } else {
      button.SetCaption(lang::Text(kTextPreviewStop));
      host_->StartStoppedChannels();
      preview_ = true;
      std::printf("ContinuePlayVideo-----------\n");
    }
  }
  std::fflush(stdout);
  button.EnableWindow(TRUE);
}

void CRightPlanDlg::OnCaptureDir() {
  CCapDirDlg dialog(host_);
  dialog.DoModal(m_hWnd);
}

const PanelReceiver* CRightPlanDlg::receiver() const {
  return receiver_ ? &receiver_->thread : nullptr;
}

}  // namespace device::panel
