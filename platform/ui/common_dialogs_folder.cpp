// The folder browser: the folders of the real file system, entered by double click, chosen
// with OK; the path field takes a typed path too.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/prompt/prompt.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/common_dialogs_listing.h"
#include "platform/ui/dialog_resource.h"
#include "platform/ui/ui.h"

namespace platform::ui::cd {
namespace {

constexpr int kTitleLabel = 1092;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
const DialogItemTemplate kItems[] = {
    {"STATIC", "", kTitleLabel, kChild, 0, 7, 7, 246, 16},
    {"LISTBOX", "", kCdList, kChild | WS_BORDER | WS_TABSTOP | LBS_NOTIFY, 0, 7, 26, 246, 100},
    {"STATIC", "Folder:", -1, kChild, 0, 7, 134, 30, 8},
    {"EDIT", "", kCdPathField, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 40, 132, 213,
     13},
    {"BUTTON", "OK", IDOK, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 150, 150, 50, 14},
    {"BUTTON", "Cancel", IDCANCEL, kChild | WS_TABSTOP, 0, 203, 150, 50, 14},
};
const DialogTemplate kTemplate{0,
                               nullptr,
                               DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                               0,
                               0,
                               0,
                               260,
                               171,
                               "Browse for Folder",
                               nullptr,
                               0,
                               kItems,
                               static_cast<int>(sizeof(kItems) / sizeof(kItems[0]))};

struct FolderDialog {
  BROWSEINFOA* info;
  std::string folder;
  std::vector<Entry> entries;
  std::string chosen;
};

FolderDialog* Of(HWND dialog) {
  return reinterpret_cast<FolderDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void Tell(HWND dialog, FolderDialog* d, UINT what, const std::string& path) {
  if (d->info->lpfn) {
    d->info->lpfn(dialog, what, reinterpret_cast<LPARAM>(path.c_str()), d->info->lParam);
  }
}

void Navigate(HWND dialog, FolderDialog* d, const std::string& folder) {
  d->folder = folder;
  SetDlgItemTextA(dialog, kCdPathField, folder.c_str());
  std::vector<Entry> found;
  List(folder, nullptr, &found);
  d->entries.clear();
  if (folder != "/") d->entries.push_back(Entry{"..", true});
  d->entries.insert(d->entries.end(), found.begin(), found.end());
  HWND list = GetDlgItem(dialog, kCdList);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const Entry& e : d->entries) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.name.c_str()));
  }
  Tell(dialog, d, BFFM_SELCHANGED, folder);
}

void Accept(HWND dialog, FolderDialog* d) {
  char typed[4096];
  GetDlgItemTextA(dialog, kCdPathField, typed, sizeof(typed));
  std::string path = Join(d->folder, typed);
  if (!IsFolder(path)) {
    MessageBoxA(dialog, (path + "\nThis is not a folder.").c_str(), "Browse for Folder",
                MB_OK | MB_ICONWARNING);
    return;
  }
  d->chosen = path;
  EndDialog(dialog, IDOK);
}

void ListCommand(HWND dialog, FolderDialog* d, WORD code) {
  auto row = static_cast<size_t>(SendDlgItemMessageA(dialog, kCdList, LB_GETCURSEL, 0, 0));
  if (row >= d->entries.size()) return;
  std::string path = Join(d->folder, d->entries[row].name);
  if (code == LBN_SELCHANGE) {
    SetDlgItemTextA(dialog, kCdPathField, path.c_str());
    Tell(dialog, d, BFFM_SELCHANGED, path);
  } else if (code == LBN_DBLCLK) {
    Navigate(dialog, d, path);
  }
}

INT_PTR FolderProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    auto* d = reinterpret_cast<FolderDialog*>(lparam);
    SetDlgItemTextA(dialog, kTitleLabel, d->info->lpszTitle ? d->info->lpszTitle : "");
    std::string start =
        d->info->pidlRoot ? reinterpret_cast<const char*>(d->info->pidlRoot) : CurrentFolder();
    Navigate(dialog, d, IsFolder(start) ? start : CurrentFolder());
    Tell(dialog, d, BFFM_INITIALIZED, d->folder);
    return TRUE;
  }
  FolderDialog* d = Of(dialog);
  if (d == nullptr) return FALSE;
  if (message == BFFM_SETSELECTIONA && wparam && lparam) {
    std::string path = Join(d->folder, reinterpret_cast<const char*>(lparam));
    if (IsFolder(path)) Navigate(dialog, d, path);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wparam)) {
    case IDOK:
      Accept(dialog, d);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case kCdList:
      ListCommand(dialog, d, HIWORD(wparam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace
}  // namespace platform::ui::cd

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info) {
  if (info == nullptr) return nullptr;
  platform::ui::cd::FolderDialog d{info, "", {}, ""};
  INT_PTR result =
      DialogBoxIndirectParamA(nullptr, &platform::ui::cd::kTemplate, info->hwndOwner,
                              platform::ui::cd::FolderProc, reinterpret_cast<LPARAM>(&d));
  if (result != IDOK) return nullptr;
  if (info->pszDisplayName != nullptr) {
    size_t name = 0, extension = 0;
    platform::ui::cd::NameOffsets(d.chosen, &name, &extension);
    std::string shown = d.chosen == "/" ? "/" : d.chosen.substr(name);
    shown = shown.substr(0, kMaxPath - 1);
    std::memcpy(info->pszDisplayName, shown.c_str(), shown.size() + 1);
  }
  // The item list is the path itself, zero-terminated, in memory of its own.
  char* list = static_cast<char*>(std::malloc(d.chosen.size() + 1));
  if (list == nullptr) return nullptr;
  std::memcpy(list, d.chosen.c_str(), d.chosen.size() + 1);
  return reinterpret_cast<LPITEMIDLIST>(list);
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path) {
  if (list == nullptr || path == nullptr) return FALSE;
  const char* p = reinterpret_cast<const char*>(list);
  size_t n = std::strlen(p);
  if (n + 1 > static_cast<size_t>(kMaxPath)) {
    path[0] = '\0';
    return FALSE;
  }
  std::memcpy(path, p, n + 1);
  return TRUE;
}

void ILFree(LPITEMIDLIST list) { std::free(list); }
