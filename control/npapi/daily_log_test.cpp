#include "control/npapi/daily_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "platform/kernel/clock.h"

namespace {

using control::npapi::LogDirectory;
using control::npapi::LogFileName;
using control::npapi::WriteLog;

// Entries go to the day's file beside the module, each stamped and on its own line, appended
// to what the file held.
TEST(DailyLog, AppendsStampedLinesToTheDaysFile) {
  EXPECT_EQ(LogFileName(2026, 3, 7), "Log_20260307.txt");
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::string path = LogDirectory() + "/" + LogFileName(now.wYear, now.wMonth, now.wDay);
  std::remove(path.c_str());
  WriteLog("search chn=%d type=%d", 3, 1);
  WriteLog("%s", "download done");
  std::ifstream in(path);
  ASSERT_TRUE(in.good()) << path;
  std::string first;
  std::string second;
  std::getline(in, first);
  std::getline(in, second);
  EXPECT_TRUE(std::regex_match(first, std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2}:search chn=3 type=1")))
      << first;
  EXPECT_TRUE(std::regex_match(second, std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2}:download done")))
      << second;
  std::remove(path.c_str());
}

}  // namespace
