// Hand-made tables: preconditions, damaged chains, GPT limits, APM limits.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/partition/PartitionTableAnalyze.h"
#include "core/partition/RecordedDisk.h"
#include "core/partition/TableBuilder.h"

namespace {

using parttest::MbrSlotDef;
using parttest::PutMbr;
using parttest::RecordedDisk;

struct Read {
  RESULT code = 0;
  std::vector<PartitionEntry> entries;
};

Read ReadTable(IStorageDevice* disk) {
  const std::unique_ptr<IPartitionTableAnalyze> reader(CreatePartitionTableAnalyze());
  std::list<PartitionEntry> out{PartitionEntry{}};  // emptied by the reader
  Read r;
  r.code = reader->AnalyzePartitionTable(disk, out);
  r.entries.assign(out.begin(), out.end());
  return r;
}

std::vector<std::uint8_t> Blank(long long sectors, int sectorSize = 512) {
  return std::vector<std::uint8_t>(static_cast<std::size_t>(sectors * sectorSize), 0);
}

// --- Preconditions -------------------------------------------------------------

TEST(PartitionTablePreconditions, RefusedDevicesGiveTheirCodes) {
  EXPECT_EQ(result::CodeOf(ReadTable(nullptr).code), kPtNullDevice);

  testsupport::MemoryDevice partition(Blank(64), 512, kDevicePartition);
  EXPECT_EQ(result::CodeOf(ReadTable(&partition).code), kPtNotUsable);

  testsupport::MemoryDevice noRecord(Blank(64));
  EXPECT_EQ(result::CodeOf(ReadTable(&noRecord).code), kPtNoDiskRecord);

  RecordedDisk reservedSet(Blank(64), 512);
  reservedSet.Record()->reserved = 1;
  EXPECT_EQ(result::CodeOf(ReadTable(&reservedSet).code), kPtNotUsable);

  RecordedDisk tiny(Blank(64, 256), 256);
  PutMbr(tiny.Bytes(), 256, 0, {});
  EXPECT_EQ(result::CodeOf(ReadTable(&tiny).code), kPtSmallSector);
  EXPECT_EQ(result::ModuleOf(ReadTable(&tiny).code), result::kModulePartitionTable);
}

TEST(PartitionTablePreconditions, DiskWithoutTableSucceedsEmpty) {
  RecordedDisk disk(Blank(64), 512);
  const Read r = ReadTable(&disk);
  EXPECT_EQ(r.code, 0u);
  EXPECT_TRUE(r.entries.empty());
}

TEST(PartitionTablePreconditions, UnreadableFirstSectorGivesTheDeviceError) {
  RecordedDisk disk(Blank(64), 512);
  disk.FailSector(0);
  const Read r = ReadTable(&disk);
  EXPECT_EQ(result::ModuleOf(r.code), result::kModuleStorageDevice);
}

// --- MBR -------------------------------------------------------------------------

TEST(MbrTable, PrimaryEntriesAndFittingToTheDisk) {
  RecordedDisk disk(Blank(1000), 512);
  PutMbr(disk.Bytes(), 512, 0, {{0x80, 0x83, 10, 100}, {0, 0x07, 900, 500}, {0, 0x0B, 1000, 10}, {0, 0x83, 200, 0}});
  const Read r = ReadTable(&disk);
  ASSERT_EQ(r.code, 0u);
  ASSERT_EQ(r.entries.size(), 3u);  // the one at the disk end is dropped
  EXPECT_EQ(r.entries[0].index, 1);
  EXPECT_EQ(r.entries[0].sectorCount, 100);
  EXPECT_EQ(r.entries[1].index, 2);
  EXPECT_EQ(r.entries[1].sectorCount, 100);  // cut at the end
  EXPECT_EQ(r.entries[2].index, 4);
  EXPECT_EQ(r.entries[2].sectorCount, 800);  // count 0: up to the end
}

TEST(MbrTable, DamagedTablesAreRefused) {
  struct Case {
    const char* name;
    std::vector<MbrSlotDef> slots;
    bool signature;
    std::uint32_t code;
  };
  const Case cases[] = {
      {"boot flag 0x01", {{0x01, 0x83, 10, 10}}, true, kPtDamaged},
      {"boot flag of an empty slot", {{0, 0x83, 10, 10}, {0x7F, 0, 0, 0}}, true, kPtDamaged},
      {"dynamic disk in slot 2", {{0, 0x83, 10, 10}, {0, 0x42, 30, 10}}, true, kPtNotUsable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordedDisk disk(Blank(100), 512);
    PutMbr(disk.Bytes(), 512, 0, c.slots, c.signature);
    const Read r = ReadTable(&disk);
    EXPECT_EQ(result::CodeOf(r.code), c.code);
    EXPECT_TRUE(r.entries.empty());
  }
}

TEST(MbrTable, ChainGivesLogicalIndexesInChainOrder) {
  RecordedDisk disk(Blank(4000), 512);
  PutMbr(disk.Bytes(), 512, 0, {{0, 0x83, 10, 100}, {0, 0x0F, 2048, 1900}});
  PutMbr(disk.Bytes(), 512, 2048, {{0, 0x83, 1, 99}, {0, 0x05, 100, 200}});
  PutMbr(disk.Bytes(), 512, 2148, {{0, 0x07, 1, 99}, {0, 0x85, 300, 200}});
  PutMbr(disk.Bytes(), 512, 2348, {{0, 0x0C, 2, 50}});
  const Read r = ReadTable(&disk);
  ASSERT_EQ(r.code, 0u);
  ASSERT_EQ(r.entries.size(), 4u);
  const std::pair<int, long long> want[] = {{1, 10}, {5, 2049}, {6, 2149}, {7, 2350}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(r.entries[i].index, want[i].first);
    EXPECT_EQ(r.entries[i].startSector, want[i].second);
  }
}

TEST(MbrTable, LoopOfLinkOnlyRecordsEnds) {
  RecordedDisk disk(Blank(4000), 512);
  PutMbr(disk.Bytes(), 512, 0, {{0, 0x05, 2000, 1900}});
  PutMbr(disk.Bytes(), 512, 2000, {{0, 0x83, 10, 10}, {0, 0x05, 100, 10}});
  PutMbr(disk.Bytes(), 512, 2100, {{0, 0x05, 200, 10}});
  PutMbr(disk.Bytes(), 512, 2200, {{0, 0x05, 100, 10}});  // back to 2100
  const Read r = ReadTable(&disk);
  EXPECT_EQ(r.code, 0u);
  ASSERT_EQ(r.entries.size(), 1u);
  EXPECT_EQ(r.entries[0].startSector, 2010);
}

TEST(MbrTable, OverlongChainStopsAtTheCapKeepingWhatWasRead) {
  const int records = 200;
  RecordedDisk disk(Blank(10 + records * 4), 512);
  PutMbr(disk.Bytes(), 512, 0, {{0, 0x05, 4, static_cast<std::uint32_t>(records * 4)}});
  for (int i = 0; i < records; ++i) {
    const auto at = static_cast<std::uint32_t>(4 + 4 * i);
    PutMbr(disk.Bytes(), 512, at, {{0, 0x83, 1, 2}, {0, 0x05, at + 4 - 4, 4}});
  }
  const Read r = ReadTable(&disk);
  EXPECT_EQ(result::CodeOf(r.code), kPtDamaged);
  EXPECT_EQ(r.entries.size(), 128u);
}

TEST(MbrTable, TwoExtendedEntriesInOneRecordAreDamage) {
  RecordedDisk disk(Blank(4000), 512);
  PutMbr(disk.Bytes(), 512, 0, {{0, 0x83, 10, 10}, {0, 0x05, 2000, 1900}});
  PutMbr(disk.Bytes(), 512, 2000, {{0, 0x83, 10, 10}, {0, 0x05, 100, 10}, {0, 0x05, 200, 10}});
  const Read r = ReadTable(&disk);
  EXPECT_EQ(result::CodeOf(r.code), kPtDamaged);
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[1].index, 5);
}

TEST(MbrTable, LinkPastTheDiskEndIsDamage) {
  RecordedDisk disk(Blank(4000), 512);
  PutMbr(disk.Bytes(), 512, 0, {{0, 0x05, 2000, 1900}});
  PutMbr(disk.Bytes(), 512, 2000, {{0, 0x83, 10, 10}, {0, 0x05, 0xFFFFFF00u, 10}});
  const Read r = ReadTable(&disk);
  EXPECT_EQ(result::CodeOf(r.code), kPtDamaged);
  EXPECT_EQ(r.entries.size(), 1u);
}

// --- GPT -------------------------------------------------------------------------

TEST(GptTable, EightMiBRuleCountsBytesWithTheRealSectorSize) {
  struct Case {
    int sectorSize;
    std::uint64_t sectors;  // of the one partition
    bool listed;
  };
  const Case cases[] = {{512, 16384, false}, {512, 16385, true}, {4096, 2048, false}, {4096, 2049, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sectorSize) + "/" + std::to_string(c.sectors));
    const long long total = static_cast<long long>(c.sectors) + 200;
    RecordedDisk disk(parttest::MakeGptDisk(total, c.sectorSize, {{64, 64 + c.sectors - 1}}), c.sectorSize);
    const Read r = ReadTable(&disk);
    ASSERT_EQ(r.code, 0u);
    ASSERT_EQ(r.entries.size(), c.listed ? 1u : 0u);
    if (c.listed) {
      EXPECT_EQ(r.entries[0].sectorCount, static_cast<long long>(c.sectors));
      EXPECT_EQ(r.entries[0].typeGuid[0], 0xAB);
      EXPECT_EQ(r.entries[0].uniqueGuid[0], 1);
    }
  }
}

TEST(GptTable, EntriesAreFittedToTheDisk) {
  const long long total = 40000;
  RecordedDisk disk(parttest::MakeGptDisk(total, 512, {{64, 100000}, {20000, 19999}, {50000, 60000}, {100, 30000}}),
                    512);
  const Read r = ReadTable(&disk);
  ASSERT_EQ(r.code, 0u);
  ASSERT_EQ(r.entries.size(), 3u);
  EXPECT_EQ(r.entries[0].index, 1);
  EXPECT_EQ(r.entries[0].sectorCount, total - 64);  // last LBA past the end
  EXPECT_EQ(r.entries[1].index, 2);
  EXPECT_EQ(r.entries[1].sectorCount, total - 20000);  // last below first
  EXPECT_EQ(r.entries[2].index, 4);                    // entry 3 starts past the end
  EXPECT_EQ(r.entries[2].sectorCount, 29901);
}

TEST(GptTable, ProtectiveMbrWithDynamicTypeIsRefused) {
  RecordedDisk disk(parttest::MakeGptDisk(40000, 512, {{64, 30000}}), 512);
  PutMbr(disk.Bytes(), 512, 0, {{0, 0xEE, 1, 39999}, {0, 0x42, 1, 1}});
  EXPECT_EQ(result::CodeOf(ReadTable(&disk).code), kPtNotUsable);
}

TEST(GptTable, InsaneHeaderFieldsFallBackToTheBackup) {
  struct Case {
    const char* name;
    std::size_t offset;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"entry size 0", 84, 0},
      {"entry size 100", 84, 100},
      {"huge entry count", 80, 0x10000000},
      {"entry LBA past end", 72, 0x7FFFFFFF},
      {"header size 20", 12, 20},
      {"header size 4096", 12, 4096},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bytes = parttest::MakeGptDisk(40000, 512, {{64, 30000}});
    ByteWriter h(std::span<std::uint8_t>(bytes).subspan(512, 512));
    h.PutU32Le(c.offset, c.value);
    h.PutU32Le(16, 0);
    h.PutU32Le(16, Crc32(bytes.data() + 512, 92));  // a correct CRC over insane fields
    RecordedDisk disk(std::move(bytes), 512);
    const Read r = ReadTable(&disk);
    EXPECT_EQ(r.code, 0u);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].startSector, 64);
  }
}

// --- APM -------------------------------------------------------------------------

std::vector<std::uint8_t> MakeApm(int entries, std::uint16_t blockSize, int sectorSize, long long sectors) {
  std::vector<std::uint8_t> disk(static_cast<std::size_t>(sectors * sectorSize), 0);
  ByteWriter d(disk);
  d.PutBytes(0, "ER", 2);
  d.PutU16Be(2, blockSize);
  for (int i = 1; i <= entries; ++i) {
    const std::size_t at = static_cast<std::size_t>(i) * blockSize;
    d.PutBytes(at, "PM", 2);
    d.PutU32Be(at + 4, static_cast<std::uint32_t>(entries));
    d.PutU32Be(at + 8, static_cast<std::uint32_t>(i == 1 ? 1 : 10 * i));
    d.PutU32Be(at + 12, static_cast<std::uint32_t>(i == 1 ? entries : 10));
    const char* type = i == 1 ? "Apple_partition_map" : (i == 2 ? "Apple_Free" : "Apple_HFS");
    d.PutBytes(at + 48, type, std::strlen(type));
  }
  return disk;
}

TEST(ApmTable, BlocksLargerThanSectorsScaleStartsAndCounts) {
  RecordedDisk disk(MakeApm(4, 2048, 512, 400), 512);
  const Read r = ReadTable(&disk);
  ASSERT_EQ(r.code, 0u);
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[0].index, 3);
  EXPECT_EQ(r.entries[0].startSector, 120);
  EXPECT_EQ(r.entries[0].sectorCount, 40);
  EXPECT_EQ(r.entries[0].ApmTypeText(), "Apple_HFS");
  EXPECT_EQ(r.entries[0].typeGuid, (std::array<std::uint8_t, 16>{}));
}

TEST(ApmTable, DamagedMapsAreRefused) {
  {
    SCOPED_TRACE("32 entries");
    RecordedDisk disk(MakeApm(32, 512, 512, 400), 512);
    EXPECT_EQ(result::CodeOf(ReadTable(&disk).code), kPtDamaged);
  }
  {
    SCOPED_TRACE("31 entries");
    RecordedDisk disk(MakeApm(31, 512, 512, 400), 512);
    EXPECT_EQ(ReadTable(&disk).code, 0u);
  }
  {
    SCOPED_TRACE("no PM in block 1");
    auto bytes = MakeApm(4, 512, 512, 400);
    bytes[512] = 'X';
    RecordedDisk disk(std::move(bytes), 512);
    EXPECT_EQ(result::CodeOf(ReadTable(&disk).code), kPtDamaged);
  }
  {
    SCOPED_TRACE("block size 0");
    RecordedDisk disk(MakeApm(0, 0, 512, 400), 512);
    EXPECT_EQ(result::CodeOf(ReadTable(&disk).code), kPtDamaged);
  }
  {
    SCOPED_TRACE("sector size not a multiple of 512");
    RecordedDisk disk(MakeApm(4, 600, 600, 400), 600);
    EXPECT_EQ(result::CodeOf(ReadTable(&disk).code), kPtNotUsable);
  }
}

}  // namespace
