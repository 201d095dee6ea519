// What the hive files go through between processes: writers killed at any moment, and
// writers at the same time. The children are forked from the test and use the same calls.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "platform/registry/winreg.h"

namespace {

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvix-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setenv("ORVIX_REGISTRY_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORVIX_REGISTRY_DIR");
    std::filesystem::remove_all(folder_);
  }
  std::string folder_;
};

// The counter value of HKLM\Test, -1 when there is none yet; fails the test on a hive that
// does not load.
DWORD ReadCounter(LONG* result) {
  HKEY key = nullptr;
  *result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Test", 0, KEY_READ, &key);
  if (*result == ERROR_FILE_NOT_FOUND) {
    *result = ERROR_SUCCESS;
    return 0;
  }
  if (*result != ERROR_SUCCESS) return 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  *result = RegQueryValueExA(key, "n", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
  if (*result == ERROR_FILE_NOT_FOUND) *result = ERROR_SUCCESS;
  RegCloseKey(key);
  return value;
}

// Counts up from what the hive holds, one change per step, with keys coming and going so that
// the file's length changes too; never returns.
[[noreturn]] void CountForever() {
  LONG result = ERROR_SUCCESS;
  DWORD n = ReadCounter(&result);
  if (result != ERROR_SUCCESS) _exit(2);
  for (;;) {
    ++n;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS ||
        RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), 4) !=
            ERROR_SUCCESS) {
      _exit(3);
    }
    const std::string sub = "K" + std::to_string(n % 20);
    HKEY child = nullptr;
    if (n % 3 == 0) {
      SHDeleteKeyA(key, sub.c_str());
    } else if (RegCreateKeyExA(key, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child,
                               nullptr) == ERROR_SUCCESS) {
      RegCloseKey(child);
    }
    RegCloseKey(key);
  }
}

TEST_F(RegistryStoreTest, WritersKilledAtAnyMomentLeaveTheLastWholeHive) {
  std::mt19937 random(12345);
  DWORD last = 0;
  int progressed = 0;
  for (int round = 0; round < 40; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) CountForever();
    usleep(5000 + random() % 25000);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed by itself: " << WEXITSTATUS(status);
    LONG result = ERROR_SUCCESS;
    const DWORD now = ReadCounter(&result);
    ASSERT_EQ(result, ERROR_SUCCESS) << "round " << round;
    EXPECT_GE(now, last) << "a change that had been stored was lost";
    if (now > last) ++progressed;
    last = now;
  }
  EXPECT_GE(progressed, 10) << "too few rounds got a change stored to test anything";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    (void)entry;
    ++files;
  }
  EXPECT_LE(files, 3);  // the hive, its lock and at most one unfinished new file
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kEach = 150;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      for (int i = 0; i < kEach; ++i) {
        HKEY key = nullptr;
        const std::string name = std::string(1, static_cast<char>('a' + c)) + std::to_string(i);
        if (RegCreateKeyExA(HKEY_CURRENT_USER, c == 0 ? "Shared" : "Shared\\Sub", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS ||
            RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(name.c_str()),
                           static_cast<DWORD>(name.size() + 1)) != ERROR_SUCCESS) {
          _exit(1);
        }
        RegCloseKey(key);
      }
      _exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int c = 0; c < 2; ++c) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, c == 0 ? "Shared" : "Shared\\Sub", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    for (int i = 0; i < kEach; ++i) {
      const std::string name = std::string(1, static_cast<char>('a' + c)) + std::to_string(i);
      char text[16];
      DWORD size = sizeof(text);
      ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                                 &size),
                ERROR_SUCCESS)
          << name;
      EXPECT_EQ(name, text);
    }
    RegCloseKey(key);
  }
}

}  // namespace
