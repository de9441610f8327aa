// Searchers look at the current block in place: the view shows the same
// bytes ReadSector would copy, and only where the cache holds them.

#include <gtest/gtest.h>

#include <cstring>
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

}  // namespace
