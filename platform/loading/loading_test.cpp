// The host's side of loading a module: finding it, binding its entry points, sharing one
// window tree and display with it, and what is left once it is unloaded.

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/loading/test_module.h"
#include "platform/ui/ui.h"

namespace {

namespace fs = std::filesystem;
using platform::display::Display;

constexpr char kModule[] = "loading_test_module.so";

int ThreadCount() {
  int n = 0;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return -1;
  while (dirent* e = readdir(dir)) n += e->d_name[0] != '.';
  closedir(dir);
  return n;
}

// A finished thread leaves /proc/self/task a moment after its handle is signalled.
int ThreadCountSettledAt(int expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int n = ThreadCount();
  while (n != expected && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    n = ThreadCount();
  }
  return n;
}

int TopLevelWindowCount() {
  int n = 0;
  for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w != nullptr;
       w = GetWindow(w, GW_HWNDNEXT))
    ++n;
  return n;
}

void Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

std::string ModuleFile(HMODULE module) {
  char path[1024];
  DWORD n = GetModuleFileNameA(module, path, sizeof(path));
  return std::string(path, n);
}

std::string ProgramFolder() { return fs::path(ModuleFile(nullptr)).parent_path().string(); }

class ScopedModulePath {
 public:
  explicit ScopedModulePath(const std::string& value) {
    if (const char* old = getenv("ORVIX_MODULE_PATH")) old_ = old, had_ = true;
    setenv("ORVIX_MODULE_PATH", value.c_str(), 1);
  }
  ~ScopedModulePath() {
    if (had_) {
      setenv("ORVIX_MODULE_PATH", old_.c_str(), 1);
    } else {
      unsetenv("ORVIX_MODULE_PATH");
    }
  }

 private:
  std::string old_;
  bool had_ = false;
};

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/loading_test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(LoadLibrary, FindsModulesOnThePathBeforeTheProgramsFolder) {
  unsetenv("ORVIX_MODULE_PATH");
  HMODULE beside = LoadLibraryA(kModule);
  ASSERT_NE(beside, nullptr) << GetLastError();
  EXPECT_EQ(ModuleFile(beside), fs::canonical(ProgramFolder() + "/" + kModule).string());
  ASSERT_TRUE(FreeLibrary(beside));

  TempDir dir;
  fs::copy_file(ProgramFolder() + "/" + kModule, dir.path() + "/" + kModule);
  ScopedModulePath path("::/nonexistent:" + dir.path());
  HMODULE first = LoadLibraryA(kModule);
  ASSERT_NE(first, nullptr) << GetLastError();
  EXPECT_EQ(ModuleFile(first), fs::canonical(dir.path() + "/" + kModule).string());
  ASSERT_TRUE(FreeLibrary(first));
}

TEST(LoadLibrary, FailuresNameTheModuleAndSetTheLastError) {
  TempDir dir;
  ScopedModulePath path(dir.path());
  testing::internal::CaptureStderr();
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("no_such_module.so"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("\"no_such_module.so\""), std::string::npos) << said;
  EXPECT_NE(said.find(dir.path()), std::string::npos) << said;

  std::ofstream(dir.path() + "/broken.so") << "not an object file";
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadLibraryA("broken.so"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
  said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("broken.so"), std::string::npos) << said;

  // Hidden pieces of the platform are not there to bind: the load fails, naming the symbol.
  unsetenv("ORVIX_MODULE_PATH");
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadLibraryA("loading_hidden_module.so"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
  said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("undefined symbol"), std::string::npos) << said;
  EXPECT_NE(said.find("TreeMutex"), std::string::npos) << said;

  SetLastError(0);
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(LoadLibrary, ReferencesAreCountedAndOnlyTheModulesOwnSymbolsAreFound) {
  unsetenv("ORVIX_MODULE_PATH");
  HMODULE a = LoadLibraryA(kModule);
  HMODULE b = LoadLibraryA((ProgramFolder() + "/" + kModule).c_str());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_NE(GetProcAddress(a, "TestModuleAttach"), nullptr);
  // The module links the C library, but getpid is not the module's.
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(a, "getpid"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(a, "NoSuchEntry"), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "getpid"), nullptr);  // nor is it the program's
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  // A module the program links, named by an address inside it.
  HMODULE libc = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                 reinterpret_cast<LPCSTR>(&getpid), &libc));
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(libc, "getpid")),
            reinterpret_cast<void*>(&getpid));

  ASSERT_TRUE(FreeLibrary(a));
  EXPECT_NE(GetProcAddress(b, "TestModuleAttach"), nullptr);  // one reference left
  ASSERT_TRUE(FreeLibrary(b));
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(b));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetProcAddress(b, "TestModuleAttach"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

LRESULT HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

// What a shell does: a child of the host's window, messages through the host's loop, paint
// on the host's display; and after unloading, nothing of it left.
TEST(LoadedModule, LivesInTheHostsWindowTreeAndLeavesNothingBehind) {
  std::string error;
  std::unique_ptr<Display> display = Display::CreateHeadless(200, 100, &error);
  ASSERT_NE(display, nullptr) << error;
  platform::gdi::InstallDcProvider();
  WNDCLASSA wc{};
  wc.lpfnWndProc = HostProc;
  wc.lpszClassName = "LoadingTestHost";
  wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 255));
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND host = CreateWindowExA(0, "LoadingTestHost", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                              nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  Drain();
  const int threads = ThreadCount();
  const int windows = TopLevelWindowCount();

  unsetenv("ORVIX_MODULE_PATH");
  HMODULE module = LoadLibraryA(kModule);
  ASSERT_NE(module, nullptr);
  auto attach = reinterpret_cast<TestModuleAttachProc>(GetProcAddress(module, "TestModuleAttach"));
  auto count = reinterpret_cast<TestModuleCountProc>(GetProcAddress(module, "TestModuleCount"));
  auto detach = reinterpret_cast<TestModuleDetachProc>(GetProcAddress(module, "TestModuleDetach"));
  ASSERT_TRUE(attach && count && detach);

  HWND child = attach(host, 20, 10, 60, 40, RGB(255, 0, 0));
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetParent(child), host);
  EXPECT_EQ(GetDlgItem(host, 7), child);
  EXPECT_EQ(SendMessageA(child, kTestModuleDouble, 0, 21), 42);
  EXPECT_EQ(ThreadCount(), threads + 1);
  // The worker's post arrives through the host's loop.
  for (int i = 0; i < 500 && count() == 0; ++i) {
    Drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(count(), 1);
  Drain();
  {
    std::lock_guard<std::mutex> lock(display->framebuffer().mutex());
    const platform::display::Framebuffer& fb = display->framebuffer();
    EXPECT_EQ(fb.Pixel(20, 10), 0xFF0000u);
    EXPECT_EQ(fb.Pixel(79, 49), 0xFF0000u);
    EXPECT_EQ(fb.Pixel(19, 10), 0x0000FFu);
    EXPECT_EQ(fb.Pixel(80, 49), 0x0000FFu);
    EXPECT_EQ(fb.Pixel(79, 50), 0x0000FFu);
  }

  detach();
  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_EQ(ThreadCountSettledAt(threads), threads);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(GetWindow(host, GW_CHILD), nullptr);
  EXPECT_EQ(TopLevelWindowCount(), windows);
  WNDCLASSA info{};
  EXPECT_FALSE(GetClassInfoA(nullptr, "LoadingTestChild", &info));
  // The host's window goes on: it repaints where the child was.
  InvalidateRect(host, nullptr, TRUE);
  Drain();
  {
    std::lock_guard<std::mutex> lock(display->framebuffer().mutex());
    EXPECT_EQ(display->framebuffer().Pixel(20, 10), 0x0000FFu);
  }
  DestroyWindow(host);
  UnregisterClassA("LoadingTestHost", nullptr);
  Drain();
}

}  // namespace
