#pragma once
// The objects the plug-in hands to page script. ScriptablePluginObject is the embed element's
// object: methods "Start", "HostAddr", "Preview", "SipName", "Lang", "Add", properties
// "Version" (read only) and "Name", and a default method. ConstructablePluginObject is the
// object set as the page's "pluginobj". Both are made with NPN_CreateObject and live until
// their last release; the instance they name outlives the page's script calls on them.

#include <string>

#include "platform/npapi/npapi.h"
#include "platform/ui/ui_types.h"

namespace control::npapi {

class PluginInstance;

struct ScriptablePluginObject : NPObject {
  NPP npp = nullptr;
  char display[200] = {};
  std::string hostAddr;
  std::string sipName;
  std::string spare;
  HWND window = nullptr;
  char name[200] = {};
};

struct ConstructablePluginObject : NPObject {
  NPP npp = nullptr;
};

NPClass* ScriptableClass();
NPClass* ConstructableClass();

// The default address the DVR is looked for at until the page gives one.
constexpr char kDefaultHostAddr[] = "192.168.1.100";

}  // namespace control::npapi
