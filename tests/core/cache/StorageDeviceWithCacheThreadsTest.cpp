// The read-ahead thread against the scan thread.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "core/cache/PatternDevice.h"
#include "core/cache/StorageDeviceWithCache.h"

using testsupport::PatternDevice;
using namespace std::chrono_literals;

namespace {

constexpr unsigned kBs = 8;
constexpr int kDepth = CStorageDeviceWithCache::kQueueDepth;

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

bool BlockOk(CStorageDeviceWithCache& cache, long long k, long long total) {
  const long long start = k * kBs;
  const long long n = std::min<long long>(kBs, total - start);
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(n) * 512);
  if (cache.ReadSector(buf.data(), start, n) == 0) return false;
  for (long long i = 0; i < n; ++i) {
    if (!PatternDevice::Check(buf.data() + i * 512, start + i, 512)) return false;
  }
  return true;
}

}  // namespace

// While the reader is stuck in a slow read, the blocks already queued are
// handed out without waiting for it.
TEST(StorageDeviceWithCacheThreads, ReaderDoesNotBlockHandOverWhileReading) {
  const long long total = kBs * 40;
  PatternDevice source(total);
  source.CloseGateAfter(kDepth);  // the first blocks pass, the reader's wait
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();

  ASSERT_EQ(cache.SetCurCacheBlock(0), 1);
  ASSERT_TRUE(WaitFor([&] { return source.Waiting() == 1; })) << "the reader should be reading block 10";

  auto consume = std::async(std::launch::async, [&] {
    for (long long k = 1; k < kDepth; ++k) {
      if (cache.SetCurCacheBlock(k) != 1 || !BlockOk(cache, k, total)) return false;
      if (cache.IsNeedCatchBuffer() != (k == kDepth - 1 ? 1 : 0)) return false;
    }
    return true;
  });
  const bool finished = consume.wait_for(10s) == std::future_status::ready;
  EXPECT_EQ(source.Waiting(), 1) << "still reading";
  source.OpenGate();
  ASSERT_TRUE(finished) << "hand-over waited for the reader's read";
  EXPECT_TRUE(consume.get());

  for (long long k = kDepth; k < 40; ++k) {
    ASSERT_EQ(cache.SetCurCacheBlock(k), 1);
    ASSERT_TRUE(BlockOk(cache, k, total)) << k;
  }
  cache.EndCache();
}

// The scan thread's own reads outside the current block go to the source
// while the reader reads it too.
TEST(StorageDeviceWithCacheThreads, ScanReadsAndReadAheadShareTheSource) {
  const long long total = kBs * 60 + 3;
  PatternDevice source(total);
  source.RecordReads(false);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  std::vector<std::uint8_t> buf(3 * kBs * 512);
  for (long long k = 0; k <= 60; ++k) {
    ASSERT_EQ(cache.SetCurCacheBlock(k), 1);
    ASSERT_TRUE(BlockOk(cache, k, total));
    // A read running into the next blocks.
    const long long start = k * kBs + 1;
    const long long n = std::min<long long>(2 * kBs, total - start);
    ASSERT_EQ(cache.ReadSector(buf.data(), start, n), 1);
    for (long long i = 0; i < n; ++i) ASSERT_TRUE(PatternDevice::Check(buf.data() + i * 512, start + i, 512));
  }
  cache.EndCache();
  EXPECT_TRUE(cache.GetFailedBlocks().empty());
}

TEST(StorageDeviceWithCacheThreads, EndCacheWhileTheQueueIsFullReturnsPromptly) {
  PatternDevice source(kBs * 100);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  ASSERT_EQ(cache.SetCurCacheBlock(0), 1);
  // The reader refills the one free slot, then waits for need-more.
  ASSERT_TRUE(WaitFor([&] { return source.ReadCount() == kDepth + 1; }));
  const auto t0 = std::chrono::steady_clock::now();
  cache.EndCache();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 5s);
  EXPECT_EQ(cache.IsNeedCatchBuffer(), 1);
  EXPECT_EQ(source.ReadCount(), kDepth + 1);
}

// A stop during a read waits for that one read only.
TEST(StorageDeviceWithCacheThreads, EndCacheDuringAReadWaitsForThatReadOnly) {
  PatternDevice source(kBs * 100);
  source.CloseGateAfter(kDepth);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  ASSERT_EQ(cache.SetCurCacheBlock(0), 1);
  ASSERT_TRUE(WaitFor([&] { return source.Waiting() == 1; }));

  auto stop = std::async(std::launch::async, [&] { cache.EndCache(); });
  EXPECT_EQ(stop.wait_for(50ms), std::future_status::timeout);
  source.OpenGate();
  ASSERT_EQ(stop.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(source.ReadCount(), kDepth + 1);
}

// The hand-over waits for a block that is being read, and gets it.
TEST(StorageDeviceWithCacheThreads, HandOverWaitsForTheBlockBeingRead) {
  const long long total = kBs * (kDepth + 2);
  PatternDevice source(total);
  source.CloseGateAfter(kDepth);
  CStorageDeviceWithCache cache(&source);
  ASSERT_EQ(cache.SetBlockSize(kBs), 1);
  cache.BeginCache();
  for (long long k = 0; k < kDepth; ++k) ASSERT_EQ(cache.SetCurCacheBlock(k), 1);
  ASSERT_TRUE(WaitFor([&] { return source.Waiting() >= 1; }));

  auto next = std::async(std::launch::async, [&] { return cache.SetCurCacheBlock(kDepth); });
  EXPECT_EQ(next.wait_for(50ms), std::future_status::timeout);
  source.OpenGate();
  ASSERT_EQ(next.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(next.get(), 1);
  EXPECT_TRUE(BlockOk(cache, kDepth, total));
  ASSERT_EQ(cache.SetCurCacheBlock(kDepth + 1), 1);
  EXPECT_TRUE(BlockOk(cache, kDepth + 1, total));
  EXPECT_EQ(source.ReadCount(), kDepth + 2) << "every block read once";
}

TEST(StorageDeviceWithCacheThreads, DestroyingARunningCacheStopsItsReader) {
  PatternDevice source(kBs * 1000);
  source.RecordReads(false);
  {
    CStorageDeviceWithCache cache(&source);
    ASSERT_EQ(cache.SetBlockSize(kBs), 1);
    cache.BeginCache();
    for (long long k = 0; k < 25; ++k) ASSERT_EQ(cache.SetCurCacheBlock(k), 1);
  }
  const long long reads = source.ReadCount();
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(source.ReadCount(), reads);
  EXPECT_LE(reads, 25 + kDepth + 1);
}
