#pragma once
// The texts of the language table as written: English, and Chinese in UTF-8 (the table turns
// it into GBK once). The build's own slot rules are lang_table.cpp's.

namespace device::lang {

struct TextEntry {
  int id;
  const char* english;
  const char* chinese;  // UTF-8
};

extern const TextEntry kTexts[];
extern const int kTextCount;

}  // namespace device::lang
