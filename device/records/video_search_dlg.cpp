#include "device/records/video_search_dlg.h"

#include <cstdio>
#include <cstring>

#include "RecordsResources.h"
#include "device/lang/lang_table.h"
#include "device/playback/play_back_dlg.h"
#include "device/records/download_job.h"
#include "device/records/download_paths.h"
#include "device/records/record_texts.h"
#include "device/widgets/dialog_binding.h"
#include "device/widgets/widget_theme.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/handle.h"
#include "platform/prompt/prompt.h"
#include "platform/ui/commctrl.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui.h"

namespace device::records {
namespace {

namespace lang = device::lang;

constexpr int kChannelIds[8] = {IDC_CH1, IDC_CH2, IDC_CH3, IDC_CH4,
                                IDC_CH5, IDC_CH6, IDC_CH7, IDC_CH8};
constexpr int kTypeIds[4] = {IDC_NORMAL, IDC_MOVE_DETECT, IDC_ALARM, IDC_MANUAL};
constexpr int kLabelIds[6] = {IDC_CHANNEL_LABEL, IDC_TYPE_LABEL,    IDC_START_LABEL,
                              IDC_END_LABEL,     IDC_STORAGE_LABEL, IDC_PLAY_HINT};
constexpr int kButtonIds[5] = {IDC_SEARCH, IDC_RECORD_DOWNLOAD, IDC_DOWNLOAD_LIST, IDC_USB_EXPORT,
                               IDC_EXPORT_LIST};
constexpr int kFirstChannelText = 191;  // "channel1" .. "channel8"
constexpr int kTextHardDisk = 627;
constexpr int kTextSd = 628;
constexpr char kPickerFormat[] = "yyyy-MM-dd HH:mm:ss";

// The open record search, for the panel's receive thread. The lock is held while the thread
// hands a reply over, so the dialog cannot go away in the middle of it.
std::mutex g_openMutex;
CVideoSearchDlg* g_open = nullptr;  // guarded by g_openMutex

}  // namespace

// What download threads tell the dialogs: posted messages with small numbers only.
class DialogEvents : public DownloadEvents {
 public:
  DialogEvents(HWND search, HWND list, std::shared_ptr<DownloadPaths> paths)
      : search_(search), list_(list), paths_(std::move(paths)) {}
  void ListRow(DWORD thread, const std::string& path) override {
    paths_->Put(thread, path);
    PostMessageA(list_, CRecExportDlg::kMsgDownloadRow, thread, 0);
  }
  void Progress(DWORD thread, int percent) override {
    PostMessageA(list_, CRecExportDlg::kMsgDownloadProgress, thread, percent);
  }
  void Finished(int row, int result) override {
    PostMessageA(search_, CVideoSearchDlg::kMsgDownloadFinished, static_cast<WPARAM>(row), result);
  }
  void Show(int textId, int code) override {
    PostMessageA(search_, CVideoSearchDlg::kMsgShowText, static_cast<WPARAM>(textId), code);
  }

 private:
  HWND search_, list_;
  std::shared_ptr<DownloadPaths> paths_;
};

int ChannelCheckId(int channel) {
  return channel >= 1 && channel <= 8 ? kChannelIds[channel - 1] : 0;
}

CVideoSearchDlg::CVideoSearchDlg(SearchSettings settings)
    : settings_(std::move(settings)),
      slots_(std::make_shared<DownloadSlots>()),
      paths_(std::make_shared<DownloadPaths>()),
      downloadList_(slots_, paths_) {}

void CVideoSearchDlg::Unregister() {
  std::lock_guard<std::mutex> lock(g_openMutex);
  if (g_open == this) g_open = nullptr;
}

CVideoSearchDlg::~CVideoSearchDlg() {
  Unregister();
  // Threads left running keep their slots and events; the window handles they post to are
  // gone, so their messages fall on nothing.
  slots_->CancelAll();
  for (HANDLE t : threads_) CloseHandle(t);
  downloadList_.Destroy();
  widgets::DestroyBoundDialog(m_hWnd);
  if (background_ != nullptr) DeleteObject(background_);
}

INT_PTR CVideoSearchDlg::DoModal(HWND owner) {
  InitCommonControls();  // the list views and date-time pickers
  modal_ = true;
  owner_ = owner;
  return DialogBoxParamA(RecordsResources(), MAKEINTRESOURCEA(kDialogId), owner,
                         &CVideoSearchDlg::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CVideoSearchDlg::Create(HWND owner) {
  InitCommonControls();
  modal_ = false;
  owner_ = owner;
  HWND window = CreateDialogParamA(RecordsResources(), MAKEINTRESOURCEA(kDialogId), owner,
                                   &CVideoSearchDlg::DialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOW);
  return true;
}

INT_PTR CVideoSearchDlg::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return widgets::DispatchDialog(dialog, message, wparam, lparam, &CVideoSearchDlg::OnInitDialog,
                                 &CVideoSearchDlg::OnMessage);
}

INT_PTR CVideoSearchDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (widgets::ReflectToChild(m_hWnd, message, wparam, lparam)) return TRUE;
  INT_PTR answer = 0;
  if (widgets::AnswerDarkColors(message, wparam, background_, &answer)) return answer;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      OnCommand(LOWORD(wparam));
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->idFrom == IDC_RESULTS && header->code == NM_DBLCLK) {
        const int row = reinterpret_cast<const NMITEMACTIVATE*>(lparam)->iItem;
        RecordEntry record{};
        // The control is found above the window the search was opened over (the panel).
        if (Record(row, &record))
          playback::OpenPlayback(m_hWnd, playback::FindPlaybackHost(owner_), settings_.dvrAddr,
                                 Storage(), record);
        return TRUE;
      }
      return FALSE;
    }
    case kMsgQueryAnswered:
      OnQueryAnswered(static_cast<int>(wparam) == -1);
      return TRUE;
    case kMsgExportProgress:
      OnExportStatus(static_cast<int>(wparam), static_cast<int>(lparam));
      return TRUE;
    case kMsgDownloadFinished:
      OnDownloadFinished(static_cast<int>(wparam), static_cast<int>(lparam));
      return TRUE;
    case kMsgShowText:
      OnShowText(static_cast<int>(wparam), static_cast<int>(lparam));
      return TRUE;
    case WM_DESTROY:
      Unregister();
      return FALSE;
    default:
      return FALSE;
  }
}

void CVideoSearchDlg::OnCommand(int id) {
  switch (id) {
    case IDC_SEARCH:
      return OnSearch();
    case IDC_RECORD_DOWNLOAD:
      return OnRecordDownload();
    case IDC_DOWNLOAD_LIST:
      return OnDownloadList();
    case IDC_USB_EXPORT:
      return OnUsbExport();
    case IDCANCEL:
      OnClose();
      return;
    default:
      return;
  }
}

void CVideoSearchDlg::OnInitDialog() {
  background_ = CreateSolidBrush(widgets::kDialogBackground);
  SetWindowTextA(m_hWnd, lang::Text(kDialogId));
  SetUpChecks();
  SetUpPickers();
  SetUpButtons();
  SetUpResults();
  downloadList_.Create(m_hWnd);
  events_ = std::make_shared<DialogEvents>(m_hWnd, downloadList_.m_hWnd, paths_);
  std::lock_guard<std::mutex> lock(g_openMutex);
  g_open = this;
}

void CVideoSearchDlg::SetUpChecks() {
  for (int i = 0; i < 12; ++i) {
    const int id = i < 8 ? kChannelIds[i] : kTypeIds[i - 8];
    checks_[i].SubclassDlgItem(id, m_hWnd);
    checks_[i].SetText(lang::Text(i < 8 ? kFirstChannelText + i : id));
    if (i < 8 && i >= settings_.channelCount) ShowWindow(checks_[i].m_hWnd, SW_HIDE);
  }
  for (int i = 0; i < 6; ++i) {
    labels_[i].SubclassDlgItem(kLabelIds[i], m_hWnd);
    labels_[i].SetTextColor(widgets::kLabelText);
    labels_[i].SetTransparent(true);
    labels_[i].SetText(lang::Text(kLabelIds[i]));
  }
}

void CVideoSearchDlg::SetUpPickers() {
  SYSTEMTIME today{};
  GetLocalTime(&today);
  today.wHour = today.wMinute = today.wSecond = today.wMilliseconds = 0;
  SYSTEMTIME last = today;
  last.wHour = 23;
  last.wMinute = last.wSecond = 59;
  const SYSTEMTIME* times[2] = {&today, &last};
  const int ids[2] = {IDC_START, IDC_END};
  for (int i = 0; i < 2; ++i) {
    HWND picker = GetDlgItem(m_hWnd, ids[i]);
    SendMessageA(picker, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>(kPickerFormat));
    SendMessageA(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(times[i]));
  }
  HWND storage = GetDlgItem(m_hWnd, IDC_STORAGE);
  SendMessageA(storage, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lang::Text(kTextHardDisk)));
  SendMessageA(storage, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lang::Text(kTextSd)));
  SendMessageA(storage, CB_SETCURSEL, kStorageHardDisk, 0);
}

void CVideoSearchDlg::SetUpButtons() {
  for (int i = 0; i < 5; ++i) {
    buttons_[i].SubclassDlgItem(kButtonIds[i], m_hWnd);
    buttons_[i].LoadBitmaps(1286, 1287, 1288, 1288);
    buttons_[i].SetCaption(lang::Text(kButtonIds[i]));
  }
  ShowWindow(buttons_[4].m_hWnd, SW_HIDE);  // "export list": no action of its own
}

void CVideoSearchDlg::SetUpResults() {
  HWND list = GetDlgItem(m_hWnd, IDC_RESULTS);
  results_.Attach(list);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  results_.SetBkColor(widgets::kListBackground);
  results_.SetFontHeight(widgets::kListFontHeight);
  results_.Header().SetBkColor(widgets::kDialogBackground);
  results_.Header().SetTextColor(widgets::kLabelText);
  results_.Header().SetFontHeight(widgets::kHeaderFontHeight);
  for (int c = 0; c < kResultColumns; ++c) {
    results_.InsertColumn(c, ColumnTitle(c, settings_.chinese), kResultColumnsTable[c].width,
                          LVCFMT_CENTER);
  }
}

void CVideoSearchDlg::SelectRow(int row) {
  HWND list = results_.m_hWnd;
  LVITEMA clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  if (row < 0) return;
  LVITEMA set{};
  set.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  set.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&set));
}

size_t CVideoSearchDlg::recordCount() const {
  std::lock_guard<std::mutex> lock(recordsMutex_);
  return records_.size();
}

bool CVideoSearchDlg::Record(int row, RecordEntry* entry) const {
  std::lock_guard<std::mutex> lock(recordsMutex_);
  if (row < 0 || static_cast<size_t>(row) >= records_.size()) return false;
  *entry = records_[static_cast<size_t>(row)];
  return true;
}

int CVideoSearchDlg::Storage() const {
  LRESULT s = SendDlgItemMessageA(m_hWnd, IDC_STORAGE, CB_GETCURSEL, 0, 0);
  return s == kStorageSdCard ? kStorageSdCard : kStorageHardDisk;
}

int CVideoSearchDlg::Ask(int textId, UINT type) {
  return MessageBoxA(m_hWnd, lang::Text(textId), lang::Text(kTextPrompt), type);
}

INT_PTR OpenRecordSearch(HWND owner, const SearchSettings& settings) {
  {
    std::lock_guard<std::mutex> lock(g_openMutex);
    if (g_open != nullptr) {
      ShowWindow(g_open->m_hWnd, SW_SHOW);
      SetFocus(g_open->m_hWnd);
      return 0;
    }
  }
  CVideoSearchDlg dialog(settings);
  return dialog.DoModal(owner);
}

void ForwardRecords(RecordReply reply) {
  std::lock_guard<std::mutex> lock(g_openMutex);
  if (g_open != nullptr) g_open->OnRecords(std::move(reply));
}

void ForwardExportProgress(int32_t status, int32_t percent) {
  std::lock_guard<std::mutex> lock(g_openMutex);
  if (g_open != nullptr) g_open->OnExportProgress(status, percent);
}

bool RecordSearchOpen() {
  std::lock_guard<std::mutex> lock(g_openMutex);
  return g_open != nullptr;
}

}  // namespace device::records
