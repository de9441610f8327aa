#include "core/archive/StdFile.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <vector>

#include "ArchiveTestUtil.h"
#include "support/TempDir.h"

namespace {

using archivetest::ReadFileBytes;
using archivetest::UmaskGuard;
using archivetest::WriteFileBytes;

struct ModeCase {
  const char* name;
  CStdFile::OpenMode mode;
  bool exists;
  int opened;
  bool existsAfter;
  std::size_t sizeAfter;
};

class StdFileModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(StdFileModes, OpensCreatesAndTruncates) {
  const ModeCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string path = dir.File("f.bin");
  if (c.exists) WriteFileBytes(path, std::vector<std::uint8_t>(10, 0x5A));

  CStdFile file;
  EXPECT_EQ(file.Open(path.c_str(), c.mode), c.opened);
  EXPECT_EQ(file.IsOpen(), c.opened == 1);
  file.Close();
  EXPECT_EQ(std::filesystem::exists(path), c.existsAfter);
  if (c.existsAfter) {
    EXPECT_EQ(std::filesystem::file_size(path), c.sizeAfter);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StdFileModes,
    ::testing::Values(ModeCase{"ReadMissing", CStdFile::modeRead, false, 0, false, 0},
                      ModeCase{"ReadExisting", CStdFile::modeRead, true, 1, true, 10},
                      ModeCase{"ReadWriteMissing", CStdFile::modeReadWrite, false, 1, true, 0},
                      ModeCase{"ReadWriteExisting", CStdFile::modeReadWrite, true, 1, true, 10},
                      ModeCase{"WriteExisting", CStdFile::modeWrite, true, 1, true, 10},
                      ModeCase{"CreateMissing", CStdFile::modeCreate, false, 1, true, 0},
                      ModeCase{"CreateTruncates", CStdFile::modeCreate, true, 1, true, 0},
                      ModeCase{"OpenOrCreateKeeps", CStdFile::modeOpenOrCreate, true, 1, true, 10},
                      ModeCase{"OpenOrCreateMissing", CStdFile::modeOpenOrCreate, false, 1, true, 0},
                      ModeCase{"ModeFiveRefused", static_cast<CStdFile::OpenMode>(5), true, 0, true, 10},
                      ModeCase{"NegativeModeRefused", static_cast<CStdFile::OpenMode>(-1), false, 0, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StdFile, NewFileIs0644ExistingModeKept) {
  UmaskGuard mask(022);
  testsupport::TempDir dir;
  const std::string fresh = dir.File("fresh.bin");
  const std::string privateFile = dir.File("private.bin");
  WriteFileBytes(privateFile, {1, 2, 3});
  ASSERT_EQ(::chmod(privateFile.c_str(), 0600), 0);

  for (const std::string& path : {fresh, privateFile}) {
    CStdFile file;
    ASSERT_EQ(file.Open(path.c_str(), CStdFile::modeCreate), 1) << path;
  }
  struct stat st {};
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  ASSERT_EQ(::stat(privateFile.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(StdFile, DescriptorIsCloseOnExec) {
  testsupport::TempDir dir;
  const std::string path = dir.File("f.bin");
  CStdFile file;
  ASSERT_EQ(file.Open(path.c_str(), CStdFile::modeCreate), 1);
  const int flags = ::fcntl(file.Handle(), F_GETFD);
  ASSERT_GE(flags, 0);
  EXPECT_NE(flags & FD_CLOEXEC, 0);
}

TEST(StdFile, DescriptorZeroIsAnOpenFile) {
  // A process started without stdin hands out descriptor 0 first.
  testsupport::TempDir dir;
  const std::string path = dir.File("f.bin");
  WriteFileBytes(path, {'a', 'b', 'c'});
  const int savedStdin = ::dup(0);
  ASSERT_GE(savedStdin, 0);
  ::close(0);
  {
    CStdFile file;
    EXPECT_EQ(file.Open(path.c_str(), CStdFile::modeRead), 1);
    EXPECT_EQ(file.Handle(), 0);
    EXPECT_TRUE(file.IsOpen());
    char buf[3] = {};
    EXPECT_EQ(file.Read(buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "abc");
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(::fcntl(0, F_GETFD), -1);  // closed by Close()
  }
  ASSERT_EQ(::dup2(savedStdin, 0), 0);
  ::close(savedStdin);
}

TEST(StdFile, RefusesWhatIsNotARegularFile) {
  testsupport::TempDir dir;
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  CStdFile file;
  // Neither call may block waiting for a writer or reader.
  EXPECT_EQ(file.Open(fifo.c_str(), CStdFile::modeRead), 0);
  EXPECT_EQ(file.Open(fifo.c_str(), CStdFile::modeCreate), 0);
  EXPECT_EQ(file.Open(dir.Path().c_str(), CStdFile::modeRead), 0);
  EXPECT_EQ(file.Open("/dev/null", CStdFile::modeRead), 0);
  EXPECT_FALSE(file.IsOpen());
}

TEST(StdFile, ClosedFileAnswersNothing) {
  CStdFile file;
  char buf[4] = {};
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Read(buf, sizeof buf), 0u);
  EXPECT_EQ(file.Write(buf, sizeof buf), 0);
  EXPECT_EQ(file.ReadAt(0, buf, sizeof buf), 0u);
  EXPECT_EQ(file.WriteAt(0, buf, sizeof buf), 0);
  EXPECT_EQ(file.Seek(0), 0);
  EXPECT_EQ(file.SeekToEnd(), -1);
  EXPECT_EQ(file.GetPosition(), -1);
}

TEST(StdFile, SeekAndPositionalIo) {
  testsupport::TempDir dir;
  const std::string path = dir.File("f.bin");
  CStdFile file;
  ASSERT_EQ(file.Open(path.c_str(), CStdFile::modeCreate), 1);
  ASSERT_EQ(file.Write("0123456789", 10), 1);
  EXPECT_EQ(file.GetPosition(), 10);
  EXPECT_EQ(file.SeekToBegin(), 1);  // position 0 is a successful seek
  EXPECT_EQ(file.GetPosition(), 0);
  ASSERT_EQ(file.WriteAt(4, "ab", 2), 1);
  EXPECT_EQ(file.GetPosition(), 0);  // positional I/O leaves the position alone
  char buf[6] = {};
  EXPECT_EQ(file.ReadAt(2, buf, 6), 6u);
  EXPECT_EQ(std::string(buf, 6), "23ab67");
  EXPECT_EQ(file.ReadAt(8, buf, 6), 2u);  // end of file
  EXPECT_EQ(file.ReadAt(-1, buf, 1), 0u);
  EXPECT_EQ(file.Seek(-1), 0);
  EXPECT_EQ(file.SeekToEnd(), 10);
  EXPECT_EQ(file.Read(buf, 1), 0u);
}

// Caps the size of files this process may write; a write crossing the cap
// is cut short by the kernel, the next one fails with EFBIG.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit capped = m_old;
    capped.rlim_cur = bytes;
    m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &capped) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
  }
  bool Ok() const { return m_ok; }

 private:
  rlimit m_old{};
  void (*m_oldHandler)(int) = nullptr;
  bool m_ok = false;
};

TEST(StdFile, PartialWriteIsFailure) {
  testsupport::TempDir dir;
  const std::string path = dir.File("f.bin");
  CStdFile file;
  ASSERT_EQ(file.Open(path.c_str(), CStdFile::modeCreate), 1);
  const std::vector<std::uint8_t> data(4096, 0x11);
  {
    FileSizeLimit limit(1000);
    if (!limit.Ok()) GTEST_SKIP() << "cannot lower RLIMIT_FSIZE";
    EXPECT_EQ(file.Write(data.data(), data.size()), 0);
    EXPECT_EQ(file.WriteAt(0, data.data(), data.size()), 0);
  }
  EXPECT_EQ(ReadFileBytes(path).size(), 1000u);
}

}  // namespace
