#include "core/device/AsyncReader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "core/device/DeviceTestFiles.h"
#include "support/TempDir.h"
#include "support/TroubledReads.h"

namespace {

using devtest::FailingSectorsPrimitive;
using devtest::PrimitiveScope;
using testsupport::kTestTimeLimit;

class FileFd {
 public:
  explicit FileFd(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~FileFd() {
    if (fd >= 0) ::close(fd);
  }
  int fd;
};

class AsyncReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = m_dir.File("disk.img");
    m_bytes = devtest::PatternSectors(kSectors, 512);
    devtest::WriteFile(m_path, m_bytes);
  }

  static constexpr long long kSectors = 10 * 2048 + 5;  // just over 10 MiB
  testsupport::TempDir m_dir;
  devtest::LogDirScope m_log{m_dir.Path().string()};
  std::string m_path;
  std::vector<std::uint8_t> m_bytes;
};

TEST_F(AsyncReaderTest, ReadsLargeRequestInPiecesOfFourMiB) {
  FailingSectorsPrimitive primitive(512);
  PrimitiveScope scope(&primitive);
  FileFd file(m_path);
  const long long length = 10LL * 1024 * 1024;
  std::vector<std::uint8_t> buffer(static_cast<size_t>(length), 0xEE);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 0, length), length);
  ASSERT_EQ(primitive.requests.size(), 3u);
  EXPECT_EQ(primitive.requests[0].second, 4u * 1024 * 1024);
  EXPECT_EQ(primitive.requests[1].second, 4u * 1024 * 1024);
  EXPECT_EQ(primitive.requests[2].second, 2u * 1024 * 1024);
  EXPECT_EQ(primitive.requests[2].first, 8u * 1024 * 1024);
  EXPECT_EQ(0, std::memcmp(buffer.data(), m_bytes.data(), buffer.size()));
}

TEST_F(AsyncReaderTest, FailedSectorsBecomeZerosAndTheRestIsIntact) {
  FailingSectorsPrimitive primitive(512);
  const std::vector<long long> bad = {3, 8191, 8192, 12000, 20000};
  for (long long s : bad) primitive.Fail(s);
  PrimitiveScope scope(&primitive);
  FileFd file(m_path);
  const long long sectors = 20480;
  std::vector<std::uint8_t> buffer(static_cast<size_t>(sectors * 512), 0xEE);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 0, sectors * 512), 0);
  for (long long s = 0; s < sectors; ++s) {
    const std::uint8_t* sector = buffer.data() + s * 512;
    const bool isBad = std::find(bad.begin(), bad.end(), s) != bad.end();
    if (isBad) {
      EXPECT_TRUE(devtest::AllZero(sector, 512)) << "sector " << s;
    } else {
      ASSERT_TRUE(devtest::SectorMatches(sector, s, 512)) << "sector " << s;
    }
  }
}

TEST_F(AsyncReaderTest, SectorsAfterABadSectorAreStillRead) {
  // A piece with a bad sector in its middle is read again sector by sector:
  // the sectors after the bad one are still read.
  FailingSectorsPrimitive primitive(4096);
  primitive.Fail(1);
  PrimitiveScope scope(&primitive);
  FileFd file(m_path);
  std::vector<std::uint8_t> buffer(4 * 4096, 0xEE);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 0, 4 * 4096, 4096), 0);
  EXPECT_EQ(0, std::memcmp(buffer.data(), m_bytes.data(), 4096));
  EXPECT_TRUE(devtest::AllZero(buffer.data() + 4096, 4096));
  EXPECT_EQ(0, std::memcmp(buffer.data() + 8192, m_bytes.data() + 8192, 8192));
}

// A disk read through the page cache: a bad sector fails the whole 4 KiB
// page it lies in, unless the descriptor bypasses the cache (O_DIRECT).
class PageCachePrimitive : public IRawReadPrimitive {
 public:
  explicit PageCachePrimitive(long long badSector) : m_bad(badSector) {}
  int directReads = 0;

  Outcome ReadAt(int fd, void* buffer, std::uint64_t length, std::uint64_t offset) override {
    const bool direct = (::fcntl(fd, F_GETFL) & O_DIRECT) != 0;
    if (direct) ++directReads;
    const std::uint64_t unit = direct ? 512 : 4096;
    const std::uint64_t badBegin = static_cast<std::uint64_t>(m_bad) * 512 / unit * unit;
    const std::uint64_t badEnd = badBegin + unit;
    if (badEnd <= offset || badBegin >= offset + length) {
      const ssize_t n = ::pread(fd, buffer, length, static_cast<off_t>(offset));
      return n < 0 ? Outcome{0, errno} : Outcome{static_cast<std::uint64_t>(n), 0};
    }
    const std::uint64_t good = badBegin > offset ? badBegin - offset : 0;
    const ssize_t n = good > 0 ? ::pread(fd, buffer, good, static_cast<off_t>(offset)) : 0;
    return Outcome{n > 0 ? static_cast<std::uint64_t>(n) : 0, EIO};
  }

 private:
  long long m_bad;
};

TEST_F(AsyncReaderTest, ABadSectorCostsOnlyItselfNotItsPage) {
  {
    const int probe = ::open(m_path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
    if (probe < 0) GTEST_SKIP() << "this file system does not allow O_DIRECT";
    ::close(probe);
  }
  const long long bad = 8 + 3;  // inside the second page
  PageCachePrimitive primitive(bad);
  PrimitiveScope scope(&primitive);
  FileFd file(m_path);
  const long long sectors = 64;
  std::vector<std::uint8_t> buffer(static_cast<size_t>(sectors * 512), 0xEE);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 0, sectors * 512), 0);
  EXPECT_GT(primitive.directReads, 0);
  for (long long s = 0; s < sectors; ++s) {
    const std::uint8_t* sector = buffer.data() + s * 512;
    if (s == bad) {
      EXPECT_TRUE(devtest::AllZero(sector, 512));
    } else {
      EXPECT_TRUE(devtest::SectorMatches(sector, s, 512)) << "sector " << s;
    }
  }
}

TEST_F(AsyncReaderTest, ReadPastEndOfFileFailsWithAZeroTail) {
  // What lies past the end was never read: the request fails.
  FileFd file(m_path);
  const long long size = static_cast<long long>(m_bytes.size());
  std::vector<std::uint8_t> buffer(2048, 0xEE);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, size - 1024, 2048), 0);
  EXPECT_EQ(0, std::memcmp(buffer.data(), m_bytes.data() + size - 1024, 1024));
  EXPECT_TRUE(devtest::AllZero(buffer.data() + 1024, 1024));
}

// Sweep reads give the bytes plain reads give, whether the file's pages are
// cached or not (uncached whole pages are read past the cache), and fail
// the same way past the end.
TEST_F(AsyncReaderTest, SweepReadsGiveTheSameBytesCachedOrNot) {
  FileFd file(m_path);
  const long long size = static_cast<long long>(m_bytes.size());
  for (const bool cached : {false, true, false}) {
    ::fdatasync(file.fd);
    if (!cached) ::posix_fadvise(file.fd, 0, 0, POSIX_FADV_DONTNEED);
    std::vector<std::uint8_t> buffer(m_bytes.size(), 0xEE);
    // Whole pieces, an unaligned piece and the short last one.
    EXPECT_EQ(QVReadSweepData(buffer.data(), file.fd, 0, 8LL << 20), 8LL << 20);
    EXPECT_EQ(QVReadSweepData(buffer.data() + (8 << 20), file.fd, 8LL << 20, 512), 512);
    EXPECT_EQ(QVReadSweepData(buffer.data() + (8 << 20) + 512, file.fd, (8LL << 20) + 512, size - (8LL << 20) - 512),
              size - (8LL << 20) - 512);
    EXPECT_EQ(0, std::memcmp(buffer.data(), m_bytes.data(), buffer.size())) << cached;
  }
  std::vector<std::uint8_t> tail(8192, 0xEE);
  const long long aligned = size / 4096 * 4096;
  EXPECT_EQ(QVReadSweepData(tail.data(), file.fd, aligned, 8192), 0);
  EXPECT_EQ(0, std::memcmp(tail.data(), m_bytes.data() + aligned, static_cast<std::size_t>(size - aligned)));
  EXPECT_TRUE(devtest::AllZero(tail.data() + (size - aligned), static_cast<std::size_t>(8192 - (size - aligned))));
}

TEST_F(AsyncReaderTest, RefusesBadArgumentsWithoutTouchingTheBuffer) {
  FileFd file(m_path);
  std::vector<std::uint8_t> buffer(512, 0xEE);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 0, 0), 0);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, -1, 512), 0);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), -1, 0, 512), 0);
  EXPECT_EQ(QVReadAsyncData(nullptr, file.fd, 0, 512), 0);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, LLONG_MAX - 10, 512), 0);
  for (std::uint8_t b : buffer) ASSERT_EQ(b, 0xEE);
}

TEST_F(AsyncReaderTest, OtherErrorsZeroThePiece) {
  // A descriptor opened for writing only cannot be read: EBADF.
  const int fd = ::open(m_dir.File("w").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  std::vector<std::uint8_t> buffer(4096, 0xEE);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), fd, 0, 4096), 0);
  EXPECT_TRUE(devtest::AllZero(buffer.data(), buffer.size()));
  ::close(fd);
}

// A read that hangs is given up on after the time limit: its piece and the
// rest of the request are zeros, and the device is not read again until a
// new scan starts after the stuck read came back.
TEST_F(AsyncReaderTest, AHangingPieceTimesOutAndItsDeviceIsNotReadAgain) {
  testsupport::TroubledReads reads(m_path, 512);
  reads.Hang(9000);  // in the second 4 MiB piece
  testsupport::TroubledReadsScope scope(reads, kTestTimeLimit);
  FileFd file(m_path);
  const long long length = 10LL * 1024 * 1024;
  std::vector<std::uint8_t> buffer(static_cast<size_t>(length), 0xEE);
  AsyncReadReport report;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 0, length, 512, &report), 0);
  // The hanging read would last a minute; the caller waited only the limit.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(reads.HungCalls(), 1);
  EXPECT_TRUE(report.timedOut);
  EXPECT_EQ(report.unreadableBytes, length - kAsyncReadPiece);
  EXPECT_EQ(0, std::memcmp(buffer.data(), m_bytes.data(), static_cast<size_t>(kAsyncReadPiece)));
  EXPECT_TRUE(devtest::AllZero(buffer.data() + kAsyncReadPiece, static_cast<size_t>(length - kAsyncReadPiece)));
  EXPECT_TRUE(IsHungSource(file.fd));
  EXPECT_EQ(AbandonedReadCount(), 1u);

  // Not read again: a request of a good sector fails at once, unread.
  const int calls = reads.Calls();
  std::vector<std::uint8_t> sector(512, 0xEE);
  EXPECT_EQ(QVReadAsyncData(sector.data(), file.fd, 0, 512, 512, &report), 0);
  EXPECT_EQ(reads.Calls(), calls);
  EXPECT_TRUE(devtest::AllZero(sector.data(), sector.size()));
  // Nor through another descriptor of the same file.
  FileFd again(m_path);
  EXPECT_EQ(QVReadAsyncData(sector.data(), again.fd, 0, 512), 0);
  // Another file is read as usual, by a new reader thread.
  const std::string otherPath = m_dir.File("other.img");
  devtest::WriteFile(otherPath, devtest::PatternSectors(8, 512));
  FileFd other(otherPath);
  EXPECT_EQ(QVReadAsyncData(sector.data(), other.fd, 512, 512), 512);
  EXPECT_TRUE(devtest::SectorMatches(sector.data(), 1, 512));

  // A new scan does not read it while the stuck read is still out...
  NewReadSession();
  EXPECT_TRUE(IsHungSource(file.fd));
  // ...but once it came back.
  reads.Release();
  ASSERT_TRUE(testsupport::WaitForAbandonedReads(std::chrono::seconds(30)));
  EXPECT_TRUE(IsHungSource(file.fd));
  NewReadSession();
  EXPECT_FALSE(IsHungSource(file.fd));
  EXPECT_EQ(QVReadAsyncData(sector.data(), file.fd, 512 * 9000, 512), 512);
  EXPECT_TRUE(devtest::SectorMatches(sector.data(), 9000, 512));
}

TEST_F(AsyncReaderTest, AHangWhileRetryingBadSectorsEndsTheRequest) {
  // Sector 3 fails, so the piece is read again sector by sector; sector 5
  // then hangs: 0-2 and 4 are data, 3 and everything from 5 on are zeros.
  testsupport::TroubledReads reads(m_path, 512);
  reads.Fail(3);
  reads.Hang(5);
  testsupport::TroubledReadsScope scope(reads, kTestTimeLimit);
  FileFd file(m_path);
  std::vector<std::uint8_t> buffer(16 * 512, 0xEE);
  AsyncReadReport report;
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 0, 16 * 512, 512, &report), 0);
  EXPECT_TRUE(report.timedOut);
  EXPECT_EQ(report.unreadableBytes, 12 * 512);
  for (long long s = 0; s < 16; ++s) {
    const bool data = s < 3 || s == 4;
    if (data) {
      EXPECT_TRUE(devtest::SectorMatches(buffer.data() + s * 512, s, 512)) << "sector " << s;
    } else {
      EXPECT_TRUE(devtest::AllZero(buffer.data() + s * 512, 512)) << "sector " << s;
    }
  }
}

TEST_F(AsyncReaderTest, UnreadableBytesAreReported) {
  testsupport::TroubledReads reads(m_path, 512);
  reads.Fail(7);
  reads.Fail(9);
  testsupport::TroubledReadsScope scope(reads, std::chrono::seconds(30));
  FileFd file(m_path);
  std::vector<std::uint8_t> buffer(32 * 512);
  AsyncReadReport report;
  const long long before = UnreadableBytesSoFar();
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 0, 32 * 512, 512, &report), 0);
  EXPECT_FALSE(report.timedOut);
  EXPECT_EQ(report.unreadableBytes, 2 * 512);
  EXPECT_EQ(UnreadableBytesSoFar() - before, 2 * 512);
  // Failing again in the same session, they are not counted again...
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 4 * 512, 8 * 512, 512, &report), 0);
  EXPECT_EQ(report.unreadableBytes, 2 * 512);
  EXPECT_EQ(UnreadableBytesSoFar() - before, 2 * 512);
  // ...but in the next one.
  NewReadSession();
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, 0, 8 * 512, 512, &report), 0);
  EXPECT_EQ(UnreadableBytesSoFar() - before, 3 * 512);
}

class AsyncReaderThreads : public AsyncReaderTest {};

TEST_F(AsyncReaderThreads, ConcurrentRequestsEachGetTheirOwnBytes) {
  FileFd file(m_path);
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      std::vector<std::uint8_t> buffer(64 * 512);
      for (int round = 0; round < 50; ++round) {
        const long long start = (t * 997 + round * 61) % (kSectors - 64);
        if (QVReadAsyncData(buffer.data(), file.fd, start * 512, 64 * 512) != 64 * 512 ||
            std::memcmp(buffer.data(), m_bytes.data() + start * 512, buffer.size()) != 0) {
          ++failures[static_cast<size_t>(t)];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
