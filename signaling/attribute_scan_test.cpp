#include "signaling/attribute_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace sigbus {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs scan(const std::string& text) {
  Pairs out;
  scan_attributes(
      text.c_str(), text.c_str() + text.size(),
      [&](std::string_view name, std::string_view value) { out.emplace_back(name, value); });
  return out;
}

TEST(AttributeScan, ReadsNamesAndQuotedValues) {
  EXPECT_EQ(scan(" a=\"1\"\tb=\"two words\"  c=\"\" "),
            (Pairs{{"a", "1"}, {"b", "two words"}, {"c", ""}}));
}

TEST(AttributeScan, NameEndsAtTheLastEqualsOutsideQuotes) {
  EXPECT_EQ(scan("a=b=\"v\""), (Pairs{{"a=b", "v"}}));
  EXPECT_EQ(scan("k=\"x=y\""), (Pairs{{"k", "x=y"}}));
  // An "=" at the first character of the token does not count.
  EXPECT_EQ(scan("=\"v\" b=\"2\""), Pairs{});
  EXPECT_EQ(scan("==\"v\""), (Pairs{{"=", "v"}}));
}

TEST(AttributeScan, MissingQuotesGiveAnEmptyValue) {
  EXPECT_EQ(scan("a=1 b=\"2"), (Pairs{{"a", ""}, {"b", ""}}));
}

TEST(AttributeScan, TokenWithoutEqualsEndsTheScan) {
  EXPECT_EQ(scan("a=\"1\" junk b=\"2\""), (Pairs{{"a", "1"}}));
  EXPECT_EQ(scan("   "), Pairs{});
}

TEST(AttributeScan, StopsAtAreaEndAndAtNul) {
  std::string text = "a=\"1\" b=\"2\"";
  Pairs out;
  scan_attributes(
      text.c_str(), text.c_str() + 6,
      [&](std::string_view name, std::string_view value) { out.emplace_back(name, value); });
  EXPECT_EQ(out, (Pairs{{"a", "1"}}));
  const char with_nul[] = "a=\"1\"\0b=\"2\"";
  out.clear();
  scan_attributes(
      with_nul, with_nul + sizeof with_nul - 1,
      [&](std::string_view name, std::string_view value) { out.emplace_back(name, value); });
  EXPECT_EQ(out, (Pairs{{"a", "1"}}));
}

TEST(AttributeScan, AreaRunsToTheFirstSlashOrAngle) {
  const char* text = "<x><IE_BODY a=\"1\" /><y>";
  const char* begin;
  const char* end;
  ASSERT_TRUE(find_attribute_area(text, "IE_BODY", begin, end));
  EXPECT_EQ(std::string(begin, end), " a=\"1\" ");
  EXPECT_FALSE(find_attribute_area(text, "IE_HEADER", begin, end));
  ASSERT_TRUE(find_attribute_area("IE_BODY k=\"v\"", "IE_BODY", begin, end));
  EXPECT_EQ(std::string(begin, end), " k=\"v\"");
}

}  // namespace
}  // namespace sigbus
