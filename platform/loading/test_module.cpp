// A module loaded as the host loads a shell: it works in the host's window tree through the
// one platform library of the process, and leaves no thread, window or class behind once
// detached. Its entry points are the only symbols it exports.

#include "platform/loading/test_module.h"

#include <atomic>

#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"

#define TEST_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr char kClassName[] = "LoadingTestChild";

std::atomic<int> g_app_messages{0};
COLORREF g_color = 0;
HWND g_window = nullptr;
HANDLE g_stop = nullptr;
HANDLE g_worker = nullptr;

LRESULT ChildProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT client;
      GetClientRect(window, &client);
      HBRUSH brush = CreateSolidBrush(g_color);
      FillRect(dc, &client, brush);
      DeleteObject(brush);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_APP:
      ++g_app_messages;
      return 0;
    case kTestModuleDouble:
      return lparam * 2;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

DWORD Worker(void* window) {
  PostMessageA(static_cast<HWND>(window), WM_APP, 0, 0);
  WaitForSingleObject(g_stop, INFINITE);
  return 0;
}

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ChildProc),
                     &module);
  return module;
}

}  // namespace

TEST_MODULE_EXPORT HWND TestModuleAttach(HWND parent, int x, int y, int w, int h, COLORREF color) {
  g_color = color;
  g_app_messages = 0;
  WNDCLASSA wc{};
  wc.lpfnWndProc = ChildProc;
  wc.hInstance = ThisModule();
  wc.lpszClassName = kClassName;
  if (RegisterClassA(&wc) == 0) return nullptr;
  g_window = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(7), wc.hInstance, nullptr);
  if (g_window == nullptr) {
    UnregisterClassA(kClassName, wc.hInstance);
    return nullptr;
  }
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_worker = CreateThread(nullptr, 0, Worker, g_window, 0, nullptr);
  return g_window;
}

TEST_MODULE_EXPORT int TestModuleCount() { return g_app_messages; }

TEST_MODULE_EXPORT void TestModuleDetach() {
  if (g_worker != nullptr) {
    SetEvent(g_stop);
    WaitForSingleObject(g_worker, INFINITE);
    CloseHandle(g_worker);
    CloseHandle(g_stop);
    g_worker = g_stop = nullptr;
  }
  if (g_window != nullptr) DestroyWindow(g_window);
  g_window = nullptr;
  UnregisterClassA(kClassName, ThisModule());
}
