#include "tools/orvix/page_file.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace orvix {
namespace {

TEST(PageFile, ParamsOfTheObjectAsBrowsersReadThem) {
  const char* html = R"(<!DOCTYPE html><html><head>
<script>var s = "<object><param name='Fake' value='no'></object>";</script>
<!-- <param name="Commented" value="no"> -->
</head><body>
<param name="Outside" value="no">
<OBJECT id=viewer classid="clsid:00000000-0000-0000-0000-000000000000" width=874 height=576>
  <PARAM NAME="DvrAddr" VALUE="192.168.1.20">
  <param name='DvrChnNum' value='4'/>
  <param name=Preview value=1>
  <param value="Gate &amp; Yard &#21335;&#x95E8;" name="sipName">
  <param name="Lang" value="">
  <param name="DefChShow">
  <param value="orphan">
  <param name="RelayState" value="3" value="4">
  <object data="fallback"><param name="Nested" value="no"></object>
  <embed src="x">
</object>
<param name="After" value="no">
</body></html>)";
  PageParams p = ParsePageParams(html);
  PageParams want = {{"DvrAddr", "192.168.1.20"},
                     {"DvrChnNum", "4"},
                     {"Preview", "1"},
                     {"sipName", "Gate & Yard \xE5\x8D\x97\xE9\x97\xA8"},
                     {"Lang", ""},
                     {"DefChShow", ""},
                     {"RelayState", "3"}};
  EXPECT_EQ(p, want);
}

TEST(PageFile, TruncatedAndOddPagesDoNotStopTheReader) {
  // No </object>, an unterminated quote, a stray '<' and an unknown reference.
  PageParams p = ParsePageParams(
      "<object><param name=a value=\"1 < 2 &bogus; &#;\"> a < b <param name=b value='x");
  PageParams want = {{"a", "1 < 2 &bogus; &#;"}, {"b", "x"}};
  EXPECT_EQ(p, want);
  EXPECT_TRUE(ParsePageParams("<object></object>").empty());
  EXPECT_TRUE(ParsePageParams("<object").empty());
  EXPECT_THROW(ParsePageParams("<html><param name=a value=1></html>"), std::invalid_argument);
  EXPECT_THROW(ParsePageParams(""), std::invalid_argument);
  EXPECT_THROW(ParsePageParams("<!-- <object> -->"), std::invalid_argument);
  try {
    ReadPageFile("/no/such/page.html");
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()), "/no/such/page.html: cannot read the page file");
  }
}

}  // namespace
}  // namespace orvix
