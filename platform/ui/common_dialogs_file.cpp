// The save-as and open file dialogs.
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/prompt/prompt.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/common_dialogs_listing.h"
#include "platform/ui/dialog_resource.h"
#include "platform/ui/ui.h"

namespace platform::ui::cd {

thread_local DWORD t_error = 0;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
const DialogItemTemplate kItems[] = {
    {"STATIC", "Folder:", -1, kChild, 0, 7, 7, 40, 8},
    {"STATIC", "", kCdFolderLabel, kChild | SS_LEFTNOWORDWRAP, 0, 50, 7, 203, 8},
    {"LISTBOX", "", kCdList, kChild | WS_BORDER | WS_TABSTOP | LBS_NOTIFY, 0, 7, 20, 246, 96},
    {"STATIC", "File name:", -1, kChild, 0, 7, 124, 50, 8},
    {"EDIT", "", kCdPathField, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 60, 122, 140,
     13},
    {"STATIC", "Files of type:", -1, kChild, 0, 7, 142, 50, 8},
    {"COMBOBOX", "", kCdFilter, kChild | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 60, 140, 140, 60},
    {"BUTTON", "Save", IDOK, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 206, 121, 47, 14},
    {"BUTTON", "Cancel", IDCANCEL, kChild | WS_TABSTOP, 0, 206, 139, 47, 14},
};
const DialogTemplate kTemplate{0,
                               nullptr,
                               DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                               0,
                               0,
                               0,
                               260,
                               162,
                               "Save As",
                               nullptr,
                               0,
                               kItems,
                               static_cast<int>(sizeof(kItems) / sizeof(kItems[0]))};

struct FileDialog {
  OPENFILENAMEA* ofn;
  bool save;
  std::string folder;
  std::vector<std::string> patterns;  // per filter, in order
  std::vector<Entry> entries;         // what the list shows, ".." first when not at the top
};

FileDialog* Of(HWND dialog) {
  return reinterpret_cast<FileDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

std::string FieldText(HWND dialog) {
  char text[4096];
  GetDlgItemTextA(dialog, kCdPathField, text, sizeof(text));
  return text;
}

void Refresh(HWND dialog, FileDialog* d) {
  SetDlgItemTextA(dialog, kCdFolderLabel, d->folder.c_str());
  auto filter = static_cast<size_t>(SendDlgItemMessageA(dialog, kCdFilter, CB_GETCURSEL, 0, 0));
  std::string all = "*";
  const std::string* patterns = filter < d->patterns.size() ? &d->patterns[filter] : &all;
  std::vector<Entry> found;
  List(d->folder, patterns, &found, d->save && (d->ofn->Flags & OFN_HIDEREADONLY));
  d->entries.clear();
  if (d->folder != "/") d->entries.push_back(Entry{"..", true});
  d->entries.insert(d->entries.end(), found.begin(), found.end());
  HWND list = GetDlgItem(dialog, kCdList);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const Entry& e : d->entries) {
    std::string shown = e.folder ? "[" + e.name + "]" : e.name;
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
  }
}

void Navigate(HWND dialog, FileDialog* d, const std::string& folder) {
  d->folder = folder;
  Refresh(dialog, d);
}

// The filters: "description\0patterns\0" pairs up to an empty description.
// The filter pairs as descriptions and patterns. "a|b|c|d||", the form class libraries take,
// is read within its one string; so is a description without patterns after it.
std::vector<std::string> FilterParts(const char* f) {
  std::vector<std::string> parts;
  if (f == nullptr) return parts;
  if (std::strchr(f, '|') != nullptr) {
    std::string all = f;
    size_t at = 0;
    while (at < all.size()) {
      size_t bar = all.find('|', at);
      if (bar == std::string::npos) bar = all.size();
      if (bar == at) break;  // "||": the end
      parts.push_back(all.substr(at, bar - at));
      at = bar + 1;
    }
  } else {
    while (*f != '\0') {  // "a\0b\0c\0d\0\0", as the calling convention has it
      parts.emplace_back(f);
      f += std::strlen(f) + 1;
    }
  }
  if (parts.size() % 2) parts.pop_back();
  return parts;
}

void ReadFilters(HWND dialog, FileDialog* d) {
  std::vector<std::string> parts = FilterParts(d->ofn->lpstrFilter);
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    SendDlgItemMessageA(dialog, kCdFilter, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(parts[i].c_str()));
    d->patterns.push_back(parts[i + 1]);
  }
  if (d->patterns.empty()) {
    SendDlgItemMessageA(dialog, kCdFilter, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("All files"));
    d->patterns.emplace_back("*");
  }
  size_t index = d->ofn->nFilterIndex > 0 ? d->ofn->nFilterIndex - 1 : 0;
  if (index >= d->patterns.size()) index = 0;
  SendDlgItemMessageA(dialog, kCdFilter, CB_SETCURSEL, index, 0);
}

void Initialize(HWND dialog, FileDialog* d) {
  OPENFILENAMEA* o = d->ofn;
  SetWindowTextA(dialog, o->lpstrTitle ? o->lpstrTitle : d->save ? "Save As" : "Open");
  SetDlgItemTextA(dialog, IDOK, d->save ? "Save" : "Open");
  ReadFilters(dialog, d);
  std::string proposed = o->lpstrFile ? o->lpstrFile : "";
  d->folder = o->lpstrInitialDir && *o->lpstrInitialDir ? Join(CurrentFolder(), o->lpstrInitialDir)
                                                        : CurrentFolder();
  size_t slash = proposed.find_last_of('/');
  if (slash != std::string::npos) {
    d->folder = Join(d->folder, slash == 0 ? "/" : proposed.substr(0, slash));
    proposed = proposed.substr(slash + 1);
  }
  if (!IsFolder(d->folder)) d->folder = CurrentFolder();
  SetDlgItemTextA(dialog, kCdPathField, proposed.c_str());
  Refresh(dialog, d);
}

// Writes the chosen path out; false (with the error) when it does not fit.
bool Deliver(FileDialog* d, const std::string& path) {
  OPENFILENAMEA* o = d->ofn;
  if (o->lpstrFile == nullptr || path.size() + 1 > o->nMaxFile) {
    t_error = FNERR_BUFFERTOOSMALL;
    if (o->lpstrFile != nullptr && o->nMaxFile >= 2) {
      auto need = static_cast<WORD>(path.size() + 1 > 0xFFFF ? 0xFFFF : path.size() + 1);
      std::memcpy(o->lpstrFile, &need, sizeof(need));
    }
    return false;
  }
  std::memcpy(o->lpstrFile, path.c_str(), path.size() + 1);
  size_t name = 0, extension = 0;
  NameOffsets(path, &name, &extension);
  o->nFileOffset = static_cast<WORD>(name);
  o->nFileExtension = static_cast<WORD>(extension);
  if (o->lpstrFileTitle != nullptr && o->nMaxFileTitle > 0) {
    std::string title = path.substr(name).substr(0, o->nMaxFileTitle - 1);
    std::memcpy(o->lpstrFileTitle, title.c_str(), title.size() + 1);
  }
  return true;
}

void Accept(HWND dialog, FileDialog* d) {
  std::string typed = FieldText(dialog);
  if (typed.empty()) return;
  std::string path = Join(d->folder, typed);
  if (IsFolder(path)) {
    SetDlgItemTextA(dialog, kCdPathField, "");
    Navigate(dialog, d, path);
    return;
  }
  OPENFILENAMEA* o = d->ofn;
  size_t name = 0, extension = 0;
  NameOffsets(path, &name, &extension);
  if (extension == path.size() && o->lpstrDefExt && *o->lpstrDefExt) {
    path += std::string(".") + o->lpstrDefExt;
  }
  const char* caption = d->save ? "Save As" : "Open";
  if (!IsFolder(Parent(path))) {
    MessageBoxA(dialog, (Parent(path) + "\nThe folder does not exist.").c_str(), caption,
                MB_OK | MB_ICONWARNING);
    return;
  }
  if (!d->save && !Exists(path)) {
    MessageBoxA(dialog, (path + "\nThe file does not exist.").c_str(), caption,
                MB_OK | MB_ICONWARNING);
    return;
  }
  if (d->save && (o->Flags & OFN_OVERWRITEPROMPT) && Exists(path) &&
      MessageBoxA(dialog, (path + " already exists.\nDo you want to replace it?").c_str(), caption,
                  MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  DWORD filter = static_cast<DWORD>(SendDlgItemMessageA(dialog, kCdFilter, CB_GETCURSEL, 0, 0));
  bool delivered = Deliver(d, path);
  o->nFilterIndex = filter + 1;
  EndDialog(dialog, delivered ? IDOK : IDABORT);
}

void ListCommand(HWND dialog, FileDialog* d, WORD code) {
  auto row = static_cast<size_t>(SendDlgItemMessageA(dialog, kCdList, LB_GETCURSEL, 0, 0));
  if (row >= d->entries.size()) return;
  Entry e = d->entries[row];
  if (code == LBN_SELCHANGE && !e.folder) {
    SetDlgItemTextA(dialog, kCdPathField, e.name.c_str());
  } else if (code == LBN_DBLCLK && e.folder) {
    Navigate(dialog, d, Join(d->folder, e.name));
  } else if (code == LBN_DBLCLK) {
    SetDlgItemTextA(dialog, kCdPathField, e.name.c_str());
    Accept(dialog, d);
  }
}

INT_PTR FileProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    Initialize(dialog, reinterpret_cast<FileDialog*>(lparam));
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, kCdPathField)),
                 TRUE);
    return FALSE;
  }
  FileDialog* d = Of(dialog);
  if (message != WM_COMMAND || d == nullptr) return FALSE;
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
    case kCdFilter:
      if (HIWORD(wparam) == CBN_SELCHANGE) Refresh(dialog, d);
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL Run(OPENFILENAMEA* ofn, bool save) {
  t_error = 0;
  if (ofn == nullptr || ofn->lStructSize < offsetof(OPENFILENAMEA, pvReserved)) {
    t_error = CDERR_STRUCTSIZE;
    return FALSE;
  }
  FileDialog d{ofn, save, "", {}, {}};
  INT_PTR result = DialogBoxIndirectParamA(nullptr, &kTemplate, ofn->hwndOwner, FileProc,
                                           reinterpret_cast<LPARAM>(&d));
  return result == IDOK ? TRUE : FALSE;
}

}  // namespace
}  // namespace platform::ui::cd

BOOL GetSaveFileNameA(OPENFILENAMEA* ofn) { return platform::ui::cd::Run(ofn, true); }
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) { return platform::ui::cd::Run(ofn, false); }
DWORD CommDlgExtendedError() { return platform::ui::cd::t_error; }
