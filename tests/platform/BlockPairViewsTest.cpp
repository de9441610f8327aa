// Two blocks seen as one stretch in either order, with zeros after each view.

#include "platform/BlockPairViews.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kBlock = 64 * 1024;

std::vector<std::uint8_t> Seeded(unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint8_t> bytes(kBlock);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(gen());
  return bytes;
}

bool AllZero(const std::uint8_t* p, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    if (p[k] != 0) return false;
  }
  return true;
}

TEST(BlockPairViews, EachViewShowsTheBlocksInItsOrderThenZeros) {
  platform::BlockPairViews pair = platform::BlockPairViews::Map(kBlock, 4096);
  ASSERT_TRUE(pair);
  EXPECT_EQ(pair.BlockBytes(), kBlock);
  for (int first : {0, 1}) EXPECT_TRUE(AllZero(pair.View(first), 2 * kBlock + 4096));

  // Filled in turn as a sweep fills them: block 1 through view 0's upper
  // half, then block 0 through view 1's upper half.
  const std::vector<std::uint8_t> a = Seeded(1);
  const std::vector<std::uint8_t> b = Seeded(2);
  std::memcpy(pair.View(0) + kBlock, b.data(), kBlock);
  std::memcpy(pair.View(1) + kBlock, a.data(), kBlock);

  EXPECT_EQ(std::memcmp(pair.View(0), a.data(), kBlock), 0);
  EXPECT_EQ(std::memcmp(pair.View(0) + kBlock, b.data(), kBlock), 0);
  EXPECT_EQ(std::memcmp(pair.View(1), b.data(), kBlock), 0);
  EXPECT_EQ(std::memcmp(pair.View(1) + kBlock, a.data(), kBlock), 0);
  for (int first : {0, 1}) EXPECT_TRUE(AllZero(pair.View(first) + 2 * kBlock, 4096));
}

TEST(BlockPairViews, MovesAndRefusesBlocksThatAreNotWholePages) {
  for (std::size_t bytes : {std::size_t{0}, std::size_t{1000}, kBlock + 512}) {
    EXPECT_FALSE(platform::BlockPairViews::Map(bytes, 4096)) << bytes;
  }
  platform::BlockPairViews pair = platform::BlockPairViews::Map(kBlock, 1);
  ASSERT_TRUE(pair);
  pair.View(1)[kBlock] = 7;
  platform::BlockPairViews moved = std::move(pair);
  EXPECT_FALSE(pair);  // NOLINT(bugprone-use-after-move): a moved-from pair is empty
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved.View(0)[0], 7);
  EXPECT_TRUE(AllZero(moved.View(0) + 2 * kBlock, 4096));
}

}  // namespace
