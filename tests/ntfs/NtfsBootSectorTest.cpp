// The NTFS boot-sector test and recogniser on volumes made by mkntfs, one-field
// corruptions, and random sectors.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <random>

#include "ntfs/NtfsBootSector.h"
#include "ntfs/NtfsVolumeAnalyze.h"
#include "support/Absent.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

namespace {

std::vector<std::uint8_t> ReadHead(const std::string& path, std::size_t bytes) {
  std::vector<std::uint8_t> out(bytes, 0);
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(bytes));
  return out;
}

class NtfsBootSectors : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testsupport::HaveProgram("mkntfs")) return;
    testsupport::TempDir dir;
    const std::string image = dir.File("nt.img");
    if (testsupport::Run("truncate -s 16M '" + image + "' && mkntfs -F -q -f -L NTLABEL '" + image +
                         "' >/dev/null 2>&1") != 0) {
      return;
    }
    s_sector = ReadHead(image, 512);
  }
  void SetUp() override {
    if (!testsupport::HaveProgram("mkntfs")) QUARNEL_SKIP_NO_TOOL() << "needs mkntfs";
    ASSERT_FALSE(s_sector.empty()) << "mkntfs failed";
  }
  ByteView View(const std::vector<std::uint8_t>& b) const { return ByteView(b.data(), b.size()); }
  static std::vector<std::uint8_t> s_sector;
};
std::vector<std::uint8_t> NtfsBootSectors::s_sector;

TEST_F(NtfsBootSectors, FieldsAsMkntfsWroteThem) {
  CNTFSDBR dbr;
  ASSERT_TRUE(dbr.InitFromBuffer(View(s_sector)));
  EXPECT_EQ(dbr.GetTotalSectors(), 32767);  // the last sector holds the backup boot sector
  EXPECT_EQ(dbr.GetMFTStartCluster(), 4);
  EXPECT_EQ(dbr.GetSectorsperCluster(), 8);
  EXPECT_EQ(dbr.GetFileRecordSizeByByte(), 1024);
  EXPECT_NE(dbr.GetSerialNumber(), 0u);
  char id[8];
  dbr.GetFileSystemID(id);
  EXPECT_EQ(std::string(id, 8), "NTFS    ");
}

TEST_F(NtfsBootSectors, RecogniserReportsCode3SizeAndAnEmptyLabel) {
  std::vector<std::uint8_t> disk(64 * 512, 0);
  std::copy(s_sector.begin(), s_sector.end(), disk.begin() + 8 * 512);
  testsupport::MemoryDevice device(disk);
  EXPECT_EQ(CreateNTFSVolumeAnalyze(&device, 0), nullptr);
  const std::unique_ptr<IVolumeAnalyze> analyze(CreateNTFSVolumeAnalyze(&device, 8));
  ASSERT_NE(analyze, nullptr);
  EXPECT_EQ(analyze->GetFileSystemType(), 3);
  EXPECT_EQ(analyze->GetTotalSector(), 32767);
  char label[4] = {'x', 'x'};
  analyze->GetLabel(label, 4);
  EXPECT_EQ(label[0], '\0');
  char one[1] = {'x'};
  analyze->GetLabel(one, 1);
  EXPECT_EQ(one[0], 'x');
  EXPECT_EQ(CreateNTFSVolumeAnalyze(nullptr, 0), nullptr);
  EXPECT_EQ(CreateNTFSVolumeAnalyze(&device, 64), nullptr);  // past the end
}

TEST_F(NtfsBootSectors, FieldValuesAcceptedAndRefused) {
  struct Case {
    const char* name;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
    bool valid;
  };
  const Case cases[] = {
      {"bytes per sector 768", 0x0B, {0x00, 0x03}, false},
      {"bytes per sector 0", 0x0B, {0x00, 0x00}, false},
      {"bytes per sector 4096", 0x0B, {0x00, 0x10}, true},
      {"sectors per cluster 0x80", 0x0D, {0x80}, true},
      {"sectors per cluster 3", 0x0D, {0x03}, false},
      {"sectors per cluster 0", 0x0D, {0x00}, false},
      {"sectors per cluster 0x81", 0x0D, {0x81}, false},
      {"reserved sectors", 0x0E, {0x01, 0x00}, false},
      {"FAT count", 0x10, {0x02}, false},
      {"root entries", 0x12, {0x01}, false},
      {"sectors per FAT", 0x16, {0x01}, false},
      {"32-bit total", 0x21, {0x01}, false},
      {"media descriptor", 0x15, {0xF0}, true},
      {"hidden sectors", 0x1C, {0x3F}, true},
      {"id", 0x03, {'N', 'T', 'F', 'X'}, false},
      {"signature", 0x1FF, {0x00}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto b = s_sector;
    std::copy(c.bytes.begin(), c.bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(c.offset));
    EXPECT_EQ(CNTFSDBR::IsFullValidDBR(View(b)), c.valid);
    testsupport::MemoryDevice device(b);
    const std::unique_ptr<IVolumeAnalyze> analyze(CreateNTFSVolumeAnalyze(&device, 0));
    EXPECT_EQ(analyze != nullptr, c.valid);
  }
}

TEST_F(NtfsBootSectors, FileRecordSizes) {
  const std::pair<std::uint8_t, int> cases[] = {{0xF6, 1024}, {0xF4, 4096}, {0x01, 4096},
                                                {0x00, 1024}, {0xE1, 0},    {0x80, 1}};
  for (const auto& [byte, size] : cases) {
    SCOPED_TRACE(byte);
    auto b = s_sector;
    b[0x40] = byte;
    CNTFSDBR dbr;
    ASSERT_TRUE(dbr.InitFromBuffer(View(b)));
    EXPECT_EQ(dbr.GetFileRecordSizeByByte(), size);
  }
}

TEST_F(NtfsBootSectors, RefusedSectorLeavesTheCopyUntouched) {
  CNTFSDBR dbr;
  ASSERT_TRUE(dbr.InitFromBuffer(View(s_sector)));
  std::vector<std::uint8_t> bad(512, 0);
  EXPECT_FALSE(dbr.InitFromBuffer(View(bad)));
  EXPECT_EQ(dbr.GetTotalSectors(), 32767);
  EXPECT_FALSE(CNTFSDBR::IsFullValidDBR(ByteView(s_sector.data(), 300)));
}

TEST(NtfsClusterMatch, SectorIsTheClusterStart) {
  EXPECT_TRUE(NTFSPublicFunction::IsClusterNOMatch(1032, 129, 0, 8));
  EXPECT_FALSE(NTFSPublicFunction::IsClusterNOMatch(1033, 129, 0, 8));
  EXPECT_TRUE(NTFSPublicFunction::IsClusterNOMatch(2080, 129, 1048, 8));
  EXPECT_FALSE(NTFSPublicFunction::IsClusterNOMatch(1032, 129, 0, 0));
}

TEST(NtfsBootSectorFuzz, RandomAndFlippedSectorsNeverMisbehave) {
  std::mt19937 rng(11);
  std::vector<std::uint8_t> b(512);
  for (int iteration = 0; iteration < 4000; ++iteration) {
    for (auto& byte : b) byte = static_cast<std::uint8_t>(rng());
    if (iteration % 2 == 0) {
      // Mostly valid: id, signature and zero fields set, a few random flips kept.
      std::memcpy(b.data() + 3, "NTFS    ", 8);
      for (std::size_t z : {0x0Eu, 0x0Fu, 0x10u, 0x11u, 0x12u, 0x13u, 0x14u, 0x16u, 0x17u, 0x20u, 0x21u, 0x22u, 0x23u})
        b[z] = 0;
      b[0x0B] = 0;
      b[0x0C] = 2;
      b[0x0D] = static_cast<std::uint8_t>(1u << (rng() % 8));
      b[0x1FE] = 0x55;
      b[0x1FF] = 0xAA;
    }
    CNTFSDBR dbr;
    if (dbr.InitFromBuffer(ByteView(b.data(), b.size()))) {
      (void)dbr.GetFileRecordSizeByByte();
      (void)dbr.GetTotalSectors();
    }
    testsupport::MemoryDevice device(b);
    const std::unique_ptr<IVolumeAnalyze> analyze(CreateNTFSVolumeAnalyze(&device, 0));
  }
}

}  // namespace
