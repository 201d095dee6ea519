#pragma once
// One embedded plug-in: the viewer control inside the browser's plug-in window, driven by page
// script through the scriptable object.
//
// Life: made by NPP_New (which then runs the page-side actions), attached to the browser's
// window by the first NPP_SetWindow with a window, and deleted by NPP_Destroy, which stops
// everything it started before it returns. The window's procedure is replaced by the
// instance's while attached and restored on deletion; its user data names the instance.
//
// Threads: everything runs on the browser's thread except the reconnect thread, which only
// posts kReconnectMessage to the window; the restarts it asks for run on the browser's thread,
// so the session records and the DVR address are touched by that thread alone.

#include <atomic>
#include <memory>
#include <string>

#include "control/npapi/scriptable_object.h"
#include "control/viewer_control.h"
#include "platform/npapi/npapi.h"
#include "platform/ui/ui_types.h"

namespace control::npapi {

constexpr UINT kStartMessage = 1226;  // WM_USER + 202: wParam channels, lParam 0 or 1
constexpr UINT kCountMessage = 1227;  // WM_USER + 203: wParam channels
// WM_USER + 204, the plug-in's own: the reconnect thread's turn to restart stopped channels.
constexpr UINT kReconnectMessage = 1228;
constexpr DWORD kReconnectPassMs = 10;
constexpr int kPassesPerReconnect = 1000;
constexpr size_t kReconnectStack = 131072;

class PluginInstance {
 public:
  explicit PluginInstance(NPP npp);
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  // NPP_New's actions on the page: "foof", "plugindoc", the "result" paragraph, "pluginobj".
  void RunPageActions();
  // The first window: subclass it and set up the viewer. False when it cannot be attached.
  bool Attach(HWND window);
  bool attached() const { return window_ != nullptr; }
  HWND window() const { return window_; }

  // The scriptable object, made on the first request and retained for the caller.
  NPObject* ScriptableObject();

  // Script settings.
  void SetDvrAddress(const std::string& address);
  void SetPreview(int preview) { preview_ = preview; }
  void SetLanguageText(const std::string& text) { language_ = text; }
  int preview() const { return preview_; }
  const std::string& dvrAddress() const { return dvrAddr_; }
  bool gridBuilt() const { return gridBuilt_; }

  // The language table: LoadLanguage selects one; EnsureLanguage does so only when the
  // process has loaded none yet.
  static void LoadLanguage(int language);
  static void EnsureLanguage(int language);

 private:
  static LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnPaint();
  void OnStart(WPARAM wparam, LPARAM lparam);
  void StartReconnect();
  void StopReconnect();
  static DWORD ReconnectMain(void* self);

  NPP npp_;
  HWND window_ = nullptr;
  WNDPROC previous_ = nullptr;
  std::unique_ptr<ViewerControl> control_;
  bool gridBuilt_ = false;
  std::atomic<bool> reconnectRun_{false};
  HANDLE reconnectThread_ = nullptr;
  ScriptablePluginObject* scriptable_ = nullptr;
  int preview_ = 0;
  std::string dvrAddr_ = kDefaultHostAddr;
  std::string language_;
};

}  // namespace control::npapi
