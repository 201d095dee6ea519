#include "device/panel/cap_dir_dlg.h"

#include "PanelResources.h"
#include "device/lang/lang_table.h"
#include "device/widgets/widget_theme.h"
#include "platform/gdi/gdi.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

namespace device::panel {
namespace {

namespace lang = device::lang;

constexpr int kTextSelectDir = 647;
constexpr int kTextOk = 648;
constexpr int kTextSettingFailed = 650;
constexpr int kTextPrompt = 604;
constexpr int kPathBytes = 261;

}  // namespace

INT_PTR CCapDirDlg::DoModal(HWND owner) {
  INT_PTR result = DialogBoxParamA(PanelResources(), MAKEINTRESOURCEA(IDD_CAP_DIR), owner,
                                   &CCapDirDlg::DialogProc, reinterpret_cast<LPARAM>(this));
  DeleteObject(background_);
  background_ = nullptr;
  return result;
}

INT_PTR CCapDirDlg::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    auto* self = reinterpret_cast<CCapDirDlg*>(lparam);
    self->m_hWnd = dialog;
    self->OnInitDialog();
    return TRUE;
  }
  auto* self = reinterpret_cast<CCapDirDlg*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(self->background_);
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wparam)) {
        case IDC_BROWSE:
          self->OnBrowse();
          return TRUE;
        case IDOK:
          self->OnOk();
          return TRUE;
        case IDC_CAP_CANCEL:
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

void CCapDirDlg::OnInitDialog() {
  background_ = CreateSolidBrush(widgets::kDialogBackground);
  SetWindowTextA(m_hWnd, lang::Text(IDD_CAP_DIR));
  std::string path = host_ != nullptr ? host_->CapturePath() : std::string();
  SetDlgItemTextA(m_hWnd, IDC_CAP_PATH, path.c_str());
  const int ids[3] = {IDC_BROWSE, IDOK, IDC_CAP_CANCEL};
  const int texts[3] = {IDC_BROWSE, kTextOk, IDC_CAP_CANCEL};
  for (int i = 0; i < 3; ++i) {
    buttons_[i].SubclassDlgItem(ids[i], m_hWnd);
    buttons_[i].LoadBitmaps(1286, 1287, 1288, 1288);
    buttons_[i].SetCaption(lang::Text(texts[i]));
  }
}

void CCapDirDlg::OnBrowse() {
  char name[kPathBytes] = {};
  BROWSEINFOA info{};
  info.hwndOwner = m_hWnd;
  info.pszDisplayName = name;
  info.lpszTitle = lang::Text(kTextSelectDir);
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  if (chosen == nullptr) return;
  char path[kPathBytes] = {};
  if (SHGetPathFromIDListA(chosen, path)) {
    std::string dir = path;
    if (dir.empty() || dir.back() != '/') dir += '/';
    SetDlgItemTextA(m_hWnd, IDC_CAP_PATH, dir.c_str());
  }
  ILFree(chosen);
}

void CCapDirDlg::OnOk() {
  char path[kPathBytes] = {};
  GetDlgItemTextA(m_hWnd, IDC_CAP_PATH, path, sizeof path);
  // A path the control could not keep is reported like a missing control, not taken as done.
  if (host_ == nullptr || !host_->ChangeCaptureDir(path)) {
    MessageBoxA(m_hWnd, lang::Text(kTextSettingFailed), lang::Text(kTextPrompt), MB_OK);
  }
  EndDialog(m_hWnd, IDOK);
}

}  // namespace device::panel
