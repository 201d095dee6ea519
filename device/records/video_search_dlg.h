#pragma once
// CVideoSearchDlg: the record search (dialog 170). The person picks channels, record types, a
// time range and the storage, and searches the DVR's recordings (command 18); a listed
// recording can then be downloaded to an AVI file over TCP (at most five at once, shown in the
// download list, CRecExportDlg) or exported to the USB device on the DVR (command 46, one at a
// time, its progress in the row). Every text comes from the language table, every message box
// has the caption "prompt".
//
// Threads: the dialog lives on the window thread. The panel's receive thread hands it the
// replies through OnRecords and OnExportProgress (which store and post, never touch windows);
// download threads post to it and to the download list. The download slots and the paths
// table are shared with the threads, which keep them alive until they end.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/protocol/messages.h"
#include "device/protocol/replies.h"
#include "device/records/download_slots.h"
#include "device/records/rec_export_dlg.h"
#include "device/widgets/bitmap_btn.h"
#include "device/widgets/check_btn.h"
#include "device/widgets/color_static.h"
#include "device/widgets/ys_list_ctrl.h"
#include "platform/net/net.h"
#include "platform/ui/controls_common.h"
#include "platform/ui/ui_types.h"

namespace device::records {

class DownloadPaths;
class DownloadEvents;

// What the panel hands the dialog when it opens it.
struct SearchSettings {
  std::string dvrAddr;
  SOCKET sock = INVALID_SOCKET;  // the panel's; its receive thread reads the replies
  int channelCount = 8;          // 4: the boxes of channels 5 to 8 are hidden
  bool hasControl = true;        // whether a control is there to name the device
  std::string sipName;           // the control's device name, for the default file name
  bool chinese = false;          // the control's Lang is not "en"
  int commandPort = kCommandPort;
  int downloadPort = kDownloadPort;
  // Where the plug-in build writes the steps of a search (null: nowhere).
  std::function<void(const std::string&)> stepLog;
};

class CVideoSearchDlg {
 public:
  static constexpr int kDialogId = 170;
  static constexpr UINT kMsgQueryAnswered = 1330;     // wParam 0 stored, -1 none found
  static constexpr UINT kMsgExportProgress = 1331;    // wParam status, lParam percent
  static constexpr UINT kMsgDownloadFinished = 1332;  // wParam row, lParam DownloadResult
  static constexpr UINT kMsgShowText = 1333;          // wParam text ID, lParam the code of "%d"

  // Chooses where a download goes: true with `*path` set, false when the person cancels.
  using SaveAs = std::function<bool(HWND owner, const std::string& name, std::string* path)>;

  explicit CVideoSearchDlg(SearchSettings settings);
  ~CVideoSearchDlg();
  CVideoSearchDlg(const CVideoSearchDlg&) = delete;
  CVideoSearchDlg& operator=(const CVideoSearchDlg&) = delete;

  // Runs it modally over `owner`; the dialog's result, -1 when it cannot be made.
  INT_PTR DoModal(HWND owner);
  // Creates it modeless and shown (tests and tools drive it so). Closing destroys it.
  bool Create(HWND owner);

  // The receive thread's side: the records of a query reply (stored, then the dialog is told
  // by kMsgQueryAnswered), and an export's progress (posted as kMsgExportProgress).
  void OnRecords(RecordReply reply);
  void OnExportProgress(int32_t status, int32_t percent);

  // What the buttons do.
  void OnSearch();
  // A step of the search for the plug-in's log (only the plug-in build keeps one).
  void LogStep(const std::string& text) const;
  void OnRecordDownload();
  void OnUsbExport();
  void OnDownloadList();
  // Closing with an export or downloads under way asks first; false when the person keeps
  // the dialog. With Yes to the downloads, every one is cancelled and waited for (a few
  // seconds at most), so each row reads "Cancelled" before the dialog goes.
  bool OnClose();

  HWND m_hWnd = nullptr;
  widgets::CYSListCtrl& results() { return results_; }
  CRecExportDlg& downloadList() { return downloadList_; }
  int exportRow() const { return exportRow_; }
  int runningDownloads() const { return slots_->Count(); }
  size_t recordCount() const;
  void SetSaveAs(SaveAs chooser) { saveAs_ = std::move(chooser); }
  // Selects a result row (-1: none), as a click does.
  void SelectRow(int row);
  // Waits up to `ms` for every download thread to end; true when none is left.
  bool WaitForDownloads(DWORD ms);

 private:
  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnInitDialog();
  void SetUpChecks();
  void SetUpPickers();
  void SetUpButtons();
  void SetUpResults();
  void OnCommand(int id);
  void OnQueryAnswered(bool noneFound);
  void OnExportStatus(int status, int percent);
  void OnDownloadFinished(int row, int result);
  void OnShowText(int textId, int code);
  bool Record(int row, RecordEntry* entry) const;
  int Storage() const;
  int Ask(int textId, UINT type);
  void End();
  void Unregister();
  void ReapThreads();

  SearchSettings settings_;
  bool modal_ = false;
  HWND owner_ = nullptr;
  HBRUSH background_ = nullptr;
  widgets::CCheckBtn checks_[12];  // channels 1 to 8, then the four types
  widgets::CColorStatic labels_[6];
  widgets::CBitmapBtn buttons_[5];
  widgets::CYSListCtrl results_;
  mutable std::mutex recordsMutex_;
  std::vector<RecordEntry> records_;  // guarded by recordsMutex_; reply order
  int exportRow_ = -1;
  std::shared_ptr<DownloadSlots> slots_;
  std::shared_ptr<DownloadPaths> paths_;
  std::shared_ptr<DownloadEvents> events_;
  CRecExportDlg downloadList_;
  std::vector<HANDLE> threads_;
  SaveAs saveAs_;
};

// The record search opened from the control panel: modal over `owner`; while one is open a
// second call only brings it forward. 0 when it was only activated.
INT_PTR OpenRecordSearch(HWND owner, const SearchSettings& settings);
// The panel's receive thread: replies for the open record search; dropped when none is open.
void ForwardRecords(RecordReply reply);
void ForwardExportProgress(int32_t status, int32_t percent);
bool RecordSearchOpen();

// The ID of channel n's check box (1 to 8), in the dialog's order.
int ChannelCheckId(int channel);

}  // namespace device::records
