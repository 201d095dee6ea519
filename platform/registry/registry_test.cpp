// The registry calls as a caller sees them, against hive files in a folder of the test's own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/registry_format.h"
#include "platform/registry/winreg.h"

namespace {

class RegistryTest : public ::testing::Test {
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

  std::string ReadFile(const std::string& name) {
    std::ifstream in(folder_ + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  static void SetText(HKEY key, const char* name, const std::string& text) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
  }

  static std::vector<std::string> SubKeys(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = sizeof(name);
      const LONG result = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_NO_MORE_ITEMS) break;
      EXPECT_EQ(result, ERROR_SUCCESS);
      names.emplace_back(name, length);
    }
    return names;
  }

  std::string folder_;
};

TEST_F(RegistryTest, KeysAndValuesLastAndFollowTheWindowsRules) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\App", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  SetText(key, "Path", "/opt/app");
  SetText(key, nullptr, "default");
  const DWORD number = 0x20191;
  ASSERT_EQ(RegSetValueExA(key, "Misc", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
            ERROR_SUCCESS);
  HKEY child = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(key, "Sub\\Deeper", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
      ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(child), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(child), ERROR_INVALID_HANDLE);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  // Names are found whatever their case; the hive is on disk, not in this process.
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\MAKER\\app", 0, nullptr, 0, KEY_READ,
                            nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  std::optional<platform::registry::Key> disk =
      platform::registry::ParseHive(ReadFile("machine.reg"));
  ASSERT_TRUE(disk);
  EXPECT_EQ(disk->subkeys.at("SOFTWARE").subkeys.at("Maker").subkeys.at("App").values.size(), 3u);

  char text[16];
  DWORD type = 0;
  DWORD size = 4;
  EXPECT_EQ(RegQueryValueExA(again, "path", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 9u);
  size = sizeof(text);
  ASSERT_EQ(RegQueryValueExA(again, "PATH", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_STREQ(text, "/opt/app");
  size = 0;
  ASSERT_EQ(RegQueryValueExA(again, "", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(RegQueryValueExA(again, "Missing", nullptr, &type, nullptr, &size),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValueExA(again, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
            ERROR_ACCESS_DENIED);  // opened for reading only

  char name[4];
  DWORD length = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(again, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "Sub");
  length = 2;
  EXPECT_EQ(RegEnumKeyExA(again, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  length = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(again, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);

  // A key with subkeys goes only with SHDeleteKeyA; a handle to it then finds it gone.
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\App"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\App\\Sub"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\App"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(again, "Path", nullptr, &type, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\App"), ERROR_FILE_NOT_FOUND);
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\App", 0, KEY_READ, &gone),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &gone),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(again);
}

TEST_F(RegistryTest, ClassesRootMergesTheUsersClassesOverTheMachines) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{1}", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  SetText(key, nullptr, "machine's");
  RegCloseKey(key);
  HKEY machine = nullptr;
  EXPECT_EQ(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{1}", 0, KEY_READ, &machine),
      ERROR_SUCCESS);
  RegCloseKey(machine);

  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{1}", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SetText(key, nullptr, "user's");
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{2}", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "clsid\\{1}", 0, KEY_READ, &key), ERROR_SUCCESS);
  char text[16];
  DWORD size = sizeof(text);
  ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, "user's");
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(SubKeys(key), (std::vector<std::string>{"{1}", "{2}"}));
  RegCloseKey(key);
}

TEST_F(RegistryTest, ADamagedHiveIsReportedAndNeverOverwritten) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  SetText(key, "v", "1");
  const std::string whole = ReadFile("machine.reg");
  {
    std::ofstream out(folder_ + "/machine.reg", std::ios::binary | std::ios::trunc);
    out << whole.substr(0, whole.size() - 3);
  }
  HKEY other = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, &other), ERROR_BADDB);
  EXPECT_EQ(RegSetValueExA(key, "w", 0, REG_NONE, nullptr, 0), ERROR_BADDB);
  EXPECT_EQ(ReadFile("machine.reg"), whole.substr(0, whole.size() - 3));
  RegCloseKey(key);
}

TEST(RegistryFormat, NamesOfAnyBytesRoundTripAndEveryCutFileIsRefused) {
  platform::registry::Key root;
  root.values[""] = {REG_SZ, std::string("root\0", 5)};
  auto& key = root.subkeys["with space %41 @ \xe4\xb8\xad"].subkeys["line\nbreak"];
  key.values["@"] = {REG_BINARY, std::string("\0\xff", 2)};
  key.values[""] = {REG_NONE, ""};
  key.values["a\\b"] = {REG_DWORD, "\x01\x02\x03\x04"};
  root.subkeys["Empty"];
  const std::string text = platform::registry::SerializeHive(root);
  std::optional<platform::registry::Key> parsed = platform::registry::ParseHive(text);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(*parsed, root);
  for (size_t cut = 0; cut < text.size(); ++cut) {
    EXPECT_FALSE(platform::registry::ParseHive(text.substr(0, cut))) << cut;
  }
  EXPECT_FALSE(platform::registry::ParseHive(text + "K extra\n"));
  EXPECT_FALSE(platform::registry::ParseHive("orvix-registry 1\nK a\\b\nEND 1\n"));    // no parent
  EXPECT_FALSE(platform::registry::ParseHive("orvix-registry 1\nK a\nK A\nEND 2\n"));  // twice
  EXPECT_FALSE(platform::registry::ParseHive("orvix-registry 1\nV x 1 0g\nEND 1\n"));
  EXPECT_FALSE(platform::registry::ParseHive("orvix-registry 1\nV %4 1 -\nEND 1\n"));
}

}  // namespace
