// The record search's actions: search, download, USB export, and closing.
#include <cstdio>
#include <cstring>

#include "RecordsResources.h"
#include "device/lang/lang_table.h"
#include "device/protocol/dvr_socket.h"
#include "device/protocol/requests.h"
#include "device/records/download_job.h"
#include "device/records/download_name.h"
#include "device/records/record_texts.h"
#include "device/records/video_search_dlg.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/handle.h"
#include "platform/kernel/message_queue.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

#ifndef DEVICE_NPAPI_BUILD
#error "DEVICE_NPAPI_BUILD must be 0 or 1"
#endif

namespace device::records {
namespace {

namespace lang = device::lang;

constexpr DWORD kCloseWaitMs = 3000;  // for cancelled downloads to end (they look every second)

std::string PickerText(HWND dialog, int id) {
  char text[64] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

std::string Field(const char (&text)[kTimeTextBytes]) {
  return std::string(text, strnlen(text, kTimeTextBytes));
}

bool SaveAsDialog(HWND owner, const std::string& name, std::string* path) {
  char file[kMaxPath] = {};
  std::snprintf(file, sizeof file, "%s", name.c_str());
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = "AVI Files(*.avi)\0*.AVI\0\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrDefExt = "avi";
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameA(&ofn)) return false;
  *path = file;
  return true;
}

}  // namespace

void CVideoSearchDlg::OnSearch() {
  RecordQuery query{};
  for (int ch = 1; ch <= 8; ++ch) {
    if (IsDlgButtonChecked(m_hWnd, ChannelCheckId(ch)) == BST_CHECKED) {
      query.channelMask |= 1 << (ch - 1);
    }
  }
  if (query.channelMask == 0) {
    Ask(kTextNoChannel, MB_OK | MB_ICONWARNING);
    return;
  }
  const int types[4] = {IDC_NORMAL, IDC_MOVE_DETECT, IDC_ALARM, IDC_MANUAL};
  for (int i = 0; i < 4; ++i) {
    if (IsDlgButtonChecked(m_hWnd, types[i]) == BST_CHECKED) query.typeMask |= 1 << i;
  }
  if (query.typeMask == 0) {
    Ask(kTextNoType, MB_OK);
    return;
  }
  const std::string start = PickerText(m_hWnd, IDC_START), end = PickerText(m_hWnd, IDC_END);
  if (start > end) {
    Ask(kTextStartAfterEnd, MB_OK);
    return;
  }
  results_.DeleteAllItems();
  {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    records_.clear();
  }
  query.storage = Storage();
  SetTimeText(query.startTime, start.c_str());
  SetTimeText(query.endTime, end.c_str());
  char step[160];
  std::snprintf(step, sizeof step,
                "record search: channels 0x%02x, types 0x%x, storage %d, %s to %s",
                static_cast<unsigned>(query.channelMask), static_cast<unsigned>(query.typeMask),
                static_cast<int>(query.storage), start.c_str(), end.c_str());
  LogStep(step);
  std::vector<uint8_t> datagram = BuildRecordQuery(query);
  const bool sent = SendCommand(datagram.data(), settings_.sock, static_cast<int>(datagram.size()),
                                settings_.dvrAddr.c_str(), settings_.commandPort);
  LogStep(sent ? "record search: query sent to " + settings_.dvrAddr
               : "record search: the query could not be sent to " + settings_.dvrAddr);
  if (!sent && !DEVICE_NPAPI_BUILD) Ask(kTextQueryFailed, MB_OK);
}

void CVideoSearchDlg::LogStep(const std::string& text) const {
  if (DEVICE_NPAPI_BUILD && settings_.stepLog) settings_.stepLog(text);
}

void CVideoSearchDlg::OnRecords(RecordReply reply) {
  {
    // One reply is the whole answer (one datagram holds it): a repeated reply replaces the
    // records instead of listing them twice.
    std::lock_guard<std::mutex> lock(recordsMutex_);
    records_ = std::move(reply.entries);
  }
  PostMessageA(m_hWnd, kMsgQueryAnswered, reply.noneFound ? static_cast<WPARAM>(-1) : 0, 0);
}

void CVideoSearchDlg::OnExportProgress(int32_t status, int32_t percent) {
  PostMessageA(m_hWnd, kMsgExportProgress, static_cast<WPARAM>(status), percent);
}

void CVideoSearchDlg::OnQueryAnswered(bool noneFound) {
  const std::string caption = lang::Text(kTextPrompt);
  if (noneFound) {
    LogStep("record search: no record found");
    MessageBoxA(m_hWnd, FoundText(0, settings_.chinese).c_str(), caption.c_str(),
                MB_OK | MB_ICONWARNING);
    return;
  }
  std::vector<RecordEntry> records;
  {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    records = records_;
  }
  results_.DeleteAllItems();
  for (size_t i = 0; i < records.size(); ++i) {
    const RecordEntry& e = records[i];
    char number[16];
    std::snprintf(number, sizeof number, "%05d", static_cast<int>(i + 1));
    const int row = results_.InsertItem(static_cast<int>(i), number);
    results_.SetItemText(row, 1, ChannelText(e.channel, settings_.chinese));
    results_.SetItemText(row, 2, RecordTypeText(e.recordType, settings_.chinese));
    results_.SetItemText(row, 3, Field(e.startTime));
    results_.SetItemText(row, 4, Field(e.endTime));
  }
  if (records.empty()) return;
  LogStep("record search: " + std::to_string(records.size()) + " record(s) found");
  MessageBoxA(m_hWnd, FoundText(static_cast<int>(records.size()), settings_.chinese).c_str(),
              caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

void CVideoSearchDlg::OnRecordDownload() {
  const int row = results_.GetSelectedRow();
  if (row < 0) return;
  const std::string state = results_.GetItemText(row, kColumnDownload);
  if (state == lang::Text(kTextDownloading)) {
    Ask(kTextBeingDownloaded, MB_OK);
    return;
  }
  if (state == lang::Text(kTextHaveDownload) && Ask(kTextReDownload, MB_YESNO) != IDYES) return;
  if (slots_->Count() >= DownloadSlots::kSlots) {
    Ask(kTextFiveDownloads, MB_OK | MB_ICONWARNING);
    return;
  }
  const std::string name = DefaultDownloadName(settings_.sipName, results_.GetItemText(row, 3),
                                               results_.GetItemText(row, 4),
                                               results_.GetItemText(row, 1), settings_.hasControl);
  std::string path;
  const bool chosen = (saveAs_ ? saveAs_ : SaveAsDialog)(m_hWnd, name, &path);
  // What the file dialog covered is drawn again at once, labels and all.
  RedrawWindow(m_hWnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RedrawWindow(results_.Header().m_hWnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  if (!chosen) return;
  if (path.empty()) path = name;
  RecordEntry entry{};
  if (!Record(row, &entry)) return;
  if (downloadList_.IsDownloading(path)) {
    Ask(kTextFileBusy, MB_OK);
    return;
  }
  DownloadJob job;
  job.slot = slots_->Reserve();
  if (job.slot < 0) {
    Ask(kTextFiveDownloads, MB_OK | MB_ICONWARNING);
    return;
  }
  job.address = settings_.dvrAddr;
  job.port = settings_.downloadPort;
  job.descriptor = DescribeRecord(entry, Storage());
  job.path = path;
  job.row = row;
  ReapThreads();
  results_.SetItemText(row, kColumnDownload, lang::Text(kTextDownloading));
  HANDLE thread = StartDownload(job, slots_, events_);
  if (thread == nullptr) {
    results_.SetItemText(row, kColumnDownload, lang::Text(kTextDownloadFailedCell));
    return;
  }
  threads_.push_back(thread);
}

void CVideoSearchDlg::OnDownloadFinished(int row, int result) {
  static constexpr int kTexts[3] = {kTextHaveDownload, kTextDownloadFailedCell, kTextCancelled};
  if (result < 0 || result > 2 || row < 0 || row >= results_.GetItemCount()) return;
  if (results_.GetItemText(row, kColumnDownload).empty()) return;
  results_.SetItemText(row, kColumnDownload, lang::Text(kTexts[result]));
}

void CVideoSearchDlg::OnShowText(int textId, int code) {
  char text[256];
  std::snprintf(text, sizeof text, lang::Text(textId), code);
  MessageBoxA(m_hWnd, text, lang::Text(kTextPrompt), MB_OK);
}

void CVideoSearchDlg::OnDownloadList() { downloadList_.Show(); }

void CVideoSearchDlg::OnUsbExport() {
  const int row = results_.GetSelectedRow();
  if (row < 0) {
    Ask(kTextSelectExport, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (exportRow_ != -1) {
    Ask(kTextExportBusy, MB_OK | MB_ICONINFORMATION);
    return;
  }
  exportRow_ = row;
  RecordEntry entry{};
  if (!Record(row, &entry)) {
    exportRow_ = -1;
    Ask(kTextRecordExpired, MB_OK | MB_ICONWARNING);
    return;
  }
  std::vector<uint8_t> datagram = BuildUsbExport(DescribeRecord(entry, Storage()));
  if (SendCommand(datagram.data(), settings_.sock, static_cast<int>(datagram.size()),
                  settings_.dvrAddr.c_str(), settings_.commandPort)) {
    results_.SetItemText(row, kColumnExport, "0%");
  } else {
    exportRow_ = -1;
    Ask(kTextExportSendFailed, MB_OK | MB_ICONWARNING);
  }
}

void CVideoSearchDlg::OnExportStatus(int status, int percent) {
  // A reply with no export under way (a late or repeated one) names no row.
  if (exportRow_ < 0) return;
  const int row = exportRow_;
  switch (status) {
    case kExportFailed:
      exportRow_ = -1;
      Ask(kTextUsbFailed, MB_OK);
      return;
    case kExportNoUsb:
    case kExportNoSpace:
    case kExportFailedToo: {
      exportRow_ = -1;
      results_.SetItemText(row, kColumnExport, "");
      const int text = status == kExportNoUsb     ? kTextUsbNotConnected
                       : status == kExportNoSpace ? kTextUsbNoSpace
                                                  : kTextUsbFailedToo;
      Ask(text, MB_OK);
      return;
    }
    default:
      break;
  }
  if (percent >= 100) {
    results_.SetItemText(row, kColumnExport, lang::Text(kTextComplete));
    exportRow_ = -1;
    return;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%d%%", percent);
  results_.SetItemText(row, kColumnExport, text);
}

void CVideoSearchDlg::ReapThreads() {
  std::vector<HANDLE> running;
  for (HANDLE t : threads_) {
    if (WaitForSingleObject(t, 0) == WAIT_OBJECT_0) {
      CloseHandle(t);
    } else {
      running.push_back(t);
    }
  }
  threads_ = std::move(running);
}

bool CVideoSearchDlg::WaitForDownloads(DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  for (HANDLE t : threads_) {
    const DWORD now = GetTickCount();
    WaitForSingleObject(t, now < until ? until - now : 0);
  }
  ReapThreads();
  return threads_.empty();
}

bool CVideoSearchDlg::OnClose() {
  if (exportRow_ != -1 && Ask(kTextCloseExport, MB_YESNO | MB_ICONWARNING) != IDYES) return false;
  if (slots_->Count() > 0) {
    if (Ask(kTextCloseDownloads, MB_YESNO) != IDYES) return false;
    slots_->CancelAll();
    Sleep(100);
    // Each thread sees its flag within a second; its last word (the row's "Cancelled") is
    // read before the dialog goes.
    WaitForDownloads(kCloseWaitMs);
    MSG msg;
    while (PeekMessageA(&msg, m_hWnd, kMsgDownloadFinished, kMsgDownloadFinished, PM_REMOVE)) {
      OnDownloadFinished(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam));
    }
  }
  exportRow_ = -1;
  End();
  return true;
}

void CVideoSearchDlg::End() {
  downloadList_.Destroy();
  if (modal_) {
    EndDialog(m_hWnd, IDCANCEL);
  } else {
    // Kept (hidden) for its owner to read; the destructor destroys it.
    ShowWindow(m_hWnd, SW_HIDE);
    Unregister();
  }
}

}  // namespace device::records
