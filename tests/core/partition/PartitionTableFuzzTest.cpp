// Random and bit-flipped tables: the reader must end, never read out of
// bounds, and only list entries inside the disk.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "core/partition/PartitionTableAnalyze.h"
#include "core/partition/RecordedDisk.h"
#include "core/partition/TableBuilder.h"

namespace {

using parttest::RecordedDisk;

// Only the first sectors are held; the disk reports `reported` sectors.
void ReadAndCheck(std::vector<std::uint8_t> bytes, int sectorSize, long long reported) {
  RecordedDisk disk(std::move(bytes), sectorSize, reported);
  const std::unique_ptr<IPartitionTableAnalyze> reader(CreatePartitionTableAnalyze());
  std::list<PartitionEntry> out;
  (void)reader->AnalyzePartitionTable(&disk, out);
  for (const PartitionEntry& e : out) {
    ASSERT_GE(e.startSector, 0);
    ASSERT_LT(e.startSector, disk.GetTotalSectors());
    ASSERT_GE(e.sectorCount, 1);
    ASSERT_LE(e.sectorCount, disk.GetTotalSectors() - e.startSector);
  }
}

constexpr long long kSectors = 40000;
constexpr long long kHeldSectors = 64;

std::vector<std::uint8_t> Seeds(int which) {
  std::vector<std::uint8_t> disk;
  switch (which) {
    case 0: {  // MBR with a chain
      disk.assign(kHeldSectors * 512, 0);
      parttest::PutMbr(disk, 512, 0, {{0, 0x83, 100, 100}, {0, 0x05, 40, 30000}});
      parttest::PutMbr(disk, 512, 40, {{0, 0x83, 1000, 99}, {0, 0x05, 10, 2000}});
      parttest::PutMbr(disk, 512, 50, {{0, 0x07, 3000, 99}});
      break;
    }
    case 1:
      disk = parttest::MakeGptDisk(kSectors, 512, {{64, 17000}, {17001, 39000}});
      break;
    default: {
      disk.assign(kHeldSectors * 512, 0);
      ByteWriter d(disk);
      d.PutBytes(0, "ER", 2);
      d.PutU16Be(2, 512);
      for (int i = 1; i <= 4; ++i) {
        const std::size_t at = static_cast<std::size_t>(i) * 512;
        d.PutBytes(at, "PM", 2);
        d.PutU32Be(at + 4, 4);
        d.PutU32Be(at + 8, static_cast<std::uint32_t>(100 * i));
        d.PutU32Be(at + 12, 50);
        d.PutBytes(at + 48, "Apple_HFS", 9);
      }
      break;
    }
  }
  disk.resize(kHeldSectors * 512);
  return disk;
}

TEST(PartitionTableFuzz, BitFlippedTablesNeverMisbehave) {
  std::mt19937 rng(20240611);
  for (int which = 0; which < 3; ++which) {
    const std::vector<std::uint8_t> seed = Seeds(which);
    for (int iteration = 0; iteration < 1000; ++iteration) {
      std::vector<std::uint8_t> bytes = seed;
      const int flips = 1 + static_cast<int>(rng() % 8);
      for (int f = 0; f < flips; ++f) {
        const std::size_t at = rng() % bytes.size();
        bytes[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
      }
      ReadAndCheck(std::move(bytes), 512, kSectors);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(PartitionTableFuzz, RandomLeadingSectorsNeverMisbehave) {
  std::mt19937 rng(7);
  for (int iteration = 0; iteration < 1500; ++iteration) {
    std::vector<std::uint8_t> bytes(256 * 512, 0);
    for (std::size_t i = 0; i < 40 * 512; ++i) bytes[i] = static_cast<std::uint8_t>(rng());
    // Make the scheme tests pass often.
    switch (iteration % 4) {
      case 0:
        bytes[510] = 0x55;
        bytes[511] = 0xAA;
        break;
      case 1:
        bytes[510] = 0x55;
        bytes[511] = 0xAA;
        bytes[450] = 0xEE;
        break;
      case 2:
        bytes[0] = 'E';
        bytes[1] = 'R';
        bytes[2] = 0x02;
        bytes[3] = 0;
        bytes[512] = 'P';
        bytes[513] = 'M';
        break;
      default:
        break;
    }
    ReadAndCheck(std::move(bytes), 512, 256);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
