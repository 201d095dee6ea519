// ShellExecuteA hands documents to the desktop's opener, here a stand-in on PATH that writes
// down where and with what it was started.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/ui/shellapi.h"

namespace {

class ShellExecuteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvix_shell_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::string opener = dir_ + "/xdg-open";
    std::ofstream(opener) << "#!/bin/sh\necho \"$PWD|$1\" > " << dir_ << "/opened.tmp && mv "
                          << dir_ << "/opened.tmp " << dir_ << "/opened\n";
    chmod(opener.c_str(), 0755);
    std::ofstream(dir_ + "/manual.txt") << "text";
    const char* path = std::getenv("PATH");
    old_path_ = path ? path : "";
    setenv("PATH", (dir_ + ":" + old_path_).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", old_path_.c_str(), 1);
    std::system(("rm -rf " + dir_).c_str());
  }
  // What the opener wrote, waiting up to two seconds for it.
  std::string Opened() {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < end) {
      std::ifstream in(dir_ + "/opened");
      std::string line;
      if (std::getline(in, line)) return line;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
  }
  std::string dir_;
  std::string old_path_;
};

TEST_F(ShellExecuteTest, OpensTheDocumentInItsFolderAndRefusesWhatItCannotOpen) {
  std::string doc = dir_ + "/manual.txt";
  HINSTANCE r = ShellExecuteA(nullptr, "open", doc.c_str(), nullptr, dir_.c_str(), SW_SHOWNORMAL);
  EXPECT_GT(reinterpret_cast<intptr_t>(r), 32);
  EXPECT_EQ(Opened(), dir_ + "|" + doc);
  EXPECT_EQ(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", (dir_ + "/none").c_str(),
                                                     nullptr, dir_.c_str(), SW_SHOWNORMAL)),
            2);
  EXPECT_EQ(reinterpret_cast<intptr_t>(
                ShellExecuteA(nullptr, "print", doc.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
            SE_ERR_NOASSOC);
  // A relative name is found in the folder.
  std::remove((dir_ + "/opened").c_str());
  ShellExecuteA(nullptr, nullptr, "manual.txt", nullptr, dir_.c_str(), SW_SHOWNORMAL);
  EXPECT_EQ(Opened(), dir_ + "|" + doc);
}

}  // namespace
