// The library's log: levels, the hook, truncation, and the "test_timer.log" file.

#include "signaling/log.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "signaling/engine_test_support.h"

namespace sigbus::test {
namespace {

// "MM-DD hh:mm:ss LLL text": the time stamp, then the level in three digits.
bool is_file_line(const std::string& line, const std::string& level, const std::string& text) {
  const std::string shape = "00-00 00:00:00";
  if (line.size() != shape.size() + 1 + 3 + 1 + text.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
    if (shape[i] == '0' ? !digit : line[i] != shape[i]) return false;
  }
  return line.substr(shape.size()) == " " + level + " " + text;
}

std::string read_log_file() {
  std::ifstream in("test_timer.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(EngineTest, MinimumLevelFiltersLines) {
  vq_io_set_loglevel(2);
  int handle = open(0);
  vq_listen(handle, 0, "x");
  vq_close(handle, 5);
  auto lines = captured_log();
  ASSERT_FALSE(lines.empty());
  for (const LogLine& line : lines) EXPECT_GE(line.level, 2) << line.text;
  EXPECT_EQ(lines[0].text, "listen port=0,handle=" + std::to_string(handle));
  EXPECT_EQ(lines[0].tag, "trans_lib");
}

TEST_F(EngineTest, HookTakesTheLinesAndTheFileStaysEmpty) {
  int handle = open(0);
  vq_close(handle + 100, 7);
  EXPECT_TRUE(log_contains("close connection 7"));
  EXPECT_TRUE(log_contains("vq_io_open success, handle=" + std::to_string(handle)));
  ASSERT_TRUE(std::filesystem::exists("test_timer.log"));
  vq_io_close(handle);
  EXPECT_EQ(read_log_file(), "");
}

TEST_F(EngineTest, LinesAreCutTo255CharactersAndNeverTakenAsFormats) {
  std::string long_text(300, 'x');
  log_line("t", 1, "%s", long_text.c_str());
  log_line("frame", 4, "%s", "peer sent %s%n");
  auto lines = captured_log();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, std::string(255, 'x'));
  EXPECT_EQ(lines[1].text, "peer sent %s%n");
  EXPECT_EQ(lines[1].tag, "frame");
}

TEST_F(EngineTest, LogFileFormatAndLifetime) {
  vq_io_log(nullptr);
  int first = open(0);
  int second = open(1);
  log_line("t", 3, "%s", std::string(300, 'y').c_str());
  vq_io_close(first);
  log_line("t", 2, "still open");
  vq_io_close(second);
  log_line("t", 2, "after close");
  std::string text = read_log_file();
  bool found = false;
  std::istringstream lines(text);
  for (std::string l; std::getline(lines, l);)
    found |= is_file_line(l, "003", std::string(255, 'y'));
  EXPECT_TRUE(found) << text;
  EXPECT_NE(text.find(" 002 still open\n"), std::string::npos);
  EXPECT_EQ(text.find("after close"), std::string::npos);
  EXPECT_NE(text.find(" 001 engine " + std::to_string(first) + " deleted\n"), std::string::npos);

  // The next open empties the file.
  int third = open(0);
  vq_io_close(third);
  text = read_log_file();
  EXPECT_EQ(text.find("still open"), std::string::npos);
  EXPECT_NE(text.find("vq_io_open success, handle=" + std::to_string(third)), std::string::npos);
}

}  // namespace
}  // namespace sigbus::test
