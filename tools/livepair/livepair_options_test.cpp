// The command line: values checked with the option named in the message.
#include "tools/livepair/livepair_options.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace livepair {
namespace {

TEST(LivepairOptions, BadValuesAreRefusedWithTheirOption) {
  auto message = [](std::vector<std::string> args) {
    try {
      ParseOptions(args);
    } catch (const std::invalid_argument& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(ParseOptions({"--dvr", "10.0.0.9:8554"}).dvrPort, 8554);
  EXPECT_EQ(ParseOptions({"--dvr", "dvr.local"}).dvrPort, 554);
  EXPECT_EQ(ParseOptions({"--channels", "4,7"}).channels[1], 7);
  EXPECT_NE(message({"--dvr", "host:99999"}).find("--dvr port"), std::string::npos);
  EXPECT_NE(message({"--channels", "3"}).find("--channels"), std::string::npos);
  EXPECT_NE(message({"--channels", "2,2"}).find("different"), std::string::npos);
  EXPECT_NE(message({"--loss", "1.5"}).find("--loss"), std::string::npos);
  EXPECT_NE(message({"--record"}).find("needs a value"), std::string::npos);
  EXPECT_NE(message({"--dvr", "h", "--loss", "0.1"}).find("--dvr"), std::string::npos);
  EXPECT_NE(message({"extra"}).find("unexpected"), std::string::npos);
}

}  // namespace
}  // namespace livepair
