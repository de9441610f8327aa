// Tables written by sfdisk and parted, read back and compared with what mmls
// and sfdisk show.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "core/partition/PartitionTableAnalyze.h"
#include "core/partition/RecordedDisk.h"
#include "core/partition/ToolOutput.h"
#include "support/Absent.h"

namespace {

using parttest::RecordedDisk;
using testsupport::HaveProgram;
using testsupport::TempDir;

struct Read {
  RESULT code = 0;
  std::vector<PartitionEntry> entries;
};

Read ReadTable(IStorageDevice& disk) {
  const std::unique_ptr<IPartitionTableAnalyze> reader(CreatePartitionTableAnalyze());
  std::list<PartitionEntry> out;
  Read r;
  r.code = reader->AnalyzePartitionTable(&disk, out);
  r.entries.assign(out.begin(), out.end());
  return r;
}

bool IsExtendedType(const std::string& sfdiskType) {
  return sfdiskType == "5" || sfdiskType == "f" || sfdiskType == "85";
}

void Overwrite(const std::string& path, long long offset, const std::vector<std::uint8_t>& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(offset);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class MbrImage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("sfdisk") || !HaveProgram("mmls")) QUARNEL_SKIP_NO_TOOL() << "needs sfdisk and mmls";
    image = dir.File("mbr.img");
    ASSERT_EQ(testsupport::Run("truncate -s 64M '" + image + "'"), 0);
    ASSERT_EQ(testsupport::Run("printf 'label: dos\\nstart=2048,size=10M,type=83\\nstart=22528,size=40M,type=5\\n"
                               "start=24576,size=10M,type=83\\nstart=47104,size=10M,type=7\\n' | sfdisk -q '" +
                               image + "'"),
              0);
  }
  TempDir dir;
  std::string image;
};

TEST_F(MbrImage, ExtendedChainMatchesSfdiskAndMmls) {
  RecordedDisk disk(parttest::LoadImage(image));
  const Read r = ReadTable(disk);
  ASSERT_EQ(r.code, 0u);

  std::vector<parttest::ToolPartition> expected;
  for (const auto& p : parttest::ParseSfdiskJson(parttest::Capture(dir, "sfdisk -J '" + image + "'"))) {
    if (!IsExtendedType(p.type)) expected.push_back(p);
  }
  ASSERT_EQ(expected.size(), 3u);
  ASSERT_EQ(r.entries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(r.entries[i].index, expected[i].slot);
    EXPECT_EQ(r.entries[i].startSector, expected[i].start);
    EXPECT_EQ(r.entries[i].sectorCount, expected[i].length);
  }

  const auto mmls = parttest::ParseMmls(parttest::Capture(dir, "mmls '" + image + "'"));
  ASSERT_EQ(mmls.size(), r.entries.size());
  for (std::size_t i = 0; i < mmls.size(); ++i) {
    EXPECT_EQ(r.entries[i].startSector, mmls[i].start);
    EXPECT_EQ(r.entries[i].sectorCount, mmls[i].length);
  }
}

TEST_F(MbrImage, EbrLinkedToItselfStopsAndKeepsWhatWasRead) {
  // Second EBR (sector 45056) links back to the first (base + 0).
  std::vector<std::uint8_t> link(16, 0);
  link[4] = 0x05;
  Overwrite(image, 45056LL * 512 + 446 + 16, link);
  RecordedDisk disk(parttest::LoadImage(image));
  const Read r = ReadTable(disk);
  EXPECT_EQ(r.code, 0u);
  ASSERT_EQ(r.entries.size(), 3u);
  EXPECT_EQ(r.entries[2].startSector, 47104);
}

TEST_F(MbrImage, EbrWithoutSignatureFailsAndKeepsEarlierEntries) {
  Overwrite(image, 45056LL * 512 + 510, {0, 0});
  RecordedDisk disk(parttest::LoadImage(image));
  const Read r = ReadTable(disk);
  EXPECT_EQ(result::ModuleOf(r.code), result::kModulePartitionTable);
  EXPECT_EQ(result::CodeOf(r.code), kPtDamaged);
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].index, 1);
  EXPECT_EQ(r.entries[1].index, 5);
}

class GptImage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("sfdisk") || !HaveProgram("mmls")) QUARNEL_SKIP_NO_TOOL() << "needs sfdisk and mmls";
    image = dir.File("gpt.img");
    ASSERT_EQ(testsupport::Run("truncate -s 100M '" + image + "'"), 0);
    ASSERT_EQ(testsupport::Run("printf 'label: gpt\\nstart=2048,size=20M,type=0FC63DAF-8483-4772-8E79-3D69E47DE4D4\\n"
                               "size=8M,type=21686148-6449-6E6F-744E-656564454649\\n"
                               "size=30M,type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\\n,,\\n' | sfdisk -q '" +
                               image + "'"),
              0);
    expected = parttest::ParseSfdiskJson(parttest::Capture(dir, "sfdisk -J '" + image + "'"));
    ASSERT_EQ(expected.size(), 4u);
  }

  // sfdisk's partitions above 8 MiB against what was read.
  void ExpectSameAsSfdisk(const Read& r) {
    std::vector<parttest::ToolPartition> big;
    for (const auto& p : expected) {
      if (p.length * 512 > 8 * 1024 * 1024) big.push_back(p);
    }
    ASSERT_EQ(big.size(), 3u);
    ASSERT_EQ(r.entries.size(), big.size());
    for (std::size_t i = 0; i < big.size(); ++i) {
      EXPECT_EQ(r.entries[i].index, big[i].slot);
      EXPECT_EQ(r.entries[i].startSector, big[i].start);
      EXPECT_EQ(r.entries[i].sectorCount, big[i].length);
      EXPECT_EQ(parttest::GuidText(r.entries[i].typeGuid), big[i].type);
      EXPECT_EQ(parttest::GuidText(r.entries[i].uniqueGuid), big[i].uuid);
      EXPECT_EQ(r.entries[i].ApmTypeText(), "");
    }
  }

  TempDir dir;
  std::string image;
  std::vector<parttest::ToolPartition> expected;
};

TEST_F(GptImage, EntriesMatchSfdiskAndMmls) {
  RecordedDisk disk(parttest::LoadImage(image));
  const Read r = ReadTable(disk);
  ASSERT_EQ(r.code, 0u);
  ExpectSameAsSfdisk(r);

  // mmls lists all four; the 8 MiB one is left out here.
  const auto mmls = parttest::ParseMmls(parttest::Capture(dir, "mmls '" + image + "'"));
  ASSERT_EQ(mmls.size(), 4u);
  EXPECT_EQ(mmls[1].length, 16384);
  std::vector<parttest::ToolPartition> kept{mmls[0], mmls[2], mmls[3]};
  for (std::size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(r.entries[i].startSector, kept[i].start);
    EXPECT_EQ(r.entries[i].sectorCount, kept[i].length);
  }
}

TEST_F(GptImage, BadPrimaryHeaderCrcFallsBackToBackup) {
  Overwrite(image, 512 + 16, {0xDE, 0xAD, 0xBE, 0xEF});
  RecordedDisk disk(parttest::LoadImage(image));
  const Read r = ReadTable(disk);
  EXPECT_EQ(r.code, 0u);
  ExpectSameAsSfdisk(r);
}

TEST_F(GptImage, DamagedPrimaryArrayFallsBackToBackup) {
  // Entry 1's first LBA changed: the array CRC no longer holds.
  Overwrite(image, 2 * 512 + 32, {0x00, 0x10});
  RecordedDisk disk(parttest::LoadImage(image));
  const Read r = ReadTable(disk);
  EXPECT_EQ(r.code, 0u);
  ExpectSameAsSfdisk(r);
}

TEST_F(GptImage, BothHeadersBadIsDamagedButKeepsTheArray) {
  Overwrite(image, 512 + 16, {0xDE, 0xAD, 0xBE, 0xEF});
  Overwrite(image, (204800 - 1) * 512LL + 16, {0xDE, 0xAD, 0xBE, 0xEF});
  RecordedDisk disk(parttest::LoadImage(image));
  const Read r = ReadTable(disk);
  EXPECT_EQ(result::CodeOf(r.code), kPtDamaged);
  ExpectSameAsSfdisk(r);
}

class ApmImage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("parted") || !HaveProgram("mmls")) QUARNEL_SKIP_NO_TOOL() << "needs parted and mmls";
    image = dir.File("apm.img");
    ASSERT_EQ(testsupport::Run("truncate -s 64M '" + image + "'"), 0);
    ASSERT_EQ(testsupport::Run("parted -s '" + image +
                               "' mklabel mac mkpart primary hfs+ 1MiB 30MiB "
                               "mkpart second hfs+ 30MiB 50MiB >/dev/null 2>&1"),
              0);
  }
  TempDir dir;
  std::string image;
};

TEST_F(ApmImage, DataEntriesMatchMmls) {
  RecordedDisk disk(parttest::LoadImage(image));
  const Read r = ReadTable(disk);
  ASSERT_EQ(r.code, 0u);

  std::vector<parttest::ToolPartition> data;
  for (const auto& p : parttest::ParseMmls(parttest::Capture(dir, "mmls '" + image + "'"))) {
    if (p.type != "Apple_partition_map" && p.type != "Apple_Free") data.push_back(p);
  }
  std::sort(data.begin(), data.end(), [](const auto& a, const auto& b) { return a.slot < b.slot; });
  ASSERT_EQ(data.size(), 2u);
  ASSERT_EQ(r.entries.size(), data.size());
  for (std::size_t i = 0; i < data.size(); ++i) {
    EXPECT_EQ(r.entries[i].index, data[i].slot + 1);
    EXPECT_EQ(r.entries[i].startSector, data[i].start);
    EXPECT_EQ(r.entries[i].sectorCount, data[i].length);
    EXPECT_EQ(r.entries[i].ApmTypeText(), data[i].type);
  }
}

TEST_F(ApmImage, TruncatedMapFailsWithTheReadErrorAndKeepsEntriesBefore) {
  // Only the driver map and map blocks 1-2 survive; the disk still claims its size.
  ASSERT_EQ(testsupport::Run("truncate -s 1536 '" + image + "'"), 0);
  RecordedDisk disk(parttest::LoadImage(image), 131072, RecordedDisk::Tail::kFails);
  const Read r = ReadTable(disk);
  EXPECT_TRUE(result::Failed(r.code));
  EXPECT_EQ(result::ModuleOf(r.code), result::kModuleStorageDevice);
  ASSERT_EQ(r.entries.size(), 1u);
  EXPECT_EQ(r.entries[0].index, 2);
  EXPECT_EQ(r.entries[0].startSector, 2048);
}

}  // namespace
