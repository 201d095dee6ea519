#include "device/records/rec_export_dlg.h"

#include <cstdio>

#include "RecordsResources.h"
#include "device/lang/lang_table.h"
#include "device/records/download_paths.h"
#include "device/widgets/dialog_binding.h"
#include "device/widgets/widget_theme.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

namespace device::records {
namespace {

namespace lang = device::lang;

constexpr int kTextPath = 629;
constexpr int kTextProgress = 630;
constexpr int kTextFailed = 638;
constexpr int kTextSureDelete = 639;
constexpr int kTextCancelDownload = 640;
constexpr int kTextPrompt = 604;

}  // namespace

CRecExportDlg::CRecExportDlg(std::shared_ptr<DownloadSlots> slots,
                             std::shared_ptr<DownloadPaths> paths)
    : slots_(std::move(slots)), paths_(std::move(paths)) {}

CRecExportDlg::~CRecExportDlg() { Destroy(); }

bool CRecExportDlg::Create(HWND owner) {
  HWND window = CreateDialogParamA(RecordsResources(), MAKEINTRESOURCEA(kDialogId), owner,
                                   &CRecExportDlg::DialogProc, reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

void CRecExportDlg::Destroy() {
  HWND window = m_hWnd;
  m_hWnd = nullptr;
  widgets::DestroyBoundDialog(window);
  if (background_ != nullptr) DeleteObject(background_);
  background_ = nullptr;
}

void CRecExportDlg::Show() {
  if (m_hWnd == nullptr) return;
  platform::ui::CenterWindow(m_hWnd, GetParent(m_hWnd));
  ShowWindow(m_hWnd, SW_SHOW);
}

INT_PTR CRecExportDlg::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return widgets::DispatchDialog(dialog, message, wparam, lparam, &CRecExportDlg::OnInitDialog,
                                 &CRecExportDlg::OnMessage);
}

INT_PTR CRecExportDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (widgets::ReflectToChild(m_hWnd, message, wparam, lparam)) return TRUE;
  INT_PTR answer = 0;
  if (widgets::AnswerDarkColors(message, wparam, background_, &answer)) return answer;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_RETURN || LOWORD(wparam) == IDCANCEL) {
        ShowWindow(m_hWnd, SW_HIDE);
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->idFrom == IDC_DOWNLOADS && header->code == NM_DBLCLK) {
        OnDoubleClick(reinterpret_cast<const NMITEMACTIVATE*>(lparam)->iItem);
        return TRUE;
      }
      return FALSE;
    }
    case kMsgDownloadRow:
      OnRow(static_cast<DWORD>(wparam));
      return TRUE;
    case kMsgDownloadProgress:
      OnProgress(static_cast<DWORD>(wparam), static_cast<int>(lparam));
      return TRUE;
    default:
      return FALSE;
  }
}

void CRecExportDlg::OnInitDialog() {
  background_ = CreateSolidBrush(widgets::kDialogBackground);
  SetWindowTextA(m_hWnd, lang::Text(kDialogId));
  HWND list = GetDlgItem(m_hWnd, IDC_DOWNLOADS);
  list_.Attach(list);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  list_.SetBkColor(widgets::kListBackground);
  list_.SetFontHeight(widgets::kListFontHeight);
  list_.Header().SetBkColor(widgets::kDialogBackground);
  list_.Header().SetTextColor(widgets::kLabelText);
  list_.Header().SetFontHeight(widgets::kHeaderFontHeight);
  list_.InsertColumn(0, lang::Text(kTextPath), 300, LVCFMT_LEFT);
  list_.InsertColumn(1, lang::Text(kTextProgress), 120, LVCFMT_CENTER);
  hint_.SubclassDlgItem(IDC_DOWNLOAD_HINT, m_hWnd);
  hint_.SetTextColor(widgets::kLabelText);
  hint_.SetTransparent(true);
  hint_.SetText(lang::Text(IDC_DOWNLOAD_HINT));
  return_.SubclassDlgItem(IDC_RETURN, m_hWnd);
  return_.LoadBitmaps(1286, 1287, 1288, 1288);
  return_.SetCaption(lang::Text(IDC_RETURN));
}

int CRecExportDlg::FindRow(DWORD id) const {
  for (int row = 0; row < list_.GetItemCount(); ++row) {
    if (static_cast<DWORD>(list_.GetItemData(row)) == id) return row;
  }
  return -1;
}

bool CRecExportDlg::IsDownloading(const std::string& path) const {
  for (int row = 0; row < list_.GetItemCount(); ++row) {
    if (list_.GetItemText(row, 0) == path && list_.GetItemText(row, 1).size() < 4) return true;
  }
  return false;
}

void CRecExportDlg::OnRow(DWORD id) {
  const std::string path = paths_->Take(id);
  if (path.empty() || FindRow(id) >= 0) return;
  int row = list_.InsertItem(list_.GetItemCount(), path, static_cast<LPARAM>(id));
  list_.SetItemText(row, 1, "0");
}

void CRecExportDlg::OnProgress(DWORD id, int percent) {
  const int row = FindRow(id);
  if (row < 0) return;
  if (percent > 0) {
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", percent);
    list_.SetItemText(row, 1, text);
  } else if (percent == -1) {
    list_.SetItemText(row, 1, lang::Text(kTextFailed));
  } else if (percent == -2) {
    list_.DeleteItem(row);
  }
}

void CRecExportDlg::OnDoubleClick(int row) {
  if (row < 0 || row >= list_.GetItemCount()) return;
  const std::string progress = list_.GetItemText(row, 1);
  const bool finished =
      progress.find("Complete") != std::string::npos || progress.find("100") != std::string::npos;
  const int text = finished ? kTextSureDelete : kTextCancelDownload;
  if (MessageBoxA(m_hWnd, lang::Text(text), lang::Text(kTextPrompt), MB_YESNO | MB_ICONQUESTION) !=
      IDYES) {
    return;
  }
  slots_->Cancel(static_cast<DWORD>(list_.GetItemData(row)));
  list_.DeleteItem(row);
}

}  // namespace device::records
