#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "videolib/bmp_file.h"
#include "videolib/snap_queue.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string TempDir() {
  auto dir = std::filesystem::temp_directory_path() /
             ("snapshot_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "_" + std::to_string(reinterpret_cast<uintptr_t>(&ReadAll) ^ std::rand()));
  std::filesystem::create_directories(dir);
  return dir.string();
}

// Bottom-up BGR rows of a picture whose every pixel is distinct.
std::vector<uint8_t> Pattern(int width, int height) {
  std::vector<uint8_t> rows(static_cast<size_t>(width * height * 3));
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 13 + 5);
  return rows;
}

TEST(BmpFile, OddWidthsArePaddedAndOtherReadersSeeTheSamePixels) {
  std::string dir = TempDir();
  for (int width : {1, 2, 3, 5, 352}) {
    const int height = 3;
    std::string path = dir + "/w" + std::to_string(width) + ".bmp";
    auto rows = Pattern(width, height);
    ASSERT_TRUE(bmp::Write(path.c_str(), rows.data(), width, height));
    auto file = ReadAll(path);
    size_t stride = bmp::RowStride(width);
    ASSERT_EQ(file.size(), 54 + stride * height);
    EXPECT_EQ(file[0], 'B');
    uint32_t declared =
        file[2] | file[3] << 8 | file[4] << 16 | static_cast<uint32_t>(file[5]) << 24;
    EXPECT_EQ(declared, file.size());

    // FFmpeg turns the file into top-down BGR rows; compare with ours flipped.
    std::string raw = path + ".raw";
    std::string command = "ffmpeg -v error -y -i " + path + " -f rawvideo -pix_fmt bgr24 " + raw;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    auto decoded = ReadAll(raw);
    ASSERT_EQ(decoded.size(), rows.size());
    const size_t packed = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
      ASSERT_TRUE(std::equal(decoded.begin() + y * packed, decoded.begin() + (y + 1) * packed,
                             rows.begin() + (height - 1 - y) * packed))
          << "width " << width << " row " << y;
    }
  }
  std::filesystem::remove_all(dir);
}

TEST(BmpFile, UnwritablePathFails) {
  auto rows = Pattern(4, 4);
  EXPECT_FALSE(bmp::Write("/nonexistent-dir/x.bmp", rows.data(), 4, 4));
  EXPECT_FALSE(bmp::Write("/tmp/x.bmp", rows.data(), 0, 4));
}

TEST(SnapQueue, HoldsTenInOrderDropsTheEleventhAndFreesLeftovers) {
  SnapQueue queue;
  ASSERT_TRUE(queue.Init());
  for (int i = 0; i < SnapQueue::kCapacity; ++i) {
    SnapItem item{i + 1, 1, 0, static_cast<uint8_t*>(std::malloc(4))};
    ASSERT_TRUE(queue.Push(item));
  }
  SnapItem extra{99, 1, 0, nullptr};
  EXPECT_FALSE(queue.Push(extra));
  SnapItem item;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(queue.Pop(&item));
    EXPECT_EQ(item.width, i + 1);
    std::free(item.data);
  }
  ASSERT_TRUE(queue.Push(SnapItem{11, 1, 0, static_cast<uint8_t*>(std::malloc(4))}));
  for (int i = 4; i < 10; ++i) {
    ASSERT_TRUE(queue.Pop(&item));
    EXPECT_EQ(item.width, i + 1);
    std::free(item.data);
  }
  // One left queued: Uninit frees it (the sanitizer build would report a leak otherwise).
  queue.Uninit();
  EXPECT_FALSE(queue.Pop(&item));
}

}  // namespace
