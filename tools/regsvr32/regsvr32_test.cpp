// regsvr32 and reg as a person runs them: the test server registered, looked at, registered
// again, unregistered, and the failures each reported with its own exit status.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/process/child_process.h"

namespace {

using Outcome = platform::process::ProgramRun;

Outcome RunProgram(const std::string& program, const std::vector<std::string>& args) {
  Outcome run = platform::process::ChildProcess::RunToEnd(program, args, 10000);
  if (run.status == -1) ADD_FAILURE() << run.output;
  return run;
}

class Regsvr32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvix-regsvr32-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setenv("ORVIX_REGISTRY_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORVIX_REGISTRY_DIR");
    unsetenv("ORVIX_TEST_SERVER_FAIL");
    std::filesystem::remove_all(folder_);
  }
  std::string Hive() {
    std::ifstream in(folder_ + "/machine.reg", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string folder_;
};

constexpr char kClassKey[] = "HKCR\\CLSID\\{5E1B0A11-7C2D-4E8F-9A3B-1D2C3E4F5A6B}";

TEST_F(Regsvr32Test, RegistersOnceUnregistersAndShowsTheOutcome) {
  ASSERT_EQ(RunProgram(REGSVR32_BINARY, {"/s", COM_TEST_SERVER}).status, 0);
  Outcome query = RunProgram(REG_BINARY, {"query", kClassKey, "/s"});
  ASSERT_EQ(query.status, 0);
  EXPECT_NE(query.output.find("InprocServer32\n    (Default)    REG_SZ    " +
                              std::filesystem::canonical(COM_TEST_SERVER).string()),
            std::string::npos)
      << query.output;
  EXPECT_NE(query.output.find("ThreadingModel    REG_SZ    Apartment"), std::string::npos);
  EXPECT_NE(query.output.find("ProgID\n    (Default)    REG_SZ    OrvixTest.Server.1"),
            std::string::npos);
  Outcome library = RunProgram(
      REG_BINARY, {"query", "HKCR\\TypeLib\\{7A1C0B22-3D4E-4F50-8A61-B2C3D4E5F607}", "/s"});
  EXPECT_NE(library.output.find("1.0\\0\\win32\n    (Default)    REG_SZ    "), std::string::npos)
      << library.output;
  const std::string once = Hive();

  // Again, with the message box: the registry does not change.
  Outcome loud = RunProgram(REGSVR32_BINARY, {COM_TEST_SERVER});
  EXPECT_EQ(loud.status, 0);
  EXPECT_NE(loud.output.find("RegSvr32 DllRegisterServer in"), std::string::npos) << loud.output;
  EXPECT_NE(loud.output.find("succeeded."), std::string::npos);
  EXPECT_EQ(Hive(), once);

  ASSERT_EQ(RunProgram(REGSVR32_BINARY, {"-su", COM_TEST_SERVER}).status, 0);
  EXPECT_EQ(RunProgram(REG_BINARY, {"query", kClassKey}).status, 1);
  EXPECT_EQ(RunProgram(REG_BINARY, {"query", "HKCR\\OrvixTest.Server.1"}).status, 1);
  EXPECT_EQ(RunProgram(REG_BINARY, {"query", "HKCR\\TypeLib"}).output,
            "HKEY_CLASSES_ROOT\\TypeLib\n\n");
  const std::string removed = Hive();
  EXPECT_EQ(RunProgram(REGSVR32_BINARY, {"/u", "/s", COM_TEST_SERVER}).status, 0);
  EXPECT_EQ(Hive(), removed);
}

TEST_F(Regsvr32Test, EachFailureHasItsStatusAndMessage) {
  Outcome missing = RunProgram(REGSVR32_BINARY, {folder_ + "/none.ocx"});
  EXPECT_EQ(missing.status, 3);
  EXPECT_NE(missing.output.find("failed to load"), std::string::npos) << missing.output;

  Outcome no_entry = RunProgram(REGSVR32_BINARY, {COM_NOT_A_SERVER});
  EXPECT_EQ(no_entry.status, 4);
  EXPECT_NE(no_entry.output.find("entry point DllRegisterServer was not found"), std::string::npos)
      << no_entry.output;

  setenv("ORVIX_TEST_SERVER_FAIL", "1", 1);
  Outcome failed = RunProgram(REGSVR32_BINARY, {COM_TEST_SERVER});
  EXPECT_EQ(failed.status, 5);
  EXPECT_NE(failed.output.find("failed with error code 0x80040201"), std::string::npos)
      << failed.output;
  EXPECT_EQ(RunProgram(REGSVR32_BINARY, {"/s", COM_TEST_SERVER}).output, "");
  EXPECT_EQ(RunProgram(REGSVR32_BINARY, {"/x", COM_TEST_SERVER}).status, 1);
  EXPECT_EQ(RunProgram(REG_BINARY, {"query", kClassKey}).status, 1);
}

}  // namespace
