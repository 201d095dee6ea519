// The names a resource source may use for styles and identifiers, with their values.
#include <map>

#include "platform/ui/dialog.h"
#include "platform/ui/dialog_rc.h"

namespace platform::ui::rc {
namespace {

#define K(name) \
  { #name, static_cast < long>(name) }
const std::map<std::string_view, long>& Constants() {
  static const auto* table = new std::map<std::string_view, long>{K(WS_OVERLAPPED),
                                                                  K(WS_POPUP),
                                                                  K(WS_CHILD),
                                                                  K(WS_VISIBLE),
                                                                  K(WS_DISABLED),
                                                                  K(WS_CLIPSIBLINGS),
                                                                  K(WS_CLIPCHILDREN),
                                                                  K(WS_BORDER),
                                                                  K(WS_DLGFRAME),
                                                                  K(WS_CAPTION),
                                                                  K(WS_VSCROLL),
                                                                  K(WS_HSCROLL),
                                                                  K(WS_SYSMENU),
                                                                  K(WS_THICKFRAME),
                                                                  K(WS_GROUP),
                                                                  K(WS_TABSTOP),
                                                                  K(WS_MINIMIZEBOX),
                                                                  K(WS_MAXIMIZEBOX),
                                                                  K(WS_OVERLAPPEDWINDOW),
                                                                  K(WS_POPUPWINDOW),
                                                                  K(WS_EX_DLGMODALFRAME),
                                                                  K(WS_EX_NOPARENTNOTIFY),
                                                                  K(WS_EX_TOPMOST),
                                                                  K(WS_EX_TRANSPARENT),
                                                                  K(WS_EX_TOOLWINDOW),
                                                                  K(WS_EX_WINDOWEDGE),
                                                                  K(WS_EX_CLIENTEDGE),
                                                                  K(WS_EX_CONTROLPARENT),
                                                                  K(WS_EX_STATICEDGE),
                                                                  K(DS_ABSALIGN),
                                                                  K(DS_SETFONT),
                                                                  K(DS_MODALFRAME),
                                                                  K(DS_NOIDLEMSG),
                                                                  K(DS_SETFOREGROUND),
                                                                  K(DS_3DLOOK),
                                                                  K(DS_FIXEDSYS),
                                                                  K(DS_CONTROL),
                                                                  K(DS_CENTER),
                                                                  K(DS_CENTERMOUSE),
                                                                  K(DS_SHELLFONT),
                                                                  K(BS_PUSHBUTTON),
                                                                  K(BS_DEFPUSHBUTTON),
                                                                  K(BS_CHECKBOX),
                                                                  K(BS_AUTOCHECKBOX),
                                                                  K(BS_RADIOBUTTON),
                                                                  K(BS_3STATE),
                                                                  K(BS_AUTO3STATE),
                                                                  K(BS_GROUPBOX),
                                                                  K(BS_AUTORADIOBUTTON),
                                                                  K(BS_OWNERDRAW),
                                                                  K(BS_LEFTTEXT),
                                                                  K(BS_BITMAP),
                                                                  K(BS_LEFT),
                                                                  K(BS_RIGHT),
                                                                  K(BS_CENTER),
                                                                  K(BS_PUSHLIKE),
                                                                  K(BS_MULTILINE),
                                                                  K(BS_NOTIFY),
                                                                  K(BS_FLAT),
                                                                  K(SS_LEFT),
                                                                  K(SS_CENTER),
                                                                  K(SS_RIGHT),
                                                                  K(SS_BITMAP),
                                                                  K(SS_NOTIFY),
                                                                  K(SS_LEFTNOWORDWRAP),
                                                                  K(SS_OWNERDRAW),
                                                                  K(SS_BLACKFRAME),
                                                                  K(SS_ETCHEDHORZ),
                                                                  K(SS_NOPREFIX),
                                                                  K(SS_CENTERIMAGE),
                                                                  K(SS_SUNKEN),
                                                                  K(ES_LEFT),
                                                                  K(ES_CENTER),
                                                                  K(ES_RIGHT),
                                                                  K(ES_MULTILINE),
                                                                  K(ES_UPPERCASE),
                                                                  K(ES_LOWERCASE),
                                                                  K(ES_PASSWORD),
                                                                  K(ES_AUTOVSCROLL),
                                                                  K(ES_AUTOHSCROLL),
                                                                  K(ES_NOHIDESEL),
                                                                  K(ES_READONLY),
                                                                  K(ES_WANTRETURN),
                                                                  K(ES_NUMBER),
                                                                  K(LBS_NOTIFY),
                                                                  K(LBS_SORT),
                                                                  K(LBS_NOREDRAW),
                                                                  K(LBS_OWNERDRAWFIXED),
                                                                  K(LBS_HASSTRINGS),
                                                                  K(LBS_NOINTEGRALHEIGHT),
                                                                  K(LBS_WANTKEYBOARDINPUT),
                                                                  K(LBS_STANDARD),
                                                                  K(CBS_SIMPLE),
                                                                  K(CBS_DROPDOWN),
                                                                  K(CBS_DROPDOWNLIST),
                                                                  K(CBS_OWNERDRAWFIXED),
                                                                  K(CBS_AUTOHSCROLL),
                                                                  K(CBS_SORT),
                                                                  K(CBS_HASSTRINGS),
                                                                  K(CBS_NOINTEGRALHEIGHT),
                                                                  K(IDOK),
                                                                  K(IDCANCEL),
                                                                  K(IDABORT),
                                                                  K(IDRETRY),
                                                                  K(IDIGNORE),
                                                                  K(IDYES),
                                                                  K(IDNO),
                                                                  K(IDCLOSE),
                                                                  K(IDHELP),
                                                                  K(IDC_STATIC)};
  return *table;
}
#undef K

}  // namespace

bool KnownConstant(std::string_view name, long* value) {
  auto it = Constants().find(name);
  if (it == Constants().end()) return false;
  *value = it->second;
  return true;
}

}  // namespace platform::ui::rc
