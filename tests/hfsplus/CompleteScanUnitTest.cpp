// The pieces of the complete scan: where a header places its volume, the
// slice test, bitmap marking, and the searcher's guards.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/bitmap/Bitmap.h"
#include "hfsplus/BitmapMarking.h"
#include "hfsplus/CollectingBuilder.h"
#include "hfsplus/CompleteScanSupport.h"
#include "hfsplus/DiskImage.h"
#include "hfsplus/HeaderPlacement.h"
#include "hfsplus/ExtentChain.h"
#include "hfsplus/HfsPlusFileNode.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/SectorSignatures.h"
#include "hfsplus_builder/HfsPlusImageBuilder.h"
#include "support/MemoryDevice.h"

namespace {

using hfstest::Bytes;

struct PlacementCase {
  long long sector;
  std::size_t offset;
  std::uint32_t sectorSize;
  std::uint64_t volumeBytes;
  long long mainStart;
  long long alternateStart;
};

TEST(HeaderPlacement, MainAndAlternatePositions) {
  const PlacementCase cases[] = {
      {2050, 0, 512, 1 << 20, 2048, 2050 + 2 - 2048},
      {256, 1024, 4096, 1 << 20, 256, -1},        // 1024 + 2048 - 1 MiB < 0
      {256 + 255, 3072, 4096, 1 << 20, -1, 256},  // the alternate in the last 4 KiB sector
      {2048 + 2046, 0, 512, 1 << 20, 2048 + 2044, 2048},
      {1, 0, 1024, 1 << 20, 0, -1},
      {2050, 512, 512, 1 << 20, -1, -1},  // not on a slice of a 512-byte sector
      {1, 0, 512, 1 << 20, -1, -1},       // would start before the device
      {300, 1024, 4096, 1 << 20, 300, -1},
  };
  for (const PlacementCase& c : cases) {
    EXPECT_EQ(MainHeaderStart(c.sector, c.offset, c.sectorSize), c.mainStart) << c.sector << "/" << c.sectorSize;
    EXPECT_EQ(AlternateHeaderStart(c.sector, c.offset, c.sectorSize, c.volumeBytes), c.alternateStart)
        << c.sector << "/" << c.sectorSize;
  }
  EXPECT_EQ(MainHeaderPosition(256, 4096).sector, 256);
  EXPECT_EQ(MainHeaderPosition(256, 4096).offset, 1024u);
  EXPECT_EQ(MainHeaderPosition(2048, 512).sector, 2050);
}

Bytes HeaderBytes() {
  hfsbuilder::HfsPlusImageBuilder b;
  b.AddFile(2, "x", hfstest::Pattern(10, 1));
  const Bytes image = b.Build();
  return Bytes(image.begin() + 1024, image.begin() + 1536);
}

TEST(VolumeHeaderSlices, BootBlocksBeforeTheHeaderDoNotHideIt) {
  const Bytes header = HeaderBytes();
  Bytes sector(4096, 0);
  std::fill(sector.begin(), sector.begin() + 1024, 0x4C);  // boot code
  std::copy(header.begin(), header.end(), sector.begin() + 1024);
  auto scan = ScanVolumeHeaders(ByteView(sector.data(), sector.size()));
  ASSERT_EQ(scan.headers.size(), 1u);
  EXPECT_EQ(scan.headers[0].offset, 1024u);
  EXPECT_TRUE(scan.clean);

  sector[2100] = 1;  // data after the header: not a header sector
  scan = ScanVolumeHeaders(ByteView(sector.data(), sector.size()));
  EXPECT_FALSE(scan.clean);

  Bytes small(header);
  small[40] = 0;  // block size 0
  small[41] = 0;
  small[42] = 0;
  small[43] = 0;
  EXPECT_TRUE(ScanVolumeHeaders(ByteView(small.data(), small.size())).headers.empty());
}

TEST(BitmapMarking, OnlyWholeUnitsAreMarkedAndTheLastBlockIsLeft) {
  TBitmap bitmap;
  ASSERT_EQ(bitmap.CreateBitmap(1000, 8), 1);
  // Blocks of 8 sectors from sector 2044: run 0..2 covers sectors
  // 2044..2067, of which the last block is left: 2044..2059.
  MarkRunsInBitmap(bitmap, {2044, 8}, {{0, 3}});
  EXPECT_EQ(bitmap.GetBit(255), 0);  // 2040..2047: partly outside
  EXPECT_NE(bitmap.GetBit(256), 0);  // 2048..2055
  EXPECT_EQ(bitmap.GetBit(257), 0);  // 2056..2063: reaches past 2059
  // A one-block file marks nothing; a sector-granular map marks sectors.
  TBitmap sectors;
  ASSERT_EQ(sectors.CreateBitmap(100, 1), 1);
  MarkRunsInBitmap(sectors, {10, 1}, {{5, 1}});
  EXPECT_EQ(sectors.GetBit(15), 0);
  MarkRunsInBitmap(sectors, {10, 1}, {{5, 2}, {40, 1}});
  EXPECT_NE(sectors.GetBit(15), 0);
  EXPECT_NE(sectors.GetBit(16), 0);
  EXPECT_EQ(sectors.GetBit(50), 0);
  // No unit, no data: nothing happens.
  TBitmap empty;
  MarkRunsInBitmap(empty, {0, 8}, {{0, 4}});
  EXPECT_EQ(empty.GetBitmapData(), nullptr);
}

Bytes VolumeOf(std::uint32_t blockSize, std::uint16_t nodeSize, bool journaled) {
  hfsbuilder::BuilderOptions o;
  o.blockSize = blockSize;
  o.nodeSize = nodeSize;
  o.journaled = journaled;
  hfsbuilder::HfsPlusImageBuilder b(o);
  b.AddFile(2, "one.txt", hfstest::Pattern(3000, 1));
  b.AddFile(2, "two.txt", hfstest::Pattern(9000, 2));
  return b.Build();
}

TEST(CompleteSearcher, EndSearchWithoutBuildChangesNothing) {
  testsupport::MemoryDevice device(hfstest::MakeDisk(8u << 20, 512, {{2048, VolumeOf(4096, 4096, false)}}), 512,
                                   kDeviceDisk);
  hfstest::CollectingBuilder builder;
  auto searcher = hfstest::SweepWithSearcher(&device, builder, nullptr, true, 0);
  EXPECT_EQ(builder.flashBuilds, 0);
  EXPECT_EQ(builder.searcherInfos, 1);
  ASSERT_EQ(searcher->Candidates().size(), 1u);
  EXPECT_EQ(searcher->Candidates()[0]->startSector, 2048);
}

TEST(CompleteSearcher, BlocksSmallerThanTheSectorAreNotPlaced) {
  testsupport::MemoryDevice device(hfstest::MakeDisk(8u << 20, 4096, {{64, VolumeOf(512, 4096, false)}}), 4096,
                                   kDeviceDisk);
  hfstest::CollectingBuilder builder;
  auto searcher = hfstest::SweepWithSearcher(&device, builder, nullptr);
  ASSERT_EQ(searcher->Candidates().size(), 1u);
  EXPECT_EQ(searcher->Candidates()[0]->volumeHeader, nullptr);
  CSearchedPartitionInfo* info[1] = {nullptr};
  ASSERT_EQ(searcher->GetSearchedPartitionInfo(info, 1), 1);
  EXPECT_EQ(info[0]->m_iSectorsPerCluster, 1);
  delete info[0];
}

TEST(CompleteSearcher, LargeLeafIsAnalysedOnce) {
  testsupport::MemoryDevice device(hfstest::MakeDisk(8u << 20, 512, {{2048, VolumeOf(4096, 8192, false)}}), 512,
                                   kDeviceDisk);
  hfstest::CollectingBuilder builder;
  auto searcher = hfstest::SweepWithSearcher(&device, builder, nullptr);
  const auto count = std::count_if(builder.nodes.begin(), builder.nodes.end(),
                                   [](IFileNode* n) { return std::string(n->GetFileName()) == "one.txt"; });
  EXPECT_EQ(count, 1);
}

// Records with ids at or past nextCatalogID belong to the volume only when
// the volume says that ids were reused.
TEST(CompleteSearcher, ReusedIdsFlagAdmitsRecordsPastNextCatalogId) {
  for (const bool reused : {false, true}) {
    Bytes volume = VolumeOf(4096, 4096, false);
    for (const std::size_t at : {std::size_t{1024}, volume.size() - 1024}) {
      volume[at + 64] = volume[at + 65] = volume[at + 66] = 0;
      volume[at + 67] = 17;                // nextCatalogID below the files' ids
      if (reused) volume[at + 6] |= 0x10;  // attributes bit 12
    }
    testsupport::MemoryDevice device(hfstest::MakeDisk(8u << 20, 512, {{2048, volume}}), 512, kDeviceDisk);
    hfstest::CollectingBuilder builder;
    auto searcher = hfstest::SweepWithSearcher(&device, builder, nullptr);
    const auto live = builder.ByPath(false);
    ASSERT_EQ(live.count("one.txt"), 1u);
    auto* node = dynamic_cast<CHFSPlusFileNode*>(live.at("one.txt"));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetVolume() != nullptr, reused);
  }
}

// A volume whose header at byte 1024 is gone opens from its alternate copy
// and reaches its overflow extents; a damaged copy opens nothing.
TEST(VolumeFromHeaderImage, AlternateCopyOpensTheTrees) {
  hfsbuilder::BuilderOptions options;
  options.sectorSize = 512;
  hfsbuilder::HfsPlusImageBuilder builder(options);
  hfsbuilder::FileOptions overflow;
  overflow.fragments = 12;
  const std::uint32_t id = builder.AddFile(2, "many.bin", hfstest::Pattern(13 * 4096 + 100, 4), overflow);
  Bytes image = builder.Build();
  hfstest::ZeroMainHeader(image, 512, 0);
  const Bytes alternate(image.end() - 1024, image.end() - 512);
  testsupport::MemoryDevice device(image, 512, kDeviceVolume);

  CHFSPlusVolume fromMain(&device, false);
  EXPECT_NE(fromMain.GetLastResult(), 0u);

  CHFSPlusVolume volume(&device, ByteView(alternate.data(), alternate.size()), false);
  ASSERT_EQ(volume.GetLastResult(), 0u);
  ASSERT_NE(volume.GetCatalog(), nullptr);
  HFSPlusSearchResult found;
  HFSPlusCatalogRecord file;
  ASSERT_EQ(volume.SearchCatalog(MakeCatalogKey(2, u"many.bin"), found, &file), 0u);
  ASSERT_NE(found.found, 0);
  ASSERT_EQ(file.id, id);
  std::vector<HFSPlusExtentDescriptor> extents;
  ASSERT_EQ(BuildExtentChain(&volume, id, file.dataFork, ExtentChainOptions{}, extents), 0u);
  EXPECT_EQ(extents.size(), 12u);

  EXPECT_NE(CHFSPlusVolume(&device, ByteView(alternate.data(), 100), false).GetLastResult(), 0u);
  Bytes badBlockSize = alternate;
  badBlockSize[40] = 0x00;
  badBlockSize[41] = 0x00;
  badBlockSize[42] = 0x03;
  badBlockSize[43] = 0xE8;  // 1000
  EXPECT_NE(CHFSPlusVolume(&device, ByteView(badBlockSize.data(), badBlockSize.size()), false).GetLastResult(), 0u);
}

}  // namespace
