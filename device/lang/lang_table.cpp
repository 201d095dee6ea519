#include "device/lang/lang_table.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "device/lang/lang_texts.h"
#include "platform/kernel/code_page.h"

#ifndef DEVICE_NPAPI_BUILD
#error "DEVICE_NPAPI_BUILD must be 0 or 1"
#endif

namespace device::lang {
namespace {

#if DEVICE_NPAPI_BUILD
// The plug-in has no relay and no capture directory button, and no message of theirs; its
// capture directory dialog is 200, and its own "channel" label is 1292.
constexpr int kSlots = 1292;
int SlotOf(int id) {
  if (id == 188 || id == 203 || id == 246 || (id >= 649 && id <= 654)) return 0;
  if (id == 253) return 200;
  if (id == 244) return 1292;
  return id;
}
#else
constexpr int kSlots = 1290;
int SlotOf(int id) { return id; }
#endif

// UTF-8 to the program's code page, through UTF-16.
std::string ToCodePage(const char* utf8) {
  int chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  if (chars <= 0) return "";
  std::u16string wide(static_cast<size_t>(chars), u'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide.data(), chars);
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return "";
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, out.data(), bytes, nullptr, nullptr);
  out.resize(out.size() - 1);  // the converted NUL
  return out;
}

// Both sets, slot by slot; built on first use and read-only from then on.
struct Sets {
  std::vector<std::string> slots[2];
  Sets() {
    for (auto& set : slots) set.assign(kSlots + 1, std::string());
    for (int i = 0; i < kTextCount; ++i) {
      int slot = SlotOf(kTexts[i].id);
      if (slot == 0) continue;
      slots[kEnglish][slot] = kTexts[i].english;
      slots[kChinese][slot] = ToCodePage(kTexts[i].chinese);
    }
  }
};

const Sets& TheSets() {
  static const Sets sets;
  return sets;
}

std::atomic<int> g_language{kEnglish};

}  // namespace

int SlotCount() { return kSlots; }

void SelectLanguage(int language) {
  language = language == kEnglish ? kEnglish : kChinese;
  TheSets();
  g_language = language;
  std::printf("init lang:%d\r\n", language);
}

int SelectedLanguage() { return g_language; }

const char* TextIn(int language, int id) {
  if (id < 1 || id > kSlots) {
    std::printf("%s:%u: failed assertion\n", "Global", static_cast<unsigned>(__LINE__));
    return "";
  }
  return TheSets().slots[language == kEnglish ? kEnglish : kChinese][id].c_str();
}

const char* Text(int id) { return TextIn(g_language, id); }

}  // namespace device::lang
