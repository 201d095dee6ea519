#include "device/ptz/image_adjust_dlg.h"

#include <cstdio>
#include <vector>

#include "PtzResources.h"
#include "device/lang/lang_table.h"
#include "device/protocol/dvr_socket.h"
#include "device/protocol/replies.h"
#include "device/protocol/requests.h"
#include "device/widgets/dialog_binding.h"
#include "device/widgets/widget_theme.h"
#include "platform/ui/dialog.h"
#include "platform/ui/paint.h"
#include "platform/ui/ui.h"

namespace device::ptz {
namespace {

namespace lang = device::lang;

constexpr int kLabelIds[7] = {
    IDC_IMG_CHANNEL_LABEL,    IDC_IMG_COLOR_LABEL, IDC_IMG_CONTRAST_LABEL, IDC_IMG_LUMINANCE_LABEL,
    IDC_IMG_SATURATION_LABEL, IDC_IMG_MODE_LABEL,  IDC_IMG_COPY_LABEL};
constexpr int kSliderIds[kImageValues] = {IDC_IMG_COLOR, IDC_IMG_CONTRAST, IDC_IMG_LUMINANCE,
                                          IDC_IMG_SATURATION};
constexpr int kValueIds[kImageValues] = {IDC_IMG_COLOR_VALUE, IDC_IMG_CONTRAST_VALUE,
                                         IDC_IMG_LUMINANCE_VALUE, IDC_IMG_SATURATION_VALUE};
constexpr int kModeIds[kImagePresetCount] = {IDC_IMG_SOFT,     IDC_IMG_STANDARD,  IDC_IMG_BRIGHT,
                                             IDC_IMG_COLORFUL, IDC_IMG_BACKLIGHT, IDC_IMG_DEFAULT};
constexpr int kCheckIds[9] = {IDC_IMG_CH1, IDC_IMG_CH2, IDC_IMG_CH3, IDC_IMG_CH4, IDC_IMG_CH5,
                              IDC_IMG_CH6, IDC_IMG_CH7, IDC_IMG_CH8, IDC_IMG_ALL};
constexpr int kMaxChannels = 8;
constexpr int kCopyButton = kImagePresetCount;

int SliderIndex(int id) {
  for (int i = 0; i < kImageValues; ++i) {
    if (kSliderIds[i] == id) return i;
  }
  return -1;
}

}  // namespace

imageadjust::~imageadjust() {
  CloseSocket();
  if (!modal_) widgets::DestroyBoundDialog(m_hWnd);
  if (background_ != nullptr) DeleteObject(background_);
}

INT_PTR imageadjust::DoModal(HWND owner) {
  modal_ = true;
  return DialogBoxParamA(PtzResources(), MAKEINTRESOURCEA(kDialogId), owner,
                         &imageadjust::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool imageadjust::Create(HWND owner) {
  modal_ = false;
  HWND window = CreateDialogParamA(PtzResources(), MAKEINTRESOURCEA(kDialogId), owner,
                                   &imageadjust::DialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOW);
  return true;
}

INT_PTR imageadjust::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return widgets::DispatchDialog(dialog, message, wparam, lparam, &imageadjust::OnInitDialog,
                                 &imageadjust::OnMessage);
}

INT_PTR imageadjust::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR answer = 0;
  if (widgets::AnswerDarkColors(message, wparam, background_, &answer)) return answer;
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case widgets::kMsgSliderReleased:
      OnSliderReleased(static_cast<int>(wparam), static_cast<int>(lparam));
      return TRUE;
    case WM_CLOSE:
      Close(IDCANCEL);
      return TRUE;
    case WM_DESTROY:
      CloseSocket();
      return FALSE;
    default:
      return FALSE;
  }
}

void imageadjust::OnCommand(int id, int code) {
  if (id == IDC_IMG_CHANNEL) {
    if (code == CBN_SELCHANGE) ReadSettings();
    return;
  }
  if (code != BN_CLICKED) return;
  if (PresetFor(id) != nullptr) return OnPreset(id);
  if (id == IDC_IMG_COPY) return OnCopy();
  if (id == IDC_IMG_ALL) return OnAll();
  if (id == IDCANCEL) Close(IDCANCEL);
}

void imageadjust::OnInitDialog() {
  background_ = CreateSolidBrush(widgets::kDialogBackground);
  SetWindowTextA(m_hWnd, lang::Text(kDialogId));
  sock_ = OpenDatagramSocket();
  SetUpLabels();
  SetUpSliders();
  SetUpButtons();
  SetUpChecks();
  HWND combo = GetDlgItem(m_hWnd, IDC_IMG_CHANNEL);
  for (int n = 1; n <= settings_.channelCount; ++n) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", n);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  ReadSettings();
}

void imageadjust::SetUpLabels() {
  for (int i = 0; i < 7; ++i) {
    labels_[i].SubclassDlgItem(kLabelIds[i], m_hWnd);
    labels_[i].SetTextColor(widgets::kLabelText);
    labels_[i].SetTransparent(true);
    labels_[i].SetText(lang::Text(kLabelIds[i]));
  }
  for (int i = 0; i < kImageValues; ++i) {
    values_[i].SubclassDlgItem(kValueIds[i], m_hWnd);
    values_[i].SetTextColor(widgets::kLabelText);
    values_[i].SetTransparent(true);
  }
}

void imageadjust::SetUpSliders() {
  for (int i = 0; i < kImageValues; ++i) {
    sliders_[i].SubclassDlgItem(kSliderIds[i], m_hWnd);
    sliders_[i].SetBitmapChannel(1289);
    sliders_[i].SetBitmapThumb(1290);
    sliders_[i].SetRange(kImageRanges[i].min, kImageRanges[i].max);
    sliders_[i].SetPos(kImageRanges[i].min);
  }
  Show(Values());
}

void imageadjust::SetUpButtons() {
  for (int i = 0; i <= kImagePresetCount; ++i) {
    const int id = i < kImagePresetCount ? kModeIds[i] : IDC_IMG_COPY;
    widgets::CBitmapBtn& b = buttons_[i];
    b.SubclassDlgItem(id, m_hWnd);
    b.LoadBitmaps(1286, 1287, 1288, 1288);
    b.SetCaption(lang::Text(id));
  }
}

void imageadjust::SetUpChecks() {
  for (int i = 0; i < 9; ++i) {
    checks_[i].SubclassDlgItem(kCheckIds[i], m_hWnd);
    checks_[i].SetText(lang::Text(kCheckIds[i]));
    checks_[i].SetCheck(true);
    if (i < kMaxChannels && i >= settings_.channelCount) ShowWindow(checks_[i].m_hWnd, SW_HIDE);
  }
  if (settings_.channelCount != 4) return;
  HWND copy = buttons_[kCopyButton].m_hWnd;
  RECT r;
  GetWindowRect(copy, &r);
  POINT at{r.left, r.top - kCopyRaise};
  ScreenToClient(m_hWnd, &at);
  MoveWindow(copy, at.x, at.y, r.right - r.left, r.bottom - r.top, TRUE);
}

ImageValues imageadjust::Values() const {
  ImageValues v{};
  for (int i = 0; i < kImageValues; ++i) v[i] = sliders_[i].GetPos();
  return v;
}

void imageadjust::Show(const ImageValues& values) {
  for (int i = 0; i < kImageValues; ++i) {
    sliders_[i].SetPos(values[i]);
    char text[16];
    std::snprintf(text, sizeof text, "%d", sliders_[i].GetPos());
    values_[i].SetText(text);
  }
}

int imageadjust::SelectedChannel() const {
  LRESULT s = SendDlgItemMessageA(m_hWnd, IDC_IMG_CHANNEL, CB_GETCURSEL, 0, 0);
  return s < 0 ? 0 : static_cast<int>(s);
}

void imageadjust::Send(int channel, const ImageValues& values) {
  if (sock_ == INVALID_SOCKET) return;
  std::vector<uint8_t> d = BuildImageSettings(ImageSet(channel, values));
  SendCommand(d.data(), sock_, static_cast<int>(d.size()), settings_.dvrAddr.c_str(),
              settings_.commandPort);
}

// Whatever waits on the socket answers an earlier request (a get that timed out, the sets).
void imageadjust::Drain() {
  char buffer[kReplyBytes];
  while (WaitReadable(sock_, 0) > 0) {
    if (ReceiveDatagram(sock_, buffer, sizeof buffer) < 0) return;
  }
}

void imageadjust::ReadSettings() {
  if (sock_ == INVALID_SOCKET) return;
  Drain();
  ImageQuery query{kImageGet, static_cast<uint8_t>(SelectedChannel()), {0, 0}};
  std::vector<uint8_t> d = BuildImageQuery(query);
  // A get that could not be sent has no answer to wait for.
  const bool sent = SendCommand(d.data(), sock_, static_cast<int>(d.size()),
                                settings_.dvrAddr.c_str(), settings_.commandPort);
  uint8_t buffer[kReplyBytes];
  int got = sent && WaitReadable(sock_, kReadSeconds) > 0
                ? ReceiveDatagram(sock_, buffer, kReplyBytes)
                : -1;
  if (got > 0) {
    ReplyFault fault;
    auto reply = ParseReply(std::span<const uint8_t>(buffer, static_cast<size_t>(got)), &fault);
    if (reply && reply->command == CMD_IMAGE_ADJUST) {
      if (auto settings = ReadImageReply(reply->payload)) Show(ValuesOf(*settings));
    }
  }
  // The thread could paint nothing while it waited: everything is shown again now.
  RedrawWindow(m_hWnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void imageadjust::OnSliderReleased(int sliderId, int pos) {
  const int i = SliderIndex(sliderId);
  if (i < 0) return;
  ImageValues v = Values();
  v[i] = pos;
  v = Clamp(v);
  Show(v);
  Send(SelectedChannel(), v);
}

void imageadjust::OnPreset(int buttonId) {
  const ImagePreset* p = PresetFor(buttonId);
  if (p == nullptr) return;
  ImageValues v = Clamp(p->values);
  Show(v);
  Send(SelectedChannel(), v);
}

void imageadjust::OnCopy() {
  const ImageValues v = Values();
  for (int i = 0; i < settings_.channelCount && i < kMaxChannels; ++i) {
    if (checks_[i].GetCheck()) Send(i, v);
  }
}

void imageadjust::OnAll() {
  const bool on = checks_[kMaxChannels].GetCheck();
  for (int i = 0; i < kMaxChannels; ++i) checks_[i].SetCheck(on);
}

void imageadjust::Close(INT_PTR result) {
  CloseSocket();
  if (modal_) {
    EndDialog(m_hWnd, result);
  } else {
    DestroyWindow(m_hWnd);
  }
}

void imageadjust::CloseSocket() {
  if (sock_ != INVALID_SOCKET) closesocket(sock_);
  sock_ = INVALID_SOCKET;
}

}  // namespace device::ptz
