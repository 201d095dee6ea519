#pragma once
// What the host needs of a viewer: it hands the viewer its page properties and a parent
// window, and later asks it to go. Viewers register a factory under a name; the host takes
// the most recently registered one.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_types.h"
#include "tools/orvix/page_file.h"

namespace orvix {

// The page's properties as a property bag hands them to a control: texts by name, a missing
// one reading as empty. Names are matched without regard to case, as a page's param names
// are; the first of repeated names counts.
class PageProperties {
 public:
  PageProperties() = default;
  explicit PageProperties(PageParams params) : params_(std::move(params)) {}

  std::string Get(const std::string& name) const;
  bool Has(const std::string& name) const;
  void Set(const std::string& name, const std::string& value);  // replaces or appends
  const PageParams& params() const { return params_; }

  // The TCP port of the DVR's RTSP service. Not a page property: a DVR serves 554, and only
  // a simulator run without the right to bind it listens elsewhere; a viewer reaches it
  // there only if it connects to this port instead of the 554 of its live URLs.
  int rtspPort = 554;
  // Likewise the UDP port of its commands (2700 on a DVR).
  int commandPort = 2700;
  // The page's <object classid="clsid:...">, empty when it names no class: the host then
  // loads that control through the registry instead of a viewer built into it.
  std::string classId;
  // Grid cells (1-based) that show another RTSP server's stream: the page's "Url" params with
  // the command line's over them.
  std::map<int, std::string> cellUrls;

 private:
  PageParams params_;
};

class HostedViewer {
 public:
  virtual ~HostedViewer() = default;
  // Loads the settings from `page` and creates the viewer's window as a visible child filling
  // `parent`'s client area, following it when it is resized. False when it cannot.
  virtual bool Create(HWND parent, const PageProperties& page) = 0;
  // The viewer's window, null before Create and after Destroy.
  virtual HWND window() const = 0;
  // Destroys the viewer's window and stops everything it started; returns when all of it
  // has ended. Safe to call when the window is already gone (its parent was destroyed).
  virtual void Destroy() = 0;
  // What the viewer's capture directory dialog does on OK; false when the viewer has no
  // capture directory or could not keep it.
  virtual bool ChangeCaptureDir(const std::string& /*dir*/) { return false; }
};

using ViewerFactory = std::function<std::unique_ptr<HostedViewer>()>;

void RegisterViewerFactory(const std::string& name, ViewerFactory factory);
// The names registered, oldest first.
std::vector<std::string> ViewerNames();
// A new viewer of the latest registration (null when none); *name tells which.
std::unique_ptr<HostedViewer> CreateLatestViewer(std::string* name);

// Registers the viewers built into this program (viewer_registry.cpp).
void RegisterBuiltInViewers();

}  // namespace orvix
