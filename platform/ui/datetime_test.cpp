// The date-time picker's format and calendar rules.
#include <gtest/gtest.h>

#include "platform/ui/datetime_format.h"

namespace platform::ui::commctrl {
namespace {

SYSTEMTIME Time(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(y);
  t.wMonth = static_cast<WORD>(mo);
  t.wDay = static_cast<WORD>(d);
  t.wHour = static_cast<WORD>(h);
  t.wMinute = static_cast<WORD>(mi);
  t.wSecond = static_cast<WORD>(s);
  return t;
}

TEST(DateTimeFormat, FormatsAndReadsBackTheRecordSearchLayout) {
  auto f = DateTimeFormat::Parse("yyyy-MM-dd HH:mm:ss");
  EXPECT_EQ(f.Format(Time(2024, 3, 7, 9, 5, 0)), "2024-03-07 09:05:00");
  SYSTEMTIME out{};
  ASSERT_TRUE(f.ParseText("2024-02-29 23:59:59", Time(2000, 1, 1), &out));
  EXPECT_EQ(out.wYear, 2024);
  EXPECT_EQ(out.wDay, 29);
  EXPECT_EQ(out.wSecond, 59);
  EXPECT_EQ(out.wDayOfWeek, 4);  // a Thursday
  auto literal = DateTimeFormat::Parse("d'. of 'M yy");
  EXPECT_EQ(literal.Format(Time(2031, 11, 2)), "2. of 11 31");
}

TEST(DateTimeFormat, RefusesTextsThatAreNoRealTime) {
  auto f = DateTimeFormat::Parse("yyyy-MM-dd HH:mm:ss");
  SYSTEMTIME base = Time(2020, 5, 5, 5, 5, 5);
  SYSTEMTIME out = base;
  for (const char* bad : {"2023-02-29 00:00:00", "2023-13-01 00:00:00", "2023-04-31 00:00:00",
                          "2023-01-01 24:00:00", "2023-01-01 10:60:00", "2023-1-01 10:00:00",
                          "2023-01-01 10:00:00x", "2023-01-01", "1600-01-01 00:00:00", ""}) {
    EXPECT_FALSE(f.ParseText(bad, base, &out)) << bad;
  }
  EXPECT_EQ(out.wYear, 2020);
  EXPECT_TRUE(f.ParseText("2000-02-29 00:00:00", base, &out));  // a leap century
  EXPECT_FALSE(f.ParseText("1900-02-29 00:00:00", base, &out));
}

TEST(DateTimeFormat, FieldsWrapAndPullTheDayIntoShorterMonths) {
  SYSTEMTIME t = Time(2023, 12, 31, 23, 59, 59);
  StepField(FieldKind::kMonth, +1, &t);
  EXPECT_EQ(t.wMonth, 1);
  EXPECT_EQ(t.wYear, 2023);  // fields wrap alone, without carrying
  StepField(FieldKind::kMonth, +1, &t);
  EXPECT_EQ(t.wMonth, 2);
  EXPECT_EQ(t.wDay, 28);
  StepField(FieldKind::kDay, +1, &t);
  EXPECT_EQ(t.wDay, 1);
  StepField(FieldKind::kHour, +1, &t);
  EXPECT_EQ(t.wHour, 0);
  StepField(FieldKind::kSecond, -1, &t);
  EXPECT_EQ(t.wSecond, 58);
  t.wYear = 9999;
  StepField(FieldKind::kYear4, +1, &t);
  EXPECT_EQ(t.wYear, 9999);
  EXPECT_FALSE(SetField(FieldKind::kDay, 29, &t));  // 9999 is no leap year
  EXPECT_EQ(t.wDay, 1);
}

}  // namespace
}  // namespace platform::ui::commctrl
