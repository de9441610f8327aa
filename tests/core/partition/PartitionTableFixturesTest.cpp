// Third-party disks: dfvfs MBR test disks and real Apple partition map heads.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "core/partition/PartitionTableAnalyze.h"
#include "core/partition/RecordedDisk.h"
#include "core/partition/ToolOutput.h"
#include "support/Absent.h"

namespace {

using parttest::RecordedDisk;

std::vector<PartitionEntry> ReadOk(IStorageDevice& disk) {
  const std::unique_ptr<IPartitionTableAnalyze> reader(CreatePartitionTableAnalyze());
  std::list<PartitionEntry> out;
  EXPECT_EQ(reader->AnalyzePartitionTable(&disk, out), 0u);
  return {out.begin(), out.end()};
}

std::string Fixture(const std::string& relative) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) return {};
  const std::string path = dir + "/" + relative;
  return std::filesystem::exists(path) ? path : std::string();
}

void ExpectSameAsMmls(const std::string& image, const testsupport::TempDir& dir) {
  RecordedDisk disk(parttest::LoadImage(image));
  const auto entries = ReadOk(disk);
  const auto mmls = parttest::ParseMmls(parttest::Capture(dir, "mmls '" + image + "'"));
  ASSERT_FALSE(mmls.empty());
  ASSERT_EQ(entries.size(), mmls.size());
  for (std::size_t i = 0; i < mmls.size(); ++i) {
    EXPECT_EQ(entries[i].startSector, mmls[i].start);
    EXPECT_EQ(entries[i].sectorCount, mmls[i].length);
    // mmls numbers slots per table: primary 000:NNN, chain tables 001:000, 002:000...
    EXPECT_EQ(entries[i].index, mmls[i].slot < 1000 ? mmls[i].slot + 1 : 4 + mmls[i].slot / 1000);
  }
}

TEST(PartitionFixtures, DfvfsMbrDisksMatchMmls) {
  if (!testsupport::HaveProgram("mmls")) QUARNEL_SKIP_NO_TOOL() << "needs mmls";
  const std::string gz = Fixture("dfvfs/mbr.raw.gz");
  const std::string raw = Fixture("dfvfs/mbr_2020-08.raw");
  if (gz.empty() && raw.empty()) QUARNEL_SKIP_NO_FIXTURE() << "dfvfs fixtures absent";
  testsupport::TempDir dir;
  if (!gz.empty()) {
    const std::string image = dir.File("mbr.raw");
    ASSERT_EQ(testsupport::Run("gzip -dc '" + gz + "' > '" + image + "'"), 0);
    SCOPED_TRACE("mbr.raw");
    ExpectSameAsMmls(image, dir);
  }
  if (!raw.empty()) {
    SCOPED_TRACE("mbr_2020-08.raw");
    ExpectSameAsMmls(raw, dir);
  }
}

TEST(PartitionFixtures, DiskUtilityApmHeadListsItsDataPartitions) {
  const std::string path = Fixture("node-apple-partition-map/mac-os-disk-utility.bin");
  if (path.empty()) QUARNEL_SKIP_NO_FIXTURE() << "node-apple-partition-map fixture absent";
  // Only the first 32 KiB were kept; the disk had 62,333,952 blocks.
  RecordedDisk disk(parttest::LoadImage(path), 62333952);
  const auto entries = ReadOk(disk);
  struct Want {
    int index;
    long long start, count;
    const char* type;
  };
  // As mmls lists them, without the map and free space.
  const Want want[] = {{3, 262208, 19550904, "Apple_HFS"},
                       {4, 19813112, 32745368, "Apple_HFSX"},
                       {5, 52558480, 262144, "DOS_FAT_32"},
                       {6, 52820624, 9513328, "Windows_NTFS"}};
  ASSERT_EQ(entries.size(), std::size(want));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].index, want[i].index);
    EXPECT_EQ(entries[i].startSector, want[i].start);
    EXPECT_EQ(entries[i].sectorCount, want[i].count);
    EXPECT_EQ(entries[i].ApmTypeText(), want[i].type);
  }
}

TEST(PartitionFixtures, InstallDvdApmWith2048ByteBlocks) {
  const std::string path = Fixture("node-apple-partition-map/mac-osx-snow-leopard.bin");
  if (path.empty()) QUARNEL_SKIP_NO_FIXTURE() << "node-apple-partition-map fixture absent";
  RecordedDisk disk(parttest::LoadImage(path), 3794611LL * 4);
  const auto entries = ReadOk(disk);
  ASSERT_EQ(entries.size(), 1u);  // map, driver and free space left out
  EXPECT_EQ(entries[0].index, 3);
  EXPECT_EQ(entries[0].startSector, 505122LL * 4);
  EXPECT_EQ(entries[0].sectorCount, 3289486LL * 4);
  EXPECT_EQ(entries[0].ApmTypeText(), "Apple_HFS");
}

}  // namespace
