#include "platform/ui/dialog_rc.h"

#include <gtest/gtest.h>

#include "platform/ui/controls_edit_text.h"
#include "platform/ui/controls_list.h"
#include "platform/ui/dialog.h"

namespace platform::ui {
namespace {

constexpr char kSource[] = R"(
#define IDD_A 100
#define IDC_X 1001
/* a comment
   over lines */
IDD_A DIALOGEX 1, 2, 100, 50
STYLE WS_POPUP | WS_CAPTION | 0x10
CAPTION "Say ""hi""\n"
FONT 9, "Tahoma", 400, 0, 0x1
BEGIN
  LTEXT "Label", IDC_STATIC, 4, 4, 40, 8  // trailing comment
  EDITTEXT IDC_X, 4, 14, 40, 12, ES_NUMBER | NOT WS_BORDER, WS_EX_CLIENTEDGE
  CONTROL "", 1002, "SysListView32", 0x0001 | WS_TABSTOP, 4, 30, 90, 16
END
173 BITMAP "art/channel.bmp"
1 TYPELIB "lib.typelib"
1 RCDATA "blob.bin"
named DIALOG 0, 0, 10, 10
BEGIN
END
STRINGTABLE
BEGIN
  600 "six hundred"
  IDC_X, "x"
END
)";

TEST(ResourceSourceTest, ReadsDialogsItemsStylesAndStrings) {
  rc::File f;
  std::string error;
  ASSERT_TRUE(rc::Parse(kSource, &f, &error)) << error;
  ASSERT_EQ(f.dialogs.size(), 2u);
  const rc::Dialog& d = f.dialogs[0];
  EXPECT_EQ(d.id, 100);
  EXPECT_EQ(d.style, WS_POPUP | WS_CAPTION | 0x10 | DS_SETFONT);
  EXPECT_EQ(d.caption, "Say \"hi\"\n");
  EXPECT_EQ(d.font_face, "Tahoma");
  EXPECT_EQ(d.font_points, 9);
  ASSERT_EQ(d.items.size(), 3u);
  EXPECT_EQ(d.items[0].class_name, "STATIC");
  EXPECT_EQ(d.items[0].id, -1);
  EXPECT_EQ(d.items[1].style, WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NUMBER);
  EXPECT_EQ(d.items[1].ex_style, WS_EX_CLIENTEDGE);
  EXPECT_EQ(d.items[2].class_name, "SysListView32");
  EXPECT_EQ(d.items[2].style, WS_CHILD | WS_VISIBLE | WS_TABSTOP | 1u);
  EXPECT_EQ(d.items[2].cy, 16);
  EXPECT_EQ(f.dialogs[1].name, "named");
  EXPECT_EQ(f.dialogs[1].id, 0);
  EXPECT_EQ(f.dialogs[1].style, WS_POPUP | WS_BORDER | WS_SYSMENU);
  ASSERT_EQ(f.bitmaps.size(), 1u);
  EXPECT_EQ(f.bitmaps[0], (std::pair<int, std::string>{173, "art/channel.bmp"}));
  EXPECT_EQ(f.data,
            (std::vector<rc::DataFile>{{"TYPELIB", 1, "lib.typelib"}, {"RCDATA", 1, "blob.bin"}}));
  ASSERT_EQ(f.strings.size(), 2u);
  EXPECT_EQ(f.strings[1], (std::pair<int, std::string>{1001, "x"}));
}

TEST(ResourceSourceTest, FaultsNameTheirLine) {
  struct Case {
    const char* source;
    const char* error;
  } cases[] = {
      {"1 DIALOG 0, 0, 10, 10\nSTYLE WS_NOPE\nBEGIN\nEND\n", "2: unknown name WS_NOPE"},
      {"1 DIALOG 0, 0, 10\nBEGIN\nEND\n", "2: expected ','"},
      {"1 DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"open, 1, 0, 0, 1, 1\nEND\n",
       "3: unterminated string"},
      {"1 DIALOG 0, 0, 10, 10\nBEGIN\n  PUSHBUTTON \"a\", 1, 0, 0, 1, 1\n",
       "4: dialog without END"},
      {"1 DIALOG 0, 0, 10, 10\nBEGIN\n  SLIDER 1, 0, 0, 1, 1\nEND\n",
       "3: unknown control keyword SLIDER"},
      {"1 DIALOG 0,0,1,1\nBEGIN\nEND\n1 DIALOG 0,0,1,1\nBEGIN\nEND\n", "4: dialog given twice"},
      {"STRINGTABLE\nBEGIN\n 1 \"a\"\n 1 \"b\"\nEND\n", "4: string 1 given twice"},
      {"70000 DIALOG 0,0,1,1\nBEGIN\nEND\n", "1: dialog id out of 1..65535"},
      {"/* never closed", "1: unterminated comment"},
      {"1 DIALOG 0,0,1,1\nFONT 0, \"x\"\nBEGIN\nEND\n", "2: font size out of 1..72"},
      {"1 DIALOG 0,0,1,1 @", "1: unexpected character '@'"},
      {"5 BITMAP \"a.bmp\"\n5 BITMAP \"b.bmp\"\n", "2: bitmap 5 given twice"},
      {"art BITMAP \"a.bmp\"\n", "1: a bitmap needs a number as its id"},
      {"5 BITMAP\n", "2: expected the bitmap's file"},
      {"1 TYPELIB \"a\"\n1 TYPELIB \"b\"\n", "2: TYPELIB 1 given twice"},
      {"lib TYPELIB \"a\"\n", "1: a TYPELIB resource needs a number as its id"},
  };
  for (const Case& c : cases) {
    rc::File f;
    std::string error;
    EXPECT_FALSE(rc::Parse(c.source, &f, &error)) << c.source;
    EXPECT_EQ(error, c.error) << c.source;
    EXPECT_TRUE(f.dialogs.empty());
  }
}

TEST(EditTextTest, CaretSelectionAndLimitKeepGbkCharactersWhole) {
  EditText t;
  t.Set(
      "a\xD6\xD0"
      "b");  // a, 中, b
  EXPECT_EQ(t.caret(), 4u);
  t.Left(false);
  EXPECT_EQ(t.caret(), 3u);
  t.Left(false);
  EXPECT_EQ(t.caret(), 1u);  // over the two-byte character at once
  t.Select(2, 3);            // inside the character: moved to its edges
  EXPECT_EQ(t.sel_start(), 1u);
  EXPECT_EQ(t.sel_end(), 3u);
  EXPECT_TRUE(t.Replace("xy"));
  EXPECT_EQ(t.text(), "axyb");
  t.set_limit(5);
  t.End(false);
  EXPECT_FALSE(t.Replace("\xCE\xC4"));  // only one byte of room: the character stays out
  EXPECT_EQ(t.text(), "axyb");
  EXPECT_FALSE(t.Replace("zz"));
  EXPECT_EQ(t.text(), "axybz");
  t.Home(false);
  t.Right(true);
  t.Right(true);
  EXPECT_EQ(t.selected(), "ax");
  EXPECT_TRUE(t.Backspace());
  EXPECT_EQ(t.text(), "ybz");
  t.End(false);
  EXPECT_FALSE(t.Delete());
  t.Set(std::string(10, 'q'));
  EXPECT_EQ(t.text().size(), 5u);
  t.set_limit(10);
  t.Set("ab\xD6");  // a trailing lead byte without its partner is dropped
  EXPECT_EQ(t.text(), "ab\xD6");
  EXPECT_EQ(t.Prev(3), 2u);
}

TEST(ListModelTest, SortedInsertFindAndBounds) {
  ListModel m(true);
  EXPECT_EQ(m.Add("delta"), 0);
  EXPECT_EQ(m.Add("Alpha"), 0);
  EXPECT_EQ(m.Add("charlie"), 1);
  EXPECT_EQ(m.Add("bravo"), 1);
  EXPECT_EQ(m.at(3).text, "delta");
  EXPECT_EQ(m.Find(-1, "CH", false), 2);
  EXPECT_EQ(m.Find(2, "ch", false), 2);  // wraps around to itself
  EXPECT_EQ(m.Find(-1, "char", true), -1);
  EXPECT_EQ(m.Find(-1, "Charlie", true), 2);
  EXPECT_EQ(m.Insert(9, "x"), -1);
  EXPECT_FALSE(m.Delete(4));
  EXPECT_TRUE(m.Delete(0));
  EXPECT_EQ(m.size(), 3);
}

}  // namespace
}  // namespace platform::ui
