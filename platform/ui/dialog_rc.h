#pragma once
// The resource source form and its parser, shared by the resource compiler (dialog_rc_main.cpp)
// and its tests. The form follows resource scripts:
//
//   #define IDD_SEARCH 100            // names usable anywhere a number is
//   IDD_SEARCH DIALOGEX 0, 0, 260, 120
//   STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
//   CAPTION "Record search"
//   FONT 9, "Tahoma"
//   BEGIN
//     LTEXT "Channel:", IDC_STATIC, 7, 9, 40, 8
//     COMBOBOX IDC_CHANNEL, 50, 7, 60, 80, CBS_DROPDOWNLIST | WS_TABSTOP
//     CONTROL "", IDC_LIST, "SysListView32", WS_BORDER | 0x0001, 7, 30, 246, 60
//     DEFPUSHBUTTON "OK", IDOK, 150, 100, 50, 14
//   END
//   STRINGTABLE
//   BEGIN
//     IDS_TITLE "Search"
//   END
//   173 BITMAP "art/slider_channel.bmp"   // a BMP file beside the source, embedded whole
//   1 TYPELIB "orvix.typelib"             // any file, embedded whole (also RCDATA)
//
// Items: LTEXT CTEXT RTEXT PUSHBUTTON DEFPUSHBUTTON CHECKBOX AUTOCHECKBOX RADIOBUTTON
// AUTORADIOBUTTON GROUPBOX ("text", id, x, y, cx, cy [, style [, exstyle]]), EDITTEXT LISTBOX
// COMBOBOX (the same without text) and CONTROL ("text", id, class, style, x, y, cx, cy
// [, exstyle]). Styles are names and numbers joined by '|'; "NOT name" removes a default bit.
// Texts are UTF-8 in the source; "" stands for a quote, and \n \t \\ \" are understood.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/kernel/win_types.h"

namespace platform::ui::rc {

struct Item {
  std::string class_name;
  std::string text;
  int id = 0;
  DWORD style = 0;
  DWORD ex_style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
};

struct Dialog {
  int id = 0;        // 0 when named by `name`
  std::string name;  // empty for numbered dialogs
  DWORD style = 0;
  DWORD ex_style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string caption;
  std::string font_face;
  int font_points = 0;
  std::vector<Item> items;
};

// A data resource: its type name (TYPELIB, RCDATA), id and file as written in the source.
struct DataFile {
  std::string type;
  int id = 0;
  std::string file;
  bool operator==(const DataFile&) const = default;
};

struct File {
  std::vector<std::pair<std::string, int>> defines;  // in source order
  std::vector<Dialog> dialogs;
  std::vector<std::pair<int, std::string>> strings;
  std::vector<std::pair<int, std::string>> bitmaps;  // id, file as written in the source
  std::vector<DataFile> data;
};

// False with *error "LINE: reason" on the first fault: an unknown name or keyword, a missing
// comma or number, an unterminated string or block, a duplicate dialog, string, bitmap or data id.
bool Parse(std::string_view source, File* out, std::string* error);

// The value of a style or identifier constant the form knows (WS_*, DS_*, BS_*, ES_*, SS_*,
// LBS_*, CBS_*, IDOK...), false when unknown.
bool KnownConstant(std::string_view name, long* value);

}  // namespace platform::ui::rc
