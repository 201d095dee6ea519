// setuptool as an installer runs it: copied with the two viewers into folders of their own
// (one with blanks and a path past 127 characters), registering silently and through its
// dialog on the headless display, with the real regsvr32 and the registry's files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/display/png_image.h"
#include "platform/kernel/code_page.h"
#include "platform/process/child_process.h"
#include "platform/registry/winreg.h"

namespace {

namespace fs = std::filesystem;
using Outcome = platform::process::ProgramRun;

constexpr char kPluginKey[] = "SOFTWARE\\MozillaPlugins\\orvicam";
constexpr char kMimeTypeKey[] =
    "SOFTWARE\\MozillaPlugins\\orvicam\\MimeTypes\\application/nporvicam";
constexpr char kControlServer[] = "CLSID\\{E30E886F-1176-4F02-A0E0-387B2027076F}\\InprocServer32";

// A message box as the headless run prints it: caption and text in the program's code page.
std::string Box(const char* caption_utf8, const char* text_utf8) {
  std::string line = std::string(caption_utf8) + " " + text_utf8 + "\n";
  WCHAR wide[128];
  int chars = MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide, 128);
  char gbk[256];
  WideCharToMultiByte(CP_ACP, 0, wide, chars, gbk, sizeof(gbk), nullptr, nullptr);
  return gbk;
}

// A text value as stored, with its terminating NUL; "" when absent.
std::string ValueOf(HKEY root, const char* path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  char data[1024];
  DWORD size = sizeof(data);
  DWORD type = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_SZ) return "";
  return std::string(data, size);
}

bool KeyExists(HKEY root, const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string WithNul(const std::string& text) { return std::string(text.c_str(), text.size() + 1); }

bool Has(const Outcome& run, const std::string& text) {
  return run.output.find(text) != std::string::npos;
}

class SetuptoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvix-setuptool-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("ORVIX_REGISTRY_DIR", (root_ + "/registry").c_str(), 1);
    // regsvr32 is not in the folders: setuptool finds it on PATH, as in an install.
    path_ = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (fs::path(REGSVR32_BINARY).parent_path().string() + ":" + path_).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", path_.c_str(), 1);
    unsetenv("ORVIX_REGISTRY_DIR");
    fs::remove_all(root_);
  }
  // A folder under the scratch root holding setuptool and both viewers; its path, with '/'.
  std::string MakeFolder(const std::string& name) {
    fs::path folder = fs::path(root_) / name;
    fs::create_directories(folder);
    fs::copy_file(SETUPTOOL_BINARY, folder / "setuptool");
    fs::copy_file(ORVIX_OCX, folder / "OrviX.ocx");
    fs::copy_file(NPORVICAM_DLL, folder / "nporvicam.dll");
    return folder.string() + "/";
  }
  Outcome Run(const std::string& folder, const std::vector<std::string>& args) {
    Outcome run = platform::process::ChildProcess::RunToEnd(folder + "setuptool", args, 60000);
    if (run.status != 0) ADD_FAILURE() << run.output;
    return run;
  }
  std::string PluginPath() { return ValueOf(HKEY_LOCAL_MACHINE, kPluginKey, "Path"); }
  std::string ControlServer() { return ValueOf(HKEY_CLASSES_ROOT, kControlServer, ""); }

  std::string root_;
  std::string path_;
};

TEST_F(SetuptoolTest, FolderWithBlanksAndALongPathRegistersAndUnregistersBoth) {
  const std::string folder = MakeFolder("viewer folder with blanks/" + std::string(110, 'x') + "/" +
                                        std::string(110, 'y') + "/and yet more");
  // Past 127 characters, and past the first buffer the path is read into.
  ASSERT_GT(folder.size() + std::string("setuptool").size(), 260u);
  Outcome silent = Run(folder, {});
  EXPECT_NE(
      silent.output.find("setuptool: regsvr32 -s \"" + folder + "OrviX.ocx\" ended with status 0"),
      std::string::npos)
      << silent.output;
  EXPECT_EQ(silent.output.find("!\n"), std::string::npos) << "silent run showed a box";
  EXPECT_EQ(PluginPath(), WithNul(folder + "nporvicam.dll"));
  EXPECT_EQ(ValueOf(HKEY_LOCAL_MACHINE, kPluginKey, "Description"), WithNul("nporvicam"));
  EXPECT_EQ(ValueOf(HKEY_LOCAL_MACHINE, kPluginKey, "Vendor"), WithNul("rolund"));
  EXPECT_EQ(ValueOf(HKEY_LOCAL_MACHINE, kPluginKey, "Version"), WithNul("1.0.0.1"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kMimeTypeKey));
  EXPECT_EQ(ControlServer(), WithNul(folder + "OrviX.ocx"));

  Outcome removed = Run(folder, {"--display", "headless", "--click", "remove"});
  EXPECT_TRUE(Has(removed, "setuptool " + folder + "\n")) << removed.output;
  EXPECT_TRUE(Has(removed, Box("提示", "卸载成功!"))) << removed.output;
  EXPECT_TRUE(
      Has(removed, "setuptool: regsvr32 -su \"" + folder + "OrviX.ocx\" ended with status 0"))
      << removed.output;
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kPluginKey));
  EXPECT_TRUE(ControlServer().empty());

  // Nothing left to remove is a failure, said as such.
  Outcome again = Run(folder, {"--display", "headless", "--click", "remove"});
  EXPECT_TRUE(Has(again, Box("错误", "卸载失败!"))) << again.output;
}

TEST_F(SetuptoolTest, AnExistingKeyStaysUntilRemovedThenEveryValueIsWrittenAgain) {
  const std::string first = MakeFolder("first");
  const std::string second = MakeFolder("second");
  Run(first, {});
  ASSERT_EQ(PluginPath(), WithNul(first + "nporvicam.dll"));

  // From another folder: regsvr32 runs on that folder's control, the plug-in's key stays.
  const std::string shot = root_ + "/dialog.png";
  Outcome registered =
      Run(second, {"--display", "headless", "--screenshot", shot, "--click", "register"});
  EXPECT_TRUE(Has(registered, Box("提示", "已注册!"))) << registered.output;
  EXPECT_TRUE(Has(registered, "regsvr32 -s \"" + second + "OrviX.ocx\" ended with status 0"));
  EXPECT_EQ(PluginPath(), WithNul(first + "nporvicam.dll"));
  EXPECT_EQ(ControlServer(), WithNul(second + "OrviX.ocx"));
  // The dialog in the middle of the desktop: its light face between the two buttons.
  std::string error;
  auto image = platform::display::ReadPng(shot, &error);
  ASSERT_TRUE(image) << error;
  const uint32_t corner = image->pixels[0] & 0xFFFFFF;
  const uint32_t face = image->pixels[image->height / 2 * image->width + image->width / 2];
  EXPECT_NE(corner, face & 0xFFFFFF);
  EXPECT_GT(face & 0xFF, 0xC0u);
  // Silently, the same without a word.
  Outcome silent = Run(second, {});
  EXPECT_EQ(silent.output.find("!\n"), std::string::npos) << silent.output;
  EXPECT_EQ(PluginPath(), WithNul(first + "nporvicam.dll"));

  Outcome renewed =
      Run(second, {"--display", "headless", "--click", "remove", "--click", "register"});
  const size_t removed_at = renewed.output.find(Box("提示", "卸载成功!"));
  const size_t registered_at = renewed.output.find(Box("提示", "注册成功!"));
  ASSERT_NE(removed_at, std::string::npos) << renewed.output;
  ASSERT_NE(registered_at, std::string::npos) << renewed.output;
  EXPECT_LT(removed_at, registered_at);
  EXPECT_EQ(PluginPath(), WithNul(second + "nporvicam.dll"));
  EXPECT_EQ(ValueOf(HKEY_LOCAL_MACHINE, kPluginKey, "Description"), WithNul("nporvicam"));
  EXPECT_EQ(ValueOf(HKEY_LOCAL_MACHINE, kPluginKey, "Vendor"), WithNul("rolund"));
  EXPECT_EQ(ValueOf(HKEY_LOCAL_MACHINE, kPluginKey, "Version"), WithNul("1.0.0.1"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kMimeTypeKey));
  EXPECT_EQ(ControlServer(), WithNul(second + "OrviX.ocx"));
}

}  // namespace
