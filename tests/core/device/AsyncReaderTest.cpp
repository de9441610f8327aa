#include "core/device/AsyncReader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "core/device/DeviceTestFiles.h"
#include "support/TempDir.h"

namespace {

using devtest::FailingSectorsPrimitive;
using devtest::PrimitiveScope;

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

TEST_F(AsyncReaderTest, ReadPastEndOfFileGetsZeroTail) {
  FileFd file(m_path);
  const long long size = static_cast<long long>(m_bytes.size());
  std::vector<std::uint8_t> buffer(2048, 0xEE);
  EXPECT_EQ(QVReadAsyncData(buffer.data(), file.fd, size - 1024, 2048), 2048);
  EXPECT_EQ(0, std::memcmp(buffer.data(), m_bytes.data() + size - 1024, 1024));
  EXPECT_TRUE(devtest::AllZero(buffer.data() + 1024, 1024));
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
