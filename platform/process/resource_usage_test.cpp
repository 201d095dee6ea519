#include "platform/process/resource_usage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace platform::process {
namespace {

TEST(ResourceUsage, ProcessorTimeGrowsWithWork) {
  const double before = ProcessCpuSeconds();
  volatile unsigned sink = 0;
  while (ProcessCpuSeconds() - before < 0.05) {
    for (unsigned i = 0; i < 100000; ++i) sink = sink + i;
  }
  EXPECT_GE(ProcessCpuSeconds(), before + 0.05);
}

TEST(ResourceUsage, ResidentMemoryCountsTouchedPages) {
  const long before = ResidentKiB();
  ASSERT_GT(before, 0);
  constexpr size_t kBytes = 32u << 20;
  auto block = std::make_unique<char[]>(kBytes);
  std::memset(block.get(), 1, kBytes);
  // Most of the 32 MiB is resident once written (allow for pages freed meanwhile elsewhere).
  EXPECT_GT(ResidentKiB() - before, 24 * 1024);
  EXPECT_EQ(block[kBytes - 1], 1);
}

}  // namespace
}  // namespace platform::process
