#include "core/cache/StorageDeviceWithCache.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/cache/PatternDevice.h"

using testsupport::PatternDevice;

namespace {

constexpr unsigned kBs = 16;  // sectors per block in these tests

// Reads block k's sectors back through the cache and checks them.
bool BlockContentOk(CStorageDeviceWithCache& cache, long long k, long long total, int ss = 512) {
  const long long start = k * kBs;
  const long long n = std::min<long long>(kBs, total - start);
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(n) * ss);
  if (cache.ReadSector(buf.data(), start, n) == 0) return false;
  for (long long i = 0; i < n; ++i) {
    if (!PatternDevice::Check(buf.data() + i * ss, start + i, ss)) return false;
  }
  return true;
}

}  // namespace

TEST(StorageDeviceWithCache, PresentsTheSourceAsAWrapperDevice) {
  PatternDevice source(100, 4096);
  CStorageDeviceWithCache cache(&source);
  EXPECT_EQ(cache.GetType(), kDeviceWrapper);
  EXPECT_EQ(cache.GetSectorSize(), 4096);
  EXPECT_EQ(cache.GetTotalSectors(), 100);
  EXPECT_EQ(cache.GetBlockSize(), 1000u);
  EXPECT_EQ(cache.GetCurCacheBlock(), -1);
  EXPECT_EQ(cache.Open(nullptr), 1);
  EXPECT_EQ(cache.Close(), 1);
  EXPECT_EQ(cache.IOCtl(1, nullptr), 0);
  EXPECT_EQ(cache.GetLastError(), 0u);
  EXPECT_EQ(cache.GetPrivateData(), nullptr);

  CStorageDeviceWithCache empty(nullptr);
  EXPECT_EQ(empty.GetSectorSize(), 512);
  EXPECT_EQ(empty.GetTotalSectors(), 0);
  EXPECT_EQ(empty.Open(nullptr), 0);
  EXPECT_EQ(empty.SetCurCacheBlock(0), 0);
  char buf[512];
  EXPECT_EQ(empty.ReadSector(buf, 0, 1), 0);
}

TEST(StorageDeviceWithCache, RefusesBlocksOutsideTheDevice) {
  PatternDevice source(kBs * 2 + kBs / 2);  // 2.5 blocks: 3 blocks
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  EXPECT_TRUE(cache.IsBlockInValidRange(2));
  EXPECT_FALSE(cache.IsBlockInValidRange(3));
  EXPECT_FALSE(cache.IsBlockInValidRange(-1));
  cache.BeginCache();
  EXPECT_EQ(cache.SetCurCacheBlock(3), 0);
  EXPECT_EQ(cache.SetCurCacheBlock(-1), 0);
  EXPECT_EQ(cache.SetCurCacheBlock(0), 1);

  CStorageDeviceWithCache zero(&source);
  ASSERT_EQ(zero.SetBlockSize(0), 1);
  EXPECT_FALSE(zero.IsBlockInValidRange(0));
  EXPECT_EQ(zero.SetCurCacheBlock(0), 0);
}

TEST(StorageDeviceWithCache, RefusesBlocksAboveTheSizeLimit) {
  PatternDevice source(100, 4096);
  CStorageDeviceWithCache cache(&source);
  EXPECT_EQ(cache.SetBlockSize(static_cast<unsigned>(CStorageDeviceWithCache::kMaxBlockBytes / 4096) + 1), 0);
  EXPECT_EQ(cache.SetBlockSize(1024), 1);
}

// Devices smaller than the queue are read whole before the sweep; the last
// block is clipped to the device end.
TEST(StorageDeviceWithCache, SweepsEveryBlockOnceClippedToTheEnd) {
  const long long total = kBs * 2 + kBs / 2;
  PatternDevice source(total);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  const auto reads = source.Reads();
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[0], std::make_pair(0LL, static_cast<long long>(kBs)));
  EXPECT_EQ(reads[1], std::make_pair(static_cast<long long>(kBs), static_cast<long long>(kBs)));
  EXPECT_EQ(reads[2], std::make_pair(2LL * kBs, static_cast<long long>(kBs / 2)));

  for (long long k = 0; k < 3; ++k) {
    ASSERT_EQ(cache.SetCurCacheBlock(k), 1);
    EXPECT_EQ(cache.GetCurCacheBlock(), k);
    EXPECT_TRUE(BlockContentOk(cache, k, total));
  }
  cache.EndCache();
  EXPECT_EQ(source.Reads().size(), 3u) << "reads inside the current block come from memory";
  EXPECT_TRUE(cache.GetFailedBlocks().empty());
}

TEST(StorageDeviceWithCache, SweepsADeviceLargerThanTheQueue) {
  const long long total = kBs * 37 + 5;
  PatternDevice source(total, 4096);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  for (long long k = 0; k < 38; ++k) {
    ASSERT_EQ(cache.SetCurCacheBlock(k), 1);
    ASSERT_TRUE(BlockContentOk(cache, k, total, 4096)) << "block " << k;
  }
  EXPECT_EQ(cache.SetCurCacheBlock(38), 0);
  cache.EndCache();
  EXPECT_EQ(source.Reads().size(), 38u);
}

// A read that crosses the current block is served from memory for its
// inside part and from the source for the rest.
TEST(StorageDeviceWithCache, SplitsReadsAroundTheCurrentBlock) {
  const long long total = kBs * 4;
  PatternDevice source(total);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  ASSERT_EQ(cache.SetCurCacheBlock(0), 1);
  ASSERT_EQ(cache.SetCurCacheBlock(1), 1);
  cache.EndCache();
  source.ClearReads();

  struct Case {
    long long start, count;
    std::vector<std::pair<long long, long long>> sourceReads;
  };
  const Case cases[] = {
      {kBs + 2, 4, {}},                                  // inside
      {kBs + 12, 8, {{2 * kBs, 4}}},                     // runs past the end
      {kBs - 3, 5, {{kBs - 3, 3}}},                      // starts before
      {kBs - 1, kBs + 2, {{kBs - 1, 1}, {2 * kBs, 1}}},  // covers it
      {3, 4, {{3, 4}}},                                  // before it
      {3 * kBs, 2, {{3 * kBs, 2}}},                      // after it
  };
  for (const Case& c : cases) {
    source.ClearReads();
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(c.count) * 512, 0xEE);
    ASSERT_EQ(cache.ReadSector(buf.data(), c.start, c.count), 1) << c.start;
    for (long long i = 0; i < c.count; ++i) {
      EXPECT_TRUE(PatternDevice::Check(buf.data() + i * 512, c.start + i, 512)) << c.start << "+" << i;
    }
    EXPECT_EQ(source.Reads(), c.sourceReads) << c.start;
  }
}

// While the read-ahead holds the following blocks, a read that runs past
// the current block takes them from memory; the source sees only what no
// block in the queue holds (a failed block's sectors included).
TEST(StorageDeviceWithCache, ReadsPastTheBlockComeFromTheReadAhead) {
  const long long total = kBs * 4 + 5;
  PatternDevice source(total);
  source.FailSector(3 * kBs + 1);  // block 3 fails
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();  // the whole device is read ahead at once
  ASSERT_EQ(cache.SetCurCacheBlock(1), 1);

  struct Case {
    long long start, count;
    int result;
    std::vector<std::pair<long long, long long>> sourceReads;
  };
  const Case cases[] = {
      {kBs + 12, 8, 1, {}},                       // into block 2
      {kBs + 12, kBs + 4, 1, {}},                 // to the end of block 2
      {kBs + 12, kBs + 6, 0, {{3 * kBs, 2}}},     // into failed block 3
      {2 * kBs + 2, 3, 1, {}},                    // after it
      {kBs - 1, 2 * kBs + 1, 1, {{kBs - 1, 1}}},  // before it and past it
  };
  for (const Case& c : cases) {
    source.ClearReads();
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(c.count) * 512, 0xEE);
    ASSERT_EQ(cache.ReadSector(buf.data(), c.start, c.count), c.result) << c.start;
    for (long long i = 0; i < c.count; ++i) {
      if (c.start + i == 3 * kBs + 1) continue;  // the failed sector
      EXPECT_TRUE(PatternDevice::Check(buf.data() + i * 512, c.start + i, 512)) << c.start << "+" << i;
    }
    EXPECT_EQ(source.Reads(), c.sourceReads) << c.start;
  }
  cache.EndCache();
}

TEST(StorageDeviceWithCache, ReadsPastTheDeviceEndFail) {
  PatternDevice source(kBs + 4);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  ASSERT_EQ(cache.SetCurCacheBlock(0), 1);
  ASSERT_EQ(cache.SetCurCacheBlock(1), 1);
  std::vector<std::uint8_t> buf(8 * 512);
  EXPECT_EQ(cache.ReadSector(buf.data(), kBs + 2, 2), 1);
  EXPECT_EQ(cache.ReadSector(buf.data(), kBs + 2, 4), 0);
  EXPECT_EQ(cache.ReadSector(buf.data(), -1, 1), 0);
  EXPECT_EQ(cache.ReadSector(buf.data(), 0, 0), 0);
  EXPECT_EQ(cache.ReadSector(nullptr, 0, 1), 0);
  EXPECT_EQ(cache.ReadSector(buf.data(), LLONG_MAX, 2), 0);
}

// A failed block is handed out as zeros and recorded; reads inside it go to
// the source, which reports the failure; the sweep goes on.
TEST(StorageDeviceWithCache, FailedBlocksAreZerosAndRecorded) {
  const long long total = kBs * 3;
  PatternDevice source(total);
  source.FailSector(kBs + 5);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  ASSERT_EQ(cache.SetCurCacheBlock(0), 1);
  ASSERT_EQ(cache.SetCurCacheBlock(1), 1);
  EXPECT_EQ(cache.GetFailedBlocks(), std::vector<long long>{1});

  std::vector<std::uint8_t> buf(kBs * 512);
  EXPECT_EQ(cache.ReadSector(buf.data(), kBs, kBs), 0);
  EXPECT_TRUE(PatternDevice::IsZero(buf.data() + 5 * 512, 512));
  EXPECT_TRUE(PatternDevice::Check(buf.data() + 4 * 512, kBs + 4, 512));
  EXPECT_EQ(cache.ReadSector(buf.data(), kBs, 5), 1);

  ASSERT_EQ(cache.SetCurCacheBlock(2), 1);
  EXPECT_TRUE(BlockContentOk(cache, 2, total));
}

// Blocks asked out of order are read from the source: the data are always
// those of the block named.
TEST(StorageDeviceWithCache, OutOfOrderBlocksStillHoldTheirOwnData) {
  const long long total = kBs * 30;
  PatternDevice source(total);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  for (long long k : {3LL, 4LL, 2LL, 25LL, 26LL, 27LL, 28LL, 29LL, 0LL}) {
    ASSERT_EQ(cache.SetCurCacheBlock(k), 1);
    EXPECT_TRUE(BlockContentOk(cache, k, total)) << "block " << k;
  }
}

TEST(StorageDeviceWithCache, WorksWithoutTheReadAhead) {
  const long long total = kBs * 3 - 1;
  PatternDevice source(total);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  for (long long k = 0; k < 3; ++k) {
    ASSERT_EQ(cache.SetCurCacheBlock(k), 1);
    EXPECT_TRUE(BlockContentOk(cache, k, total));
  }
  EXPECT_EQ(cache.IsNeedCatchBuffer(), 1);
}

TEST(StorageDeviceWithCache, BlockSizeIsFixedWhileTheReadAheadRuns) {
  PatternDevice source(kBs * 40);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  EXPECT_EQ(cache.IsNeedCatchBuffer(), 0);
  EXPECT_EQ(cache.SetBlockSize(kBs * 2), 0);
  cache.EndCache();
  EXPECT_EQ(cache.IsNeedCatchBuffer(), 1);
  EXPECT_EQ(cache.SetBlockSize(kBs * 2), 1);
  cache.BeginCache();
  ASSERT_EQ(cache.SetCurCacheBlock(0), 1);
  std::vector<std::uint8_t> buf(kBs * 2 * 512);
  ASSERT_EQ(cache.ReadSector(buf.data(), 0, kBs * 2), 1);
  EXPECT_TRUE(PatternDevice::Check(buf.data() + (kBs * 2 - 1) * 512, kBs * 2 - 1, 512));
}
