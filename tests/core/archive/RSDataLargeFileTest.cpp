#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ArchiveTestUtil.h"
#include "core/archive/RSData.h"
#include "support/TempDir.h"

namespace {

using namespace archivetest;

constexpr std::int64_t kHugePayload = 3LL << 30;  // 3 GiB, sparse

// Header, then frame A whose 3 GiB payload is a hole in a sparse file.
// Returns false when the file system cannot hold such a file.
bool MakeSparseContainer(const std::string& path) {
  {
    CRSData rs(RSModeWrite);
    if (rs.StartRS(path.c_str(), 1) != 1) return false;
    FILEHEADER header;
    header.status = 1;
    if (rs.WriteFileHeader(header) != 1) return false;
  }
  FRAMEHEADER frame;
  frame.signature = kRSFileSignature;
  frame.tag = kTagA;
  frame.length = static_cast<std::uint32_t>(kHugePayload);
  const FrameHeaderBytes raw = EncodeFrameHeader(frame);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::pwrite(fd, raw.data(), raw.size(), FILEHEADER::kSize) == static_cast<ssize_t>(raw.size()) &&
                  ::ftruncate(fd, static_cast<off_t>(FILEHEADER::kSize + FRAMEHEADER::kSize + kHugePayload)) == 0;
  ::close(fd);
  return ok;
}

TEST(RSDataLargeFile, FramesBeyondTwoGiB) {
  testsupport::TempDir dir;
  const std::string path = dir.File("big.bin");
  if (!MakeSparseContainer(path)) GTEST_SKIP() << "no sparse 3 GiB file possible here";
  const std::int64_t framePos = FILEHEADER::kSize + FRAMEHEADER::kSize + kHugePayload;

  const std::vector<std::uint8_t> payload = Pattern(1000, 5);
  {
    CRSData rs(RSModeWrite);
    ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
    ASSERT_EQ(rs.OpenFrame(kTagB), 1);
    ASSERT_EQ(rs.WriteCurFrame(payload.data(), 600), 1);
    ASSERT_EQ(rs.WriteCurFrame(payload.data() + 600, 400), 1);
    ASSERT_EQ(rs.CloseFrame(), 1);
    ASSERT_EQ(rs.EndRS(), 1);
  }

  // The final length was written into the header at its real offset.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  FrameHeaderBytes raw{};
  const ssize_t n = ::pread(fd, raw.data(), raw.size(), static_cast<off_t>(framePos));
  ::close(fd);
  ASSERT_EQ(n, static_cast<ssize_t>(raw.size()));
  const FRAMEHEADER stored = DecodeFrameHeader(raw);
  EXPECT_EQ(stored.signature, kRSFileSignature);
  EXPECT_EQ(stored.tag, kTagB);
  EXPECT_EQ(stored.length, 1000u);

  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  FILEHEADER header;
  ASSERT_EQ(rs.ReadFileHeader(header), 1);
  ASSERT_EQ(rs.OpenFrame(kTagB), 1);
  ASSERT_EQ(rs.GetFrameSize(), 1000u);
  std::vector<std::uint8_t> back(1000);
  ASSERT_EQ(rs.ReadCurFrame(back.data(), 1000), 1);
  EXPECT_EQ(back, payload);

  ASSERT_EQ(rs.OpenFrame(kTagA), 1);
  EXPECT_EQ(rs.GetFrameSize(), static_cast<std::uint32_t>(kHugePayload));
}

TEST(RSDataLargeFile, FrameLengthBeyondFourGiBIsRefused) {
  // A frame length is 32 bits: growing past it must fail, not wrap.
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  const std::size_t huge = 0xFFFFFFFFu;
  void* block = ::mmap(nullptr, huge, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (block == MAP_FAILED) GTEST_SKIP() << "cannot reserve 4 GiB of address space";

  {
    CRSData rs(RSModeWrite);
    ASSERT_EQ(rs.StartRS(path.c_str(), 1), 1);
    ASSERT_EQ(rs.OpenFrame(kTagA), 1);
    ASSERT_EQ(rs.WriteCurFrame("x", 1), 1);
    EXPECT_EQ(ThrownCode([&] { rs.WriteCurFrame(block, 0xFFFFFFFFu); }), CRSException::kWriteFailed);
    ASSERT_EQ(rs.CloseFrame(), 1);
  }
  ::munmap(block, huge);

  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  ASSERT_EQ(rs.OpenFrame(kTagA), 1);
  EXPECT_EQ(rs.GetFrameSize(), 1u);
}

}  // namespace
