#pragma once
// Test helpers: a window class that records the messages it gets, and a loop that reads the
// calling thread's messages until nothing is left.

#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/ui.h"

namespace platform::ui::test {

struct Logged {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// Messages of every window of the "Recorder" classes, in order; thread-safe.
class MessageLog {
 public:
  void Add(const Logged& m);
  std::vector<Logged> Take();
  std::vector<UINT> Messages(HWND window, std::initializer_list<UINT> only = {});
  void Clear();

 private:
  std::mutex mutex_;
  std::vector<Logged> log_;
};

MessageLog& Log();
// "Recorder" (no double clicks) and "RecorderDbl" (CS_DBLCLKS): log, then DefWindowProc.
void RegisterRecorders();
HWND MakeWindow(LPCSTR class_name, DWORD style, int x, int y, int w, int h, HWND parent, int id = 0,
                DWORD ex_style = 0);
// Dispatches what the thread can read now (posted, timers, paint).
void Drain();

}  // namespace platform::ui::test
