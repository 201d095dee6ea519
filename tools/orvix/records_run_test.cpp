// The record search through the real program, driven by its scripted control actions on the
// headless display: the panel's button, a search, five downloads at once through the save-as
// dialog, a USB export, and what each left on disk and on the screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "platform/process/child_process.h"
#include "platform/vfw/avi_probe.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using platform::process::ChildProcess;

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(RecordsRun, SearchFiveDownloadsAndAnExportThroughThePanel) {
  const fs::path dir = avi_probe::TempDir();
  const fs::path cache = dir / "cache";
  std::ofstream script(dir / "script.txt");
  script << "3 click 1004\n"
            "4 check 1089 on\n4.5 check 1090 on\n5 check 1066 on\n5.5 check 1068 on\n"
            "6 click 1095\n"
            "8 screenshot "
         << (dir / "search.png").string() << "\n";
  double at = 9;
  for (int r = 0; r < 5; ++r, at += 3) {
    script << at << " row 1282 " << r << "\n"
           << at + 0.5 << " click 1005\n"
           << at + 2 << " file \"" << (dir / ("d" + std::to_string(r) + ".avi")).string() << "\"\n";
  }
  script << at << " row 1282 5\n" << at + 0.5 << " click 1097\n";
  script << at + 3 << " click 1002\n"
         << at + 5 << " screenshot " << (dir / "list.png").string() << "\n";
  script.close();
  std::vector<std::string> args = {"-c",
                                   "exec \"$0\" \"$@\" 2>&1",
                                   ORVIX_BINARY,
                                   "--display",
                                   "headless",
                                   "--size",
                                   "1200x800",
                                   "--input",
                                   (dir / "script.txt").string(),
                                   "--after",
                                   std::to_string(at + 7),
                                   "--dvrsim",
                                   ORVIX_DVRSIM_BINARY,
                                   "--dvrsim-arg=--record-cache",
                                   "--dvrsim-arg=" + cache.string()};
  std::string error;
  auto child = ChildProcess::Spawn("/bin/sh", args, &error);
  ASSERT_NE(child, nullptr) << error;
  std::vector<std::string> lines;
  std::string line;
  while (child->ReadLine(&line, 60000)) lines.push_back(line);
  ASSERT_EQ(child->Wait(30000), 0);
  auto has = [&](const std::string& text) {
    for (const auto& l : lines) {
      if (l.find(text) != std::string::npos) return true;
    }
    return false;
  };
  // The lines that hold any of `words`: what a failure under a loaded ctest is told by.
  auto said = [&](std::initializer_list<const char*> words) {
    std::string out;
    for (const auto& l : lines) {
      for (const char* w : words) {
        if (l.find(w) != std::string::npos) {
          out += l + "\n";
          break;
        }
      }
    }
    return out;
  };
  EXPECT_TRUE(has("prompt find 8 records"));
  if (!has("dvrsim: usb export complete")) {
    // Seen about one run in six under a loaded ctest.
    ADD_FAILURE() << "no \"dvrsim: usb export complete\"; the export's lines:\n"
                  << said({"export", "46", "1097", "input line"});
  }
  // Each download is byte for byte one of the simulator's files, each a different one, and
  // plays.
  std::set<std::string> served;
  std::regex name("download of (.*\\.avi): code 0");
  for (const auto& l : lines) {
    std::smatch m;
    if (std::regex_search(l, m, name)) served.insert(Bytes(m[1].str()));
  }
  // Seen once in three full runs under a loaded ctest: no download at all.
  EXPECT_EQ(served.size(), 5u) << said({"download", "prompt", "record", "input line", "1005"});
  std::set<std::string> got;
  for (int r = 0; r < 5; ++r) {
    const fs::path file = dir / ("d" + std::to_string(r) + ".avi");
    const std::string bytes = Bytes(file);
    EXPECT_TRUE(served.count(bytes)) << file;
    got.insert(bytes);
    auto streams = avi_probe::Probe(file.string());
    ASSERT_EQ(streams.size(), 1u) << file;
    EXPECT_EQ(streams[0].codec_type, "video");
    EXPECT_FALSE(fs::exists(file.string() + ".part"));
  }
  EXPECT_EQ(got.size(), 5u);
  EXPECT_TRUE(fs::exists(dir / "search.png"));
  EXPECT_TRUE(fs::exists(dir / "list.png"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvix
