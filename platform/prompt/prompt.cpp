#include "platform/prompt/prompt.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<PromptHandler> g_handler{&PrintPrompt};

}  // namespace

PromptHandler SetPromptHandler(PromptHandler handler) {
  return g_handler.exchange(handler ? handler : &PrintPrompt);
}

int DefaultButton(UINT type) {
  static constexpr int kButtons[][3] = {
      {IDOK, IDOK, IDOK},      {IDOK, IDCANCEL, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE},
      {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO, IDNO},        {IDRETRY, IDCANCEL, IDCANCEL}};
  UINT kind = type & MB_TYPEMASK;
  if (kind > 5) kind = 0;
  UINT which = (type & MB_DEFMASK) >> 8;
  if (which > 2) which = 0;
  return kButtons[kind][which];
}

int PrintPrompt(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  std::printf("%s %s\n", caption ? caption : "Error", text ? text : "");
  std::fflush(stdout);
  return DefaultButton(type);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return g_handler.load()(owner, text, caption, type);
}
