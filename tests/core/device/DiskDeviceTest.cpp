#include "core/device/DiskDevice.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/device/DeviceTestFiles.h"
#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

std::uint32_t CodeOf(IStorageDevice& device) { return result::CodeOf(device.GetLastError()); }

class DiskDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = m_dir.File("disk.img");
    m_bytes = devtest::PatternSectors(kSectors, 512);
    devtest::WriteFile(m_path, m_bytes);
  }
  static constexpr long long kSectors = 64;
  testsupport::TempDir m_dir;
  std::string m_path;
  std::vector<std::uint8_t> m_bytes;
};

TEST_F(DiskDeviceTest, RegularImageFileOpensAsDiskAndReadsTheRightSectors) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_path.c_str()));
  ASSERT_EQ(disk->Open(nullptr), 1);
  EXPECT_EQ(disk->GetType(), kDeviceDisk);
  EXPECT_EQ(disk->GetSectorSize(), 512);
  EXPECT_EQ(disk->GetTotalSectors(), kSectors);
  EXPECT_EQ(disk->IsPermitted(), 1);
  std::vector<std::uint8_t> buffer(3 * 512);
  ASSERT_EQ(disk->ReadSector(buffer.data(), 10, 3), 1);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(devtest::SectorMatches(buffer.data() + i * 512, 10 + i, 512));
  ASSERT_EQ(disk->ReadSector(buffer.data(), kSectors - 1, 1), 1);
  EXPECT_TRUE(devtest::SectorMatches(buffer.data(), kSectors - 1, 512));
  EXPECT_EQ(disk->Close(), 1);
  EXPECT_EQ(disk->Close(), 0);
}

TEST_F(DiskDeviceTest, RefusedReadsReportCodeFive) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_path.c_str()));
  ASSERT_EQ(disk->Open(nullptr), 1);
  std::vector<std::uint8_t> buffer(4 * 512);
  struct Case {
    const char* what;
    void* buffer;
    long long start;
    long long count;
  } cases[] = {
      {"null buffer", nullptr, 0, 1},
      {"negative start", buffer.data(), -1, 1},
      {"zero count", buffer.data(), 0, 0},
      {"start at the end", buffer.data(), kSectors, 1},
      {"runs past the end", buffer.data(), kSectors - 1, 2},
      {"huge count", buffer.data(), 1, LLONG_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(disk->ReadSector(c.buffer, c.start, c.count), 0) << c.what;
    EXPECT_EQ(CodeOf(*disk), kDevBadArgument) << c.what;
    EXPECT_EQ(result::ModuleOf(disk->GetLastError()), result::kModuleStorageDevice) << c.what;
  }
  ASSERT_EQ(disk->ReadSector(buffer.data(), 0, 1), 1);
  EXPECT_EQ(disk->GetLastError(), 0u);
}

TEST_F(DiskDeviceTest, IoctlFailsWithCodeThree) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_path.c_str()));
  EXPECT_EQ(disk->IOCtl(0x1234, nullptr), 0);
  EXPECT_EQ(CodeOf(*disk), kDevIoctlUnsupported);
}

// The flush before a scan reaches an image file through wrappers that pass
// IOCtl on; the file needs no flush and the device no error.
TEST_F(DiskDeviceTest, TheFlushBeforeAScanIsAnsweredWithoutError) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_path.c_str()));
  EXPECT_EQ(disk->IOCtl(CFileBackedDevice::kIoctlFlushBeforeScan, nullptr), 1);
  EXPECT_EQ(disk->GetLastError(), 0u);
}

TEST_F(DiskDeviceTest, MissingFileFailsWithCodeOneAndStaysPermitted) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_dir.File("absent").c_str()));
  EXPECT_EQ(disk->Open(nullptr), 0);
  EXPECT_EQ(CodeOf(*disk), kDevOpenOrReadFailed);
  EXPECT_EQ(disk->IsPermitted(), 1);
  std::uint8_t buffer[512];
  EXPECT_EQ(disk->ReadSector(buffer, 0, 1), 0);
}

TEST_F(DiskDeviceTest, RecordGeometryReplacesTheDevicesAndBoundsReads) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_path.c_str()));
  ASSERT_EQ(disk->Open(nullptr), 1);
  auto* info = new CCollectDiskDeviceInfoStruct;
  info->sectorSize = 0;  // counts as 512
  info->totalSectors = 16;
  disk->SetPrivateData(CreateDiskDeviceData(info));
  EXPECT_EQ(GetDiskInfo(disk.get()), info);
  EXPECT_EQ(disk->GetSectorSize(), 512);
  EXPECT_EQ(disk->GetTotalSectors(), 16);
  std::uint8_t buffer[512];
  EXPECT_EQ(disk->ReadSector(buffer, 16, 1), 0);
  EXPECT_EQ(CodeOf(*disk), kDevBadArgument);
  // A record that claims more sectors than the file holds cannot read past it.
  info->totalSectors = kSectors * 4;
  disk->SetPrivateData(CreateDiskDeviceData(new CCollectDiskDeviceInfoStruct(*info)));
  EXPECT_EQ(disk->ReadSector(buffer, kSectors, 1), 0);
  EXPECT_EQ(CodeOf(*disk), kDevBadArgument);
  EXPECT_EQ(disk->ReadSector(buffer, kSectors - 1, 1), 1);
}

TEST_F(DiskDeviceTest, VolumesAreStoredAsCopies) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_path.c_str()));
  std::vector<CCollectedVolumeDeviceInfoStruct> volumes(2);
  volumes[0].bsdName = "sdb1";
  volumes[1].bsdName = "sdb2";
  disk->SetVolumes(volumes);
  volumes[0].bsdName = "changed";
  std::vector<CCollectedVolumeDeviceInfoStruct> out(5);
  EXPECT_EQ(disk->GetVolumes(out), 2);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].bsdName, "sdb1");
  EXPECT_EQ(out[1].bsdName, "sdb2");
}

TEST_F(DiskDeviceTest, ReOpenRetriesAndGivesUp) {
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_path.c_str()));
  ASSERT_EQ(disk->Open(nullptr), 1);
  EXPECT_EQ(disk->ReOpen(), 1);
  std::uint8_t buffer[512];
  EXPECT_EQ(disk->ReadSector(buffer, 5, 1), 1);
  EXPECT_TRUE(devtest::SectorMatches(buffer, 5, 512));
  std::remove(m_path.c_str());
  disk->SetReOpenDelay(std::chrono::milliseconds(1));
  EXPECT_EQ(disk->ReOpen(), 0);
  EXPECT_EQ(CodeOf(*disk), kDevOpenOrReadFailed);
  EXPECT_FALSE(disk->IsOpen());
}

TEST_F(DiskDeviceTest, ReadOnlySourceOpensAndReads) {
  ASSERT_EQ(::chmod(m_path.c_str(), 0444), 0);
  const bool immutable =
      testsupport::HaveProgram("chattr") && testsupport::Run("chattr +i '" + m_path + "' >/dev/null 2>&1") == 0;
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_path.c_str()));
  const int opened = disk->Open(nullptr);
  std::vector<std::uint8_t> buffer(512);
  const int read = opened ? disk->ReadSector(buffer.data(), 7, 1) : 0;
  disk.reset();
  if (immutable) testsupport::Run("chattr -i '" + m_path + "'");
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(read, 1);
  EXPECT_TRUE(devtest::SectorMatches(buffer.data(), 7, 512));
  if (!immutable) std::printf("note: chattr +i not available here; tested with mode 0444 only\n");
}

// Opens the image as a user without access to it; the child's exit status
// carries (opened, permitted, last error code).
TEST_F(DiskDeviceTest, RefusedAccessIsListedButNotPermitted) {
  ASSERT_EQ(::chmod(m_path.c_str(), 0600), 0);
  ASSERT_EQ(::chmod(m_dir.Path().c_str(), 0755), 0);
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(m_path.c_str()));
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(m_path.c_str(), 0000), 0);
    EXPECT_EQ(disk->Open(nullptr), 0);
    EXPECT_EQ(disk->IsPermitted(), 0);
    EXPECT_EQ(CodeOf(*disk), kDevOpenOrReadFailed);
    return;
  }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
        ::setresuid(65534, 65534, 65534) != 0) {
      ::_exit(100);
    }
    const int opened = disk->Open(nullptr);
    std::uint8_t buffer[512];
    const int read = disk->ReadSector(buffer, 0, 1);
    ::_exit(opened * 1 + disk->IsPermitted() * 2 + read * 4 +
            (result::CodeOf(disk->GetLastError()) == kDevBadArgument ? 8 : 0));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "cannot drop privileges to nobody here";
  // Not opened, not permitted, nothing read (the closed device has no sectors).
  EXPECT_EQ(WEXITSTATUS(status), 8);
}

// A real block device: a loop device over a small image, attached read-only.
class LoopDevice {
 public:
  LoopDevice(const std::string& image, int sectorSize) {
    std::string command = "losetup -f --show -r";
    if (sectorSize != 512) command += " --sector-size " + std::to_string(sectorSize);
    command += " '" + image + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return;
    char line[256] = {};
    if (std::fgets(line, sizeof line, pipe) != nullptr) m_path = line;
    ::pclose(pipe);
    while (!m_path.empty() && (m_path.back() == '\n' || m_path.back() == ' ')) m_path.pop_back();
  }
  ~LoopDevice() {
    if (!m_path.empty()) testsupport::Run("losetup -d '" + m_path + "'");
  }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

class DiskDeviceLoopTest : public DiskDeviceTest, public ::testing::WithParamInterface<int> {};

TEST_P(DiskDeviceLoopTest, LoopDeviceGeometryComesFromTheKernel) {
  const int sectorSize = GetParam();
  if (const testsupport::Lack lack = testsupport::MissingLoop(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  const long long sectors = (8LL * 1024 * 1024) / sectorSize;
  const std::string image = m_dir.File("loop.img");
  devtest::WriteFile(image, devtest::PatternSectors(sectors, sectorSize));
  LoopDevice loop(image, sectorSize);
  if (loop.Path().empty()) QUARNEL_SKIP_LACK(testsupport::MissingCapability("losetup could not attach a loop device"));
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(loop.Path().c_str()));
  ASSERT_EQ(disk->Open(nullptr), 1);
  EXPECT_EQ(disk->GetSectorSize(), sectorSize);
  EXPECT_EQ(disk->GetTotalSectors(), sectors);
  disk->FlushBuffers();
  std::vector<std::uint8_t> buffer(static_cast<size_t>(2 * sectorSize));
  ASSERT_EQ(disk->ReadSector(buffer.data(), sectors - 2, 2), 1);
  EXPECT_TRUE(devtest::SectorMatches(buffer.data(), sectors - 2, sectorSize));
  EXPECT_TRUE(devtest::SectorMatches(buffer.data() + sectorSize, sectors - 1, sectorSize));
  EXPECT_EQ(disk->ReadSector(buffer.data(), sectors - 1, 2), 0);
  EXPECT_EQ(CodeOf(*disk), kDevBadArgument);
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, DiskDeviceLoopTest, ::testing::Values(512, 4096));

}  // namespace
