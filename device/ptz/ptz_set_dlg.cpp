#include "device/ptz/ptz_set_dlg.h"

#include <cstdio>
#include <mutex>

#include "PtzResources.h"
#include "device/lang/lang_table.h"
#include "device/protocol/dvr_socket.h"
#include "device/ptz/ptz_values.h"
#include "device/widgets/dialog_binding.h"
#include "device/widgets/widget_theme.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

#ifndef DEVICE_NPAPI_BUILD
#error "DEVICE_NPAPI_BUILD must be 0 or 1"
#endif

namespace device::ptz {
namespace {

namespace lang = device::lang;

constexpr int kTextSuccess = 603;
constexpr int kTextPrompt = 604;
constexpr int kTextFailed = 650;
constexpr int kTextOk = 236;
constexpr int kTextCancel = 237;
constexpr int kAboveButton = 2;  // pixels between the dialog's bottom and the button's top

constexpr int kLabelIds[5] = {IDC_PTZ_CHANNEL_LABEL, IDC_PTZ_PROTOCOL_LABEL, IDC_PTZ_ADDRESS_LABEL,
                              IDC_PTZ_SPEED_LABEL, IDC_PTZ_BAUD_LABEL};

// The open dialog's window, for the receive thread.
std::mutex g_openMutex;
HWND g_open = nullptr;  // guarded by g_openMutex

void AddNumbers(HWND combo, int last) {
  for (int n = 1; n <= last; ++n) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", n);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

void AddTexts(HWND combo, const char* const* texts, int count) {
  for (int i = 0; i < count; ++i) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
  }
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

void PackPtzConfig(const PtzConfig& c, WPARAM* wparam, LPARAM* lparam) {
  *wparam = static_cast<WPARAM>(c.operation) | static_cast<WPARAM>(c.channel) << 8 |
            static_cast<WPARAM>(c.protocol) << 16 | static_cast<WPARAM>(c.address) << 24;
  *lparam = static_cast<LPARAM>(c.speed | c.baud << 8);
}

PtzConfig UnpackPtzConfig(WPARAM wparam, LPARAM lparam) {
  PtzConfig c{};
  c.operation = static_cast<uint8_t>(wparam);
  c.channel = static_cast<uint8_t>(wparam >> 8);
  c.protocol = static_cast<uint8_t>(wparam >> 16);
  c.address = static_cast<uint8_t>(wparam >> 24);
  c.speed = static_cast<uint8_t>(lparam);
  c.baud = static_cast<uint8_t>(lparam >> 8);
  return c;
}

void ForwardPtzConfig(const PtzConfig& config) {
  std::lock_guard<std::mutex> lock(g_openMutex);
  if (g_open == nullptr) return;
  WPARAM w;
  LPARAM l;
  PackPtzConfig(config, &w, &l);
  PostMessageA(g_open, CPtzSetDlg::kMsgPtzConfig, w, l);
}

HWND PtzSetWindow() {
  std::lock_guard<std::mutex> lock(g_openMutex);
  return g_open;
}

CPtzSetDlg::~CPtzSetDlg() {
  Unregister();
  if (!modal_) widgets::DestroyBoundDialog(m_hWnd);
  if (background_ != nullptr) DeleteObject(background_);
}

void CPtzSetDlg::Unregister() {
  std::lock_guard<std::mutex> lock(g_openMutex);
  if (g_open == m_hWnd) g_open = nullptr;
}

INT_PTR CPtzSetDlg::DoModal(HWND owner) {
  modal_ = true;
  return DialogBoxParamA(PtzResources(), MAKEINTRESOURCEA(kDialogId), owner,
                         &CPtzSetDlg::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CPtzSetDlg::Create(HWND owner) {
  modal_ = false;
  HWND window = CreateDialogParamA(PtzResources(), MAKEINTRESOURCEA(kDialogId), owner,
                                   &CPtzSetDlg::DialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOW);
  return true;
}

INT_PTR CPtzSetDlg::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return widgets::DispatchDialog(dialog, message, wparam, lparam, &CPtzSetDlg::OnInitDialog,
                                 &CPtzSetDlg::OnMessage);
}

INT_PTR CPtzSetDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR answer = 0;
  if (widgets::AnswerDarkColors(message, wparam, background_, &answer)) return answer;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_PTZ_CHANNEL && HIWORD(wparam) == CBN_SELCHANGE) {
        Get();
        return TRUE;
      }
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      if (LOWORD(wparam) == IDC_PTZ_OK) OnOk();
      if (LOWORD(wparam) == IDC_PTZ_CANCEL || LOWORD(wparam) == IDCANCEL) Close(IDCANCEL);
      return TRUE;
    case WM_CLOSE:
      Close(IDCANCEL);
      return TRUE;
    case kMsgPtzConfig:
      OnReply(UnpackPtzConfig(wparam, lparam));
      return TRUE;
    case WM_DESTROY:
      Unregister();
      return FALSE;
    default:
      return FALSE;
  }
}

void CPtzSetDlg::OnInitDialog() {
  background_ = CreateSolidBrush(widgets::kDialogBackground);
  SetWindowTextA(m_hWnd, lang::Text(kDialogId));
  for (int i = 0; i < 5; ++i) {
    labels_[i].SubclassDlgItem(kLabelIds[i], m_hWnd);
    labels_[i].SetTextColor(widgets::kLabelText);
    labels_[i].SetTransparent(true);
    labels_[i].SetText(lang::Text(kLabelIds[i]));
  }
  const int buttonIds[2] = {IDC_PTZ_OK, IDC_PTZ_CANCEL};
  const int buttonTexts[2] = {kTextOk, kTextCancel};
  for (int i = 0; i < 2; ++i) {
    buttons_[i].SubclassDlgItem(buttonIds[i], m_hWnd);
    buttons_[i].LoadBitmaps(1286, 1287, 1288, 1288);
    buttons_[i].SetCaption(lang::Text(buttonTexts[i]));
  }
  FillCombos();
  Place();
  {
    std::lock_guard<std::mutex> lock(g_openMutex);
    g_open = m_hWnd;
  }
  Get();
}

void CPtzSetDlg::FillCombos() {
  AddNumbers(GetDlgItem(m_hWnd, IDC_PTZ_CHANNEL), settings_.channelCount);
  AddTexts(GetDlgItem(m_hWnd, IDC_PTZ_PROTOCOL), kPtzProtocolNames, kPtzProtocols);
  AddNumbers(GetDlgItem(m_hWnd, IDC_PTZ_ADDRESS), kPtzAddresses);
  AddNumbers(GetDlgItem(m_hWnd, IDC_PTZ_SPEED), kPtzSpeeds);
  AddTexts(GetDlgItem(m_hWnd, IDC_PTZ_BAUD), kPtzBaudNames, kPtzBauds);
}

// Right edge on the panel's right edge, bottom just above the "ptz config" button; never
// above the desktop's top, where its caption could not be reached.
void CPtzSetDlg::Place() {
  if (IsEmpty(settings_.panel) || IsEmpty(settings_.configButton)) return;
  RECT r;
  GetWindowRect(m_hWnd, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  int top = settings_.configButton.top - kAboveButton - height;
  if (top < 0) top = 0;
  MoveWindow(m_hWnd, settings_.panel.right - width, top, width, height, TRUE);
}

int CPtzSetDlg::Selected(int combo) const {
  LRESULT s = SendDlgItemMessageA(m_hWnd, combo, CB_GETCURSEL, 0, 0);
  return s < 0 ? 0 : static_cast<int>(s);
}

void CPtzSetDlg::Send(const PtzConfig& config) {
  if (settings_.sock == INVALID_SOCKET) return;
  BuildAndSend(&config, settings_.sock, settings_.dvrAddr.c_str(),
               config.operation == kPtzConfigGet ? kBuildPtzConfigGet : kBuildPtzConfigSet,
               settings_.commandPort);
}

void CPtzSetDlg::Get() { Send(PtzGet(Selected(IDC_PTZ_CHANNEL))); }

void CPtzSetDlg::OnOk() {
  Send(PtzSet(Selected(IDC_PTZ_CHANNEL), Selected(IDC_PTZ_PROTOCOL), Selected(IDC_PTZ_ADDRESS),
              Selected(IDC_PTZ_SPEED), Selected(IDC_PTZ_BAUD)));
}

void CPtzSetDlg::OnReply(const PtzConfig& reply) {
  if (reply.operation == kPtzConfigGet) {
    if (reply.channel != Selected(IDC_PTZ_CHANNEL) + 1) return;
    auto s = SelectionOf(reply);
    if (!s) return;
    SendDlgItemMessageA(m_hWnd, IDC_PTZ_PROTOCOL, CB_SETCURSEL, s->protocol, 0);
    SendDlgItemMessageA(m_hWnd, IDC_PTZ_ADDRESS, CB_SETCURSEL, s->addressIndex, 0);
    SendDlgItemMessageA(m_hWnd, IDC_PTZ_SPEED, CB_SETCURSEL, s->speedIndex, 0);
    SendDlgItemMessageA(m_hWnd, IDC_PTZ_BAUD, CB_SETCURSEL, s->baudIndex, 0);
    return;
  }
  const bool done = reply.operation == kPtzConfigSet;
  MessageBoxA(m_hWnd, lang::Text(done ? kTextSuccess : kTextFailed), lang::Text(kTextPrompt),
              MB_OK | (done ? MB_ICONINFORMATION : MB_ICONWARNING));
}

void CPtzSetDlg::Close(INT_PTR result) {
  Unregister();
  if (modal_) {
    EndDialog(m_hWnd, result);
  } else {
    DestroyWindow(m_hWnd);
  }
}

}  // namespace device::ptz
