// The language table of the build (DEVICE_NPAPI_BUILD tells which): its slots, both sets, the
// GBK texts and the lookups outside the table.
#include <gtest/gtest.h>

#include <string>

#include "device/lang/lang_table.h"
#include "device/lang/lang_texts.h"
#include "platform/kernel/code_page.h"

namespace device::lang {
namespace {

std::string ToUtf8(const std::string& gbk) {
  int chars = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, gbk.data(),
                                  static_cast<int>(gbk.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(chars), u'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                      wide.data(), chars);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), chars, out.data(), bytes, nullptr, nullptr);
  return out;
}

#if DEVICE_NPAPI_BUILD
constexpr int kSlots = 1292;
constexpr int kFilled = 138 - 9;
#else
constexpr int kSlots = 1290;
constexpr int kFilled = 138;
#endif

TEST(LangTable, BothSetsFillTheSameSlotsAndTheChineseIsWholeGbk) {
  ASSERT_EQ(SlotCount(), kSlots);
  int filled = 0;
  for (int id = 1; id <= kSlots; ++id) {
    std::string en = TextIn(kEnglish, id), zh = TextIn(kChinese, id);
    EXPECT_EQ(en.empty(), zh.empty()) << id;
    if (en.empty()) continue;
    ++filled;
    EXPECT_NE(en, zh) << id;
  }
  EXPECT_EQ(filled, kFilled);
  // Every Chinese text reaches the program as GBK that reads back to what was written, with
  // no character lost to a default.
  for (int i = 0; i < kTextCount; ++i) {
    std::string zh = TextIn(kChinese, kTexts[i].id);
    if (zh.empty()) continue;
    EXPECT_EQ(zh.find('?'), std::string::npos) << kTexts[i].id;
    EXPECT_EQ(ToUtf8(zh), kTexts[i].chinese) << kTexts[i].id;
  }
  // GBK, not UTF-8: "通道" is four bytes, its second byte in GBK's trail range.
  std::string channel = TextIn(kChinese, 210);
  ASSERT_EQ(channel.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(channel[0]), 0xCDu);
  EXPECT_EQ(static_cast<unsigned char>(channel[1]), 0xA8u);
  EXPECT_EQ(ToUtf8(TextIn(kChinese, 628)), "SD卡");
  EXPECT_EQ(ToUtf8(TextIn(kChinese, 149)), "聚焦远");  // the lens buttons name focus, zoom, iris
  EXPECT_EQ(ToUtf8(TextIn(kChinese, 155)), "变倍长");
  EXPECT_EQ(ToUtf8(TextIn(kChinese, 165)), "光圈开");
}

TEST(LangTable, TheBuildsSlots) {
  EXPECT_STREQ(TextIn(kEnglish, 121), "left");
  EXPECT_STREQ(TextIn(kEnglish, 241),
               "prompt:double click to  cancel task(or delete task that finished)");
  EXPECT_STREQ(TextIn(kEnglish, 637), "Download failed! code:%d");
  EXPECT_STREQ(TextIn(kEnglish, 1097), "usb export");
  EXPECT_STREQ(TextIn(kEnglish, 1), "");
  EXPECT_STREQ(TextIn(kEnglish, 1007), "");
#if DEVICE_NPAPI_BUILD
  for (int id : {188, 203, 246, 649, 650, 651, 652, 653, 654, 253, 244}) {
    EXPECT_STREQ(TextIn(kEnglish, id), "") << id;
    EXPECT_STREQ(TextIn(kChinese, id), "") << id;
  }
  EXPECT_STREQ(TextIn(kEnglish, 200), "capture dir");
  EXPECT_STREQ(TextIn(kEnglish, 1292), "channel");
  EXPECT_EQ(ToUtf8(TextIn(kChinese, 1292)), "通道");
#else
  EXPECT_STREQ(TextIn(kEnglish, 188), "refresh code");
  EXPECT_STREQ(TextIn(kEnglish, 253), "capture dir");
  EXPECT_STREQ(TextIn(kEnglish, 244), "channel");
  EXPECT_STREQ(TextIn(kEnglish, 652), "success,picture store in:");
  EXPECT_STREQ(TextIn(kEnglish, 200), "");
#endif
}

TEST(LangTable, SelectionAndLookupsOutsideTheTable) {
  testing::internal::CaptureStdout();
  SelectLanguage(kEnglish);
  std::string en = Text(602);
  SelectLanguage(7);  // anything but English is Chinese
  std::string zh = Text(602);
  int selected = SelectedLanguage();
  EXPECT_STREQ(Text(0), "");
  EXPECT_STREQ(Text(kSlots + 1), "");
  EXPECT_STREQ(Text(-5), "");
  EXPECT_STREQ(Text(kSlots), TextIn(kChinese, kSlots));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(en, "stop preview");
  EXPECT_EQ(ToUtf8(zh), "停止预览");
  EXPECT_EQ(selected, kChinese);
  EXPECT_EQ(out.find("init lang:0\r\ninit lang:1\r\nGlobal:"), 0u) << out;
  size_t lines = 0;
  for (size_t at = out.find(": failed assertion\n"); at != std::string::npos;
       at = out.find(": failed assertion\n", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 3u);
  SelectLanguage(kEnglish);
}

}  // namespace
}  // namespace device::lang
