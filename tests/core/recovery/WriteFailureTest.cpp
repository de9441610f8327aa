// A destination that refuses writes: the file-size limit of a child process
// makes write() fail with EFBIG, as a full disk would.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "core/model/SearchedPartitionInfo.h"
#include "core/recovery/RecoveryTestNode.h"
#include "core/recovery/RecoveryWriter.h"
#include "support/Files.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr long long kLimit = 1024 * 1024;

// Records the results; on a failed write it frees the "disk" (raises the
// limit) after `freeAfter` failures, or cancels after `cancelAfter`.
class ResumingSink : public IProgress {
 public:
  ResumingSink(int freeAfter, int cancelAfter) : m_freeAfter(freeAfter), m_cancelAfter(cancelAfter) {}
  void UpdateProgress(_PROGRESS_INFO* info) override {
    results.push_back(info->result);
    if (info->result != 0xD03) return;
    ++failures;
    if (failures == m_freeAfter) {
      rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
      setrlimit(RLIMIT_FSIZE, &unlimited);
    }
  }
  int Continued() override { return m_cancelAfter > 0 && failures >= m_cancelAfter ? 0 : 1; }
  int shouldBuild() override { return 1; }

  std::vector<std::uint64_t> results;
  int failures = 0;

 private:
  int m_freeAfter;
  int m_cancelAfter;
};

// Runs `body` in a child whose files may not grow beyond kLimit; the child's
// exit status (0 = every check passed).
template <typename Body>
int InLimitedChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{static_cast<rlim_t>(kLimit), RLIM_INFINITY};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(90);
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

class WriteFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    Bytes bytes(6 * 1024 * 1024 + 8 * 512);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 512);
    device = std::make_unique<testsupport::MemoryDevice>(std::move(bytes));
    partition.m_iSectorsPerCluster = 8;
    partition.SetTotalSectors(device->GetTotalSectors());
    ASSERT_EQ(recovery.Initialize(std::vector<CSearchedPartitionInfo*>{&partition}, device.get()), 0u);
    reader = recovery.SetRecoverNode(&file);
    ASSERT_NE(reader, nullptr);
  }
  void TearDown() override {
    if (reader != nullptr) reader->Release();
  }

  Bytes Expected() {
    return Bytes(device->Bytes().begin() + 4096, device->Bytes().begin() + 4096 + file.GetFileSize());
  }

  std::unique_ptr<testsupport::MemoryDevice> device;
  CSearchedPartitionInfo partition{512};
  CDataRecovery recovery;
  // Six MiB from cluster 1: the first 4 MiB block crosses the 1 MiB limit.
  RecoveryTestNode file{"big.bin", 6 * 1024 * 1024, {{1, 1536}}};
  IFileReader* reader = nullptr;
  testsupport::TempDir tmp;
};

TEST_F(WriteFailure, ReportsD03AndRetriesAfterTheSinkResumes) {
  const std::string out = tmp.File("out/big.bin");
  const int status = InLimitedChild([&] {
    ResumingSink sink(2, 0);
    if (recovery.RecoverTo(out.c_str(), &sink, 0) != 0) return 1;
    if (sink.failures != 2) return 2;
    // Start, two failed passes, then the blocks.
    const std::vector<std::uint64_t> want = {0, 0xD03, 0xD03, 0, 0};
    if (sink.results != want) return 3;
    return 0;
  });
  ASSERT_EQ(status, 0);
  const Bytes got = testsupport::ReadFileBytes(out);
  EXPECT_TRUE(got == Expected());
}

TEST_F(WriteFailure, StopsWhenTheUserCancels) {
  const std::string out = tmp.File("big.bin");
  const int status = InLimitedChild([&] {
    ResumingSink sink(0, 3);
    if (recovery.RecoverTo(out.c_str(), &sink, 0) != 0) return 1;
    return sink.failures == 3 ? 0 : 2;
  });
  EXPECT_EQ(status, 0);
}

TEST_F(WriteFailure, WithoutASinkGivesUpWithD03) {
  const std::string out = tmp.File("big.bin");
  const int status = InLimitedChild([&] {
    const RESULT rc = recovery.RecoverTo(out.c_str(), nullptr, 0);
    return result::Failed(rc) && result::CodeOf(rc) == 0xD03 ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
