#include "control/npapi/plugin_instance.h"

#include <atomic>
#include <cstdio>

#include "control/live_channel.h"
#include "control/npapi/browser.h"
#include "control/npapi/daily_log.h"
#include "device/lang/lang_table.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/handle.h"
#include "platform/kernel/thread.h"
#include "platform/ui/ui.h"

namespace control::npapi {
namespace {

std::atomic<bool> languageLoaded{false};

VideoLibrary& Library() {
  static VideoLibrary library;
  return library;
}

PluginInstance* InstanceOfWindow(HWND window) {
  return reinterpret_cast<PluginInstance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace

PluginInstance::PluginInstance(NPP npp) : npp_(npp) {}

void PluginInstance::LoadLanguage(int language) {
  device::lang::SelectLanguage(language);
  languageLoaded = true;
}

void PluginInstance::EnsureLanguage(int language) {
  if (!languageLoaded) LoadLanguage(language);
}

void PluginInstance::SetDvrAddress(const std::string& address) {
  dvrAddr_ = address;
  if (control_) control_->SetDvrAddress(address);
}

NPObject* PluginInstance::ScriptableObject() {
  if (scriptable_ == nullptr) {
    scriptable_ =
        static_cast<ScriptablePluginObject*>(Browser().createobject(npp_, ScriptableClass()));
    if (scriptable_ == nullptr) return nullptr;
  }
  scriptable_->window = window_;
  return Browser().retainobject(scriptable_);
}

bool PluginInstance::Attach(HWND window) {
  if (window == nullptr || !IsWindow(window)) return false;
  window_ = window;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  previous_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
  // The first control of the process sets up the renderer and the window messages.
  control_ = std::make_unique<ViewerControl>(Library());
  control_->SetDvrAddress(dvrAddr_);
  control_->SetStepLog([](const std::string& text) { WriteLog("%s", text.c_str()); });
  control_->AttachScriptedWindow(window);
  if (scriptable_ != nullptr) scriptable_->window = window;
  return true;
}

LRESULT PluginInstance::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  PluginInstance* self = InstanceOfWindow(window);
  if (self == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  return self->OnMessage(message, wparam, lparam);
}

LRESULT PluginInstance::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      control_->RelayoutGrid();
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case kClickMessage:
      control_->OnShowRequest(wparam, lparam);
      return 0;
    case kSelectMessage:
      // Snapshots are not taken in this shell.
      if (lparam == 0 || lparam == 1) control_->OnSelect(wparam, lparam);
      return 1;
    case kStartMessage:
      OnStart(wparam, lparam);
      return 1;
    case kCountMessage:
      control_->SetScriptedChannelCount(static_cast<int>(wparam));
      return 1;
    case kReconnectMessage:
      if (gridBuilt_ && reconnectRun_) control_->StartStoppedChannels();
      return 0;
    default:
      return CallWindowProcA(previous_, window_, message, wparam, lparam);
  }
}

void PluginInstance::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  RECT client{0, 0, 0, 0};
  GetClientRect(window_, &client);
  if (dc != nullptr) {
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
    FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  EndPaint(window_, &ps);
}

void PluginInstance::OnStart(WPARAM wparam, LPARAM lparam) {
  if (lparam != 0 && lparam != 1) return;
  const int count = static_cast<int>(wparam);
  if (!gridBuilt_) {
    if (scriptable_ != nullptr) SetDvrAddress(scriptable_->hostAddr);
    control_->BuildScriptedGrid(count, preview_);
    gridBuilt_ = true;
    StartReconnect();
  } else {
    control_->SetScriptedChannelCount(count);
  }
  control_->RelayoutGrid();
}

void PluginInstance::StartReconnect() {
  reconnectRun_ = true;
  reconnectThread_ = CreateThread(nullptr, kReconnectStack, &ReconnectMain, this, 0, nullptr);
  if (reconnectThread_ == nullptr) reconnectRun_ = false;
}

DWORD PluginInstance::ReconnectMain(void* arg) {
  auto* self = static_cast<PluginInstance*>(arg);
  for (int pass = 1; self->reconnectRun_; ++pass) {
    Sleep(kReconnectPassMs);
    if (pass % kPassesPerReconnect == 0) PostMessageA(self->window_, kReconnectMessage, 0, 0);
  }
  return 0;
}

void PluginInstance::StopReconnect() {
  reconnectRun_ = false;
  if (reconnectThread_ == nullptr) return;
  // One pass is 10 ms, so the thread sees the flag within that.
  WaitForSingleObject(reconnectThread_, INFINITE);
  CloseHandle(reconnectThread_);
  reconnectThread_ = nullptr;
}

PluginInstance::~PluginInstance() {
  if (scriptable_ != nullptr) {
    // The page may still hold the object: it stays valid, without a window to post to.
    scriptable_->window = nullptr;
    scriptable_->npp = nullptr;
    Browser().releaseobject(scriptable_);
  }
  StopReconnect();
  if (control_) {
    control_->OnDestroy();
    std::printf("StopPlayVideo\n");
    control_->OnNcDestroy();
    control_.reset();
  }
  if (window_ != nullptr && IsWindow(window_)) {
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  }
}

}  // namespace control::npapi
