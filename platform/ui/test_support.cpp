#include "platform/ui/test_support.h"

#include <algorithm>
#include <utility>

namespace platform::ui::test {
namespace {

LRESULT RecorderProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Log().Add(Logged{window, message, wparam, lparam});
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

void MessageLog::Add(const Logged& m) {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.push_back(m);
}

std::vector<Logged> MessageLog::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(log_, {});
}

std::vector<UINT> MessageLog::Messages(HWND window, std::initializer_list<UINT> only) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<UINT> out;
  for (const Logged& m : log_) {
    if (window != nullptr && m.window != window) continue;
    if (only.size() && std::find(only.begin(), only.end(), m.message) == only.end()) continue;
    out.push_back(m.message);
  }
  return out;
}

void MessageLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}

MessageLog& Log() {
  static MessageLog* log = new MessageLog;
  return *log;
}

void RegisterRecorders() {
  static bool done = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecorderProc;
    wc.lpszClassName = "Recorder";
    RegisterClassA(&wc);
    wc.style = CS_DBLCLKS;
    wc.lpszClassName = "RecorderDbl";
    RegisterClassA(&wc);
    return true;
  }();
  (void)done;
}

HWND MakeWindow(LPCSTR class_name, DWORD style, int x, int y, int w, int h, HWND parent, int id,
                DWORD ex_style) {
  RegisterRecorders();
  return CreateWindowExA(ex_style, class_name, "", style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

void Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace platform::ui::test
