#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/kernel/code_page.h"
#include "platform/kernel/kernel.h"

namespace {

TEST(Clock, TickCountAdvancesWithSleep) {
  DWORD start = GetTickCount();
  Sleep(30);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 29u);
  EXPECT_LT(elapsed, 5000u);
  EXPECT_EQ(static_cast<DWORD>(GetTickCount64()) - GetTickCount(), 0u);
}

TEST(Clock, LocalTimeMatchesTheCalendar) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  SYSTEMTIME st{};
  GetLocalTime(&st);
  EXPECT_EQ(st.wYear, tm.tm_year + 1900);
  EXPECT_EQ(st.wMonth, tm.tm_mon + 1);
  EXPECT_GE(st.wDay, 1);
  EXPECT_LE(st.wDay, 31);
  EXPECT_LT(st.wHour, 24);
  EXPECT_LT(st.wMilliseconds, 1000);
}

TEST(LastError, IsPerThread) {
  SetLastError(1234);
  HANDLE thread = CreateThread(
      nullptr, 0, [](void*) -> DWORD { return GetLastError(); }, nullptr, 0, nullptr);
  WaitForSingleObject(thread, 5000);
  DWORD code = 1;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(GetLastError(), 1234u);
  CloseHandle(thread);
}

void AddressInTheProgram() {}

TEST(Module, FindsTheProgramAndALibraryByAddress) {
  HMODULE self = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                 reinterpret_cast<LPCSTR>(&AddressInTheProgram), &self));
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(self, path, sizeof(path));
  ASSERT_GT(n, 0u);
  EXPECT_EQ(path[0], '/');
  EXPECT_NE(std::string(path).find("platform_kernel_test"), std::string::npos) << path;

  HMODULE libc = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                 reinterpret_cast<LPCSTR>(&std::strlen), &libc));
  EXPECT_NE(libc, self);
  n = GetModuleFileNameA(libc, path, sizeof(path));
  ASSERT_GT(n, 0u);
  EXPECT_NE(std::string(path).find(".so"), std::string::npos) << path;

  // The kernel's own calls live in the platform library.
  HMODULE platform = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                 reinterpret_cast<LPCSTR>(&GetTickCount), &platform));
  n = GetModuleFileNameA(platform, path, sizeof(path));
  ASSERT_GT(n, 0u);
  EXPECT_NE(std::string(path).find("/libOrvixPlatform.so"), std::string::npos) << path;
}

TEST(Module, ShortBufferIsCutAndTerminated) {
  char path[8];
  std::memset(path, 'x', sizeof(path));
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof(path)), sizeof(path));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(path[7], '\0');
  EXPECT_EQ(path[0], '/');
}

}  // namespace

namespace {

TEST(CodePage, Utf8TextReachesTheProgramsCodePageAndBack) {
  const char* utf8 = "\xe9\x80\x9a\xe9\x81\x93 1";  // "通道 1"
  int chars = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  ASSERT_EQ(chars, 5);  // two characters, space, digit, NUL
  std::u16string wide(chars, u'\0');
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), chars), chars);
  char gbk[16] = {};
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, gbk, sizeof gbk, nullptr, nullptr), 7);
  EXPECT_STREQ(gbk, "\xcd\xa8\xb5\xc0 1");

  // A buffer that cannot hold the text gets nothing, and the caller is told why.
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, gbk, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage, BrokenInputIsReplacedOrRefusedAndUnknownPagesAreRefused) {
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xff\xfe", 2, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  // Without the flag each broken sequence stands as one U+FFFD, which GBK gives as the
  // default character.
  WCHAR wide[4] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xe9\x80z", 4, wide, 4), 3);
  EXPECT_EQ(wide[1], 0xFFFD);
  char gbk[4] = {};
  BOOL used = FALSE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 3, gbk, 4, nullptr, &used), 3);
  EXPECT_STREQ(gbk, "a?z");
  EXPECT_TRUE(used);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a", -2, nullptr, 0), 0);
}

}  // namespace
