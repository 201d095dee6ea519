#pragma once
// The common dialogs: save-as (and open) file and folder browsing, as real modal dialogs on the
// display listing the real file system. Paths are POSIX paths in the program's code page,
// '/'-separated. Both run their own message loop like DialogBoxParamA and return when the
// person (or a script, through the path field 1152) answers.

#include "platform/ui/dialog.h"

#pragma GCC visibility push(default)

struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;  // pairs "description\0pattern;pattern\0", ended by an empty one
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based; 0 takes the first
  LPSTR lpstrFile;     // in: the proposed name (or path); out: the chosen path
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;  // out: the name alone, when given
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;  // appended (after a '.') to a name typed without an extension
  LPARAM lCustData;
  void* lpfnHook;
  LPCSTR lpTemplateName;
  void* pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
};

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;
constexpr DWORD CDERR_STRUCTSIZE = 0x0001;

// TRUE with lpstrFile, nFileOffset and nFileExtension filled when the person chose a file;
// FALSE on Cancel (CommDlgExtendedError 0) or when the path does not fit lpstrFile
// (FNERR_BUFFERTOOSMALL, and the first two bytes of lpstrFile hold the size needed). A name
// that exists is asked about first with OFN_OVERWRITEPROMPT; the folder must exist. With
// OFN_HIDEREADONLY a save dialog does not list read-only files (no one may write them); no
// "Read only" box is offered in any case.
BOOL GetSaveFileNameA(OPENFILENAMEA* ofn);
// The same dialog for a file that must exist.
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
DWORD CommDlgExtendedError();

// Folder browsing. The returned item list is an opaque path: SHGetPathFromIDListA reads it,
// ILFree releases it.
struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using BFFCALLBACK = int (*)(HWND, UINT, LPARAM, LPARAM);

struct BROWSEINFOA {
  HWND hwndOwner;
  LPCITEMIDLIST pidlRoot;  // null: start from the current folder, browse the whole tree
  LPSTR pszDisplayName;    // out: the chosen folder's name (MAX_PATH bytes)
  LPCSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;  // told BFFM_INITIALIZED and BFFM_SELCHANGED
  LPARAM lParam;
  int iImage;
};

constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_STATUSTEXT = 0x0004;
constexpr UINT BIF_EDITBOX = 0x0010;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;
constexpr UINT BFFM_INITIALIZED = 1;
constexpr UINT BFFM_SELCHANGED = 2;
constexpr UINT BFFM_SETSELECTIONA = WM_USER + 102;  // wParam TRUE, lParam the path
constexpr int kMaxPath = 260;

// Null on Cancel.
LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info);
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);  // path: MAX_PATH bytes
void ILFree(LPITEMIDLIST list);

// The controls' IDs, for scripts and tests.
constexpr int kCdPathField = 1152;    // the file name or folder path
constexpr int kCdList = 1120;         // folders and files
constexpr int kCdFilter = 1136;       // the "Save as type" choice
constexpr int kCdFolderLabel = 1091;  // the folder shown

#pragma GCC visibility pop
