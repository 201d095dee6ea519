#pragma once
// The registry keys of a control class and of a property page class, as containers look for
// them under HKEY_CLASSES_ROOT:
//
//   <ProgID> = type name, <ProgID>\CLSID = {clsid}
//   CLSID\{clsid} = type name, with ProgID, InprocServer32 (the module's file, ThreadingModel),
//   and for a control also Control, MiscStatus (and MiscStatus\1 = the status in decimal),
//   ToolboxBitmap32 ("file, id"), TypeLib = {libid} and Version ("major.minor").
//
// Registering twice writes the same keys again; removing keys that are not there succeeds.

#include <string>

#include "platform/com/objbase.h"

namespace activex {

struct ClassKeys {
  CLSID clsid{};
  std::string progid;
  std::string type_name;
  std::string module_file;
  std::string threading = "Apartment";
  // A control's extras; `control` false registers a plain class (a property page).
  bool control = false;
  DWORD misc_status = 0;
  int toolbox_bitmap = 0;
  GUID libid{};
  WORD major = 1;
  WORD minor = 0;
};

bool RegisterClassKeys(const ClassKeys& keys);
bool UnregisterClassKeys(const CLSID& clsid, const std::string& progid);

std::string GuidText(const GUID& guid);

}  // namespace activex
