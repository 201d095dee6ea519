#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "control/capture_config.h"
#include "control/grid.h"
#include "control/page_settings.h"

namespace {

TEST(Grid, ColumnsFollowTheSquareRule) {
  const std::map<int, int> expected = {{1, 1},  {2, 2},   {4, 2},  {5, 3},  {9, 3},
                                       {10, 4}, {16, 4},  {17, 5}, {36, 6}, {49, 7},
                                       {50, 8}, {200, 8}, {0, 8},  {-3, 8}};
  for (auto [count, columns] : expected) EXPECT_EQ(grid::Columns(count), columns) << count;
}

TEST(Grid, CellsOfATwoByTwoGridBesideThePanel) {
  RECT client{0, 0, 1024, 600};  // video area 854 wide
  EXPECT_EQ(grid::Cell(client, 2, 0).left, 2);
  EXPECT_EQ(grid::Cell(client, 2, 0).top, 2);
  EXPECT_EQ(grid::Cell(client, 2, 0).right, 427);
  EXPECT_EQ(grid::Cell(client, 2, 0).bottom, 300);
  RECT last = grid::Cell(client, 2, 3);
  EXPECT_EQ(last.left, 429);
  EXPECT_EQ(last.top, 302);
  EXPECT_EQ(last.right, 854);
  EXPECT_EQ(last.bottom, 600);
  RECT big = grid::Enlarged(client);
  EXPECT_EQ(big.left, 2);
  EXPECT_EQ(big.right, 854);
  EXPECT_EQ(big.bottom, 600);
}

TEST(Grid, ThreeByThreeCellsTileTheVideoAreaRowByRow) {
  RECT client{0, 0, 1024, 600};  // cells 284 x 200
  for (int i = 0; i < 9; ++i) {
    RECT cell = grid::Cell(client, 3, i);
    EXPECT_EQ(cell.left, (i % 3) * 284 + 2) << i;
    EXPECT_EQ(cell.top, (i / 3) * 200 + 2) << i;
    EXPECT_EQ(cell.right, (i % 3) * 284 + 284) << i;
    EXPECT_EQ(cell.bottom, (i / 3) * 200 + 200) << i;
  }
  // The last cell ends at the panel's strip and the window's bottom, not beyond.
  EXPECT_LE(grid::Cell(client, 3, 8).right, 1024 - grid::kPanelWidth);
  EXPECT_EQ(grid::Cell(client, 3, 8).bottom, 600);
}

TEST(Grid, RightEdgeIsKeptInsideANarrowWindow) {
  RECT client{0, 0, 171, 90};  // one pixel of video area
  RECT cell = grid::Cell(client, 1, 0);
  EXPECT_LE(cell.right, client.right - 2);
  EXPECT_LE(grid::Enlarged(client).right, client.right - 2);
}

control::PropertyReader Page(std::map<std::string, std::string> values) {
  return [values](const char* name) {
    auto it = values.find(name);
    return it == values.end() ? std::string() : it->second;
  };
}

TEST(PageSettings, ReadsThePropertiesAndChoosesTheLanguageExactly) {
  testing::internal::CaptureStdout();
  auto s = control::LoadPageSettings(Page({{"DvrAddr", "10.0.0.5"},
                                           {"DvrChnNum", "4"},
                                           {"Preview", "1"},
                                           {"sipName", "gate"},
                                           {"Lang", "en"},
                                           {"DefChShow", "-1"},
                                           {"RelayState", "10"}}));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(s.dvrAddr, "10.0.0.5");
  EXPECT_EQ(s.channelCount, 4);
  EXPECT_EQ(s.preview, 1);
  EXPECT_EQ(s.language, 0);
  EXPECT_EQ(s.defaultChannel, -1);
  EXPECT_EQ(s.relayState, 10);
  EXPECT_NE(out.find("get lang:en\r\n"), std::string::npos);
  EXPECT_NE(out.find("get relay state:a\r\n"), std::string::npos);

  testing::internal::CaptureStdout();
  auto upper = control::LoadPageSettings(Page({{"Lang", "EN"}, {"DvrChnNum", "8"}}));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(upper.language, 1);
  EXPECT_EQ(upper.defaultChannel, 0);  // missing reads as empty, empty as 0
  EXPECT_EQ(upper.preview, 0);
}

TEST(PageSettings, CountsTheSessionSlotsCannotServeAreBroughtIntoRange) {
  for (auto [text, served] :
       std::map<std::string, int>{{"", 1}, {"0", 1}, {"-2", 1}, {"9", 8}, {"16", 8}}) {
    testing::internal::CaptureStdout();
    auto s = control::LoadPageSettings(Page({{"DvrChnNum", text}}));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(s.channelCount, served) << "'" << text << "'";
    EXPECT_NE(out.find("cannot be shown"), std::string::npos);
  }
}

class CaptureConfig : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = (std::filesystem::temp_directory_path() /
            ("capcfg_" + std::to_string(std::random_device{}()) + "_" +
             testing::UnitTest::GetInstance()->current_test_info()->name()))
               .string() +
           "/";
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(CaptureConfig, DefaultBesideTheLibraryThenWhatWasSaved) {
  EXPECT_EQ(control::LoadCaptureDir(dir_), dir_ + "capture/");
  ASSERT_TRUE(control::SaveCaptureDir(dir_, "/media/shots"));
  std::ifstream in(dir_ + "config.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "play_back_rec_cap_dir:/media/shots");  // no line end
  EXPECT_EQ(control::LoadCaptureDir(dir_), "/media/shots");
}

TEST_F(CaptureConfig, KeyAnywhereInTheFirstLineAndLongPathsCut) {
  {
    std::ofstream out(dir_ + "config.txt");
    out << "x play_back_rec_cap_dir:/a/b\r\nplay_back_rec_cap_dir:/ignored\n";
  }
  EXPECT_EQ(control::LoadCaptureDir(dir_), "/a/b");
  {
    std::ofstream out(dir_ + "config.txt");
    out << "play_back_rec_cap_dir:/" << std::string(400, 'p');
  }
  std::string loaded = control::LoadCaptureDir(dir_);
  EXPECT_LE(loaded.size(), 260u);
  EXPECT_EQ(loaded[0], '/');
  {
    std::ofstream out(dir_ + "config.txt");
    out << "something else\n";
  }
  EXPECT_EQ(control::LoadCaptureDir(dir_), dir_ + "capture/");
}

TEST_F(CaptureConfig, EnsureDirectoryMakesOneLevelOnly) {
  control::EnsureDirectory(dir_ + "capture/");
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "capture"));
  control::EnsureDirectory(dir_ + "a/b/");
  EXPECT_FALSE(std::filesystem::exists(dir_ + "a"));
}

}  // namespace
