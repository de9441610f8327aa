// Searchers look at the current block in place: the view shows the same
// bytes ReadSector would copy, and only where the cache holds them.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/cache/StorageDeviceWithCache.h"
#include "support/MemoryDevice.h"

namespace {

constexpr unsigned kBs = 256;  // sectors per block (128 KiB)

std::vector<std::uint8_t> Numbered(long long sectors) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(sectors) * 512);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 512) & 0xFF);
  return bytes;
}

struct ViewCase {
  const char* what;
  long long block;
  long long start;
  long long count;
  bool inMemory;
};

class CacheView : public ::testing::TestWithParam<ViewCase> {};

TEST_P(CacheView, ShowsWhatReadSectorCopies) {
  const ViewCase& c = GetParam();
  // 2.5 blocks: the last block is short.
  testsupport::MemoryDevice source(Numbered(kBs * 2 + kBs / 2));
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  ASSERT_EQ(cache.SetCurCacheBlock(c.block), 1);
  const std::uint8_t* view = cache.ViewSectors(c.start, c.count);
  EXPECT_EQ(CStorageDeviceWithCache::View(&cache, c.start, c.count), view);
  ASSERT_EQ(view != nullptr, c.inMemory) << c.what;
  if (view != nullptr) {
    std::vector<std::uint8_t> copy(static_cast<std::size_t>(c.count) * 512);
    ASSERT_EQ(cache.ReadSector(copy.data(), c.start, c.count), 1);
    EXPECT_EQ(std::memcmp(view, copy.data(), copy.size()), 0) << c.what;
    EXPECT_EQ(std::memcmp(view, source.Bytes().data() + c.start * 512, copy.size()), 0) << c.what;
  }
  cache.EndCache();
}

INSTANTIATE_TEST_SUITE_P(Ranges, CacheView,
                         ::testing::Values(ViewCase{"the whole block", 0, 0, kBs, true},
                                           ViewCase{"inside", 1, kBs + 5, 9, true},
                                           ViewCase{"to the block end", 0, 10, kBs - 10, true},
                                           ViewCase{"past the block end", 0, 10, kBs - 10 + 1, false},
                                           ViewCase{"before the block", 1, kBs - 1, 2, false},
                                           ViewCase{"another block", 1, 0, 1, false},
                                           ViewCase{"short last block", 2, 2 * kBs, kBs / 2, true},
                                           ViewCase{"past the device end", 2, 2 * kBs, kBs / 2 + 1, false},
                                           ViewCase{"no sectors", 0, 0, 0, false}));

TEST(CacheViewFailures, NoViewOfAFailedBlock) {
  testsupport::MemoryDevice source(Numbered(kBs * 3));
  source.FailSector(kBs + 3);  // in block 1
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  ASSERT_EQ(cache.SetCurCacheBlock(0), 1);
  EXPECT_NE(cache.ViewSectors(0, kBs), nullptr);
  ASSERT_EQ(cache.SetCurCacheBlock(1), 1);
  EXPECT_EQ(cache.ViewSectors(kBs, 1), nullptr) << "a failed block is zeros, never a view";
  cache.EndCache();
  EXPECT_EQ(CStorageDeviceWithCache::View(&source, 0, 1), nullptr) << "not a cache";
}

// A share of a block keeps its bytes while the sweep goes on: its buffer is
// not filled with later blocks (more than the read-ahead queue holds), also
// when a later block is read out of order.
TEST(CacheShare, KeepsTheBlockWhileTheSweepGoesOn) {
  const long long blocks = CStorageDeviceWithCache::kQueueDepth + 5;
  testsupport::MemoryDevice source(Numbered(kBs * blocks - kBs / 2));
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  std::vector<std::shared_ptr<const std::uint8_t>> shares;
  for (long long k = 0; k < blocks; ++k) {
    ASSERT_EQ(cache.SetCurCacheBlock(k), 1);
    std::shared_ptr<const std::uint8_t> share = cache.ShareBlock(k * kBs, kBs);
    if (k == blocks - 1) {
      EXPECT_EQ(share, nullptr) << "the short last block is not shared";
      continue;
    }
    ASSERT_NE(share, nullptr) << "block " << k;
    EXPECT_EQ(share.get(), cache.ViewSectors(k * kBs, 1));
    EXPECT_EQ(cache.ShareBlock(k * kBs + 1, kBs), nullptr) << "not the block's start";
    EXPECT_EQ(cache.ShareBlock(k * kBs, kBs - 1), nullptr) << "not the block's size";
    if (k % 3 != 1) shares.push_back(std::move(share));  // some are dropped and reused
  }
  ASSERT_EQ(cache.SetCurCacheBlock(2), 1);  // out of order
  ASSERT_EQ(cache.SetCurCacheBlock(0), 1);
  cache.EndCache();
  for (std::size_t i = 0; i < shares.size(); ++i) {
    const std::shared_ptr<const std::uint8_t>& share = shares[i];
    const auto block = static_cast<long long>(i + (i + 1) / 2);  // the kept ones: 0, 2, 3, 5, 6, ...
    EXPECT_EQ(std::memcmp(share.get(), source.Bytes().data() + block * kBs * 512, kBs * 512), 0) << block;
  }
}

TEST(CacheShare, NoShareOfAFailedBlock) {
  testsupport::MemoryDevice source(Numbered(kBs * 2));
  source.FailSector(kBs + 3);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  ASSERT_EQ(cache.SetCurCacheBlock(1), 1);
  EXPECT_EQ(cache.ShareBlock(kBs, kBs), nullptr);
  cache.EndCache();
}

}  // namespace
