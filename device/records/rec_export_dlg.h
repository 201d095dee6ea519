#pragma once
// CRecExportDlg: the download list (dialog 176), a modeless dialog the record search owns and
// shows on demand. One row per download that got its file under way: the path and the
// progress ("0", "%d%%", "Failed"); its item data is the downloading thread's id. A
// double-click asks to cancel a running download ("Cancel the download?") or to delete a
// finished one ("Sure to delete?"); Yes clears that thread's keep-running flag and deletes the
// row. "Return" hides the dialog.
//
// Threads: the window thread only. Download threads reach it by posted messages:
// kMsgDownloadRow (wParam the thread id; the path waits in the events' table) and
// kMsgDownloadProgress (wParam the thread id, lParam a percentage, -1 failed, -2 delete).

#include <memory>
#include <string>

#include "device/records/download_slots.h"
#include "device/widgets/bitmap_btn.h"
#include "device/widgets/color_static.h"
#include "device/widgets/ys_list_ctrl.h"
#include "platform/ui/controls_common.h"
#include "platform/ui/ui_types.h"

namespace device::records {

class DownloadPaths;

class CRecExportDlg {
 public:
  static constexpr int kDialogId = 176;
  static constexpr UINT kMsgDownloadProgress = 1425;
  static constexpr UINT kMsgDownloadRow = 1426;

  CRecExportDlg(std::shared_ptr<DownloadSlots> slots, std::shared_ptr<DownloadPaths> paths);
  ~CRecExportDlg();
  CRecExportDlg(const CRecExportDlg&) = delete;
  CRecExportDlg& operator=(const CRecExportDlg&) = delete;

  // Creates it hidden, owned by `owner`. False when it cannot be made.
  bool Create(HWND owner);
  void Destroy();
  // Centres it on its owner and shows it.
  void Show();

  HWND m_hWnd = nullptr;
  widgets::CYSListCtrl& list() { return list_; }
  // The row of thread `id`, -1 when none.
  int FindRow(DWORD id) const;
  // Whether a download to `path` is under way (its progress text is shorter than 4
  // characters: "0" to "99%").
  bool IsDownloading(const std::string& path) const;
  // The double-click on `row`, as the list reports it.
  void OnDoubleClick(int row);

 private:
  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  void OnRow(DWORD id);
  void OnProgress(DWORD id, int percent);

  std::shared_ptr<DownloadSlots> slots_;
  std::shared_ptr<DownloadPaths> paths_;
  HBRUSH background_ = nullptr;
  widgets::CYSListCtrl list_;
  widgets::CColorStatic hint_;
  widgets::CBitmapBtn return_;
};

}  // namespace device::records
