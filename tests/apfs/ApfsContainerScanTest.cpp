// The deep scan over containers built in memory: the structured walk, stray
// nodes, readers and partition records, and one-field corruptions.

#include <gtest/gtest.h>

#include "apfs/APFSFileNode.h"
#include "apfs/ApfsImageBuilder.h"
#include "apfs/ApfsScanSupport.h"
#include "support/FakeSinks.h"
#include "support/MemoryDevice.h"

namespace apfstest {
namespace {

using testsupport::MemoryDevice;

Container Sample() {
  Container c;
  c.records = {
      Inode(2, 1, kTime2020, 0x41ED, "root", 0),
      Inode(16, 2, kTime2020, 0x41ED, "docs", 0),
      DirEntry(2, "docs", 16, kTime2020, true),
      Inode(17, 16, kTime2020 + 5000000000LL, 0x81A4, "note.txt", 5000),
      DirEntry(16, "note.txt", 17, kTime2020, false),
      Extent(17, 0, 8192, 20),
      Inode(18, 2, kTime2020, 0x81A4, "holey.bin", 12288),
      DirEntry(2, "holey.bin", 18, kTime2020, false),
      Extent(18, 8192, 4096, 22),
  };
  Bytes text(8192, 'n');
  text[0] = 'N';
  text[4096] = 'M';
  c.dataBlocks = {{20, Bytes(text.begin(), text.begin() + 4096)},
                  {21, Bytes(text.begin() + 4096, text.end())},
                  {22, Bytes(4096, 'h')}};
  return c;
}

TEST(ApfsContainerScan, WalkFindsFilesFoldersAndTheirBytes) {
  MemoryDevice device(BuildContainer(Sample()));
  CollectingBuilder builder;
  auto scan = Sweep(&device, builder);
  ASSERT_EQ(scan->Readers().size(), 1u);
  EXPECT_EQ(scan->Readers()[0]->Name(), "TestVol_0");
  const auto paths = builder.ByPath();
  ASSERT_TRUE(paths.count("docs"));
  ASSERT_TRUE(paths.count("docs/note.txt"));
  ASSERT_TRUE(paths.count("holey.bin"));
  IFileNode* note = paths.at("docs/note.txt");
  EXPECT_EQ(note->GetFileSize(), 5000);
  EXPECT_EQ(note->IsDeleted(), 0);
  EXPECT_EQ(note->GetCreationTime(), 1600000005LL * 10000000LL + 116444736000000000LL);
  EXPECT_EQ(note->GetModificationTime(), 1600000006LL * 10000000LL + 116444736000000000LL);

  CSearchedPartitionInfo* parts[2] = {};
  ASSERT_EQ(scan->GetSearchedPartitionInfo(parts, 2), 1);
  EXPECT_EQ(parts[0]->m_iFileSystem, 9);
  EXPECT_EQ(parts[0]->m_iSectorsPerCluster, 1);
  EXPECT_EQ(parts[0]->m_llClusterBaseSector, 0);
  EXPECT_EQ(parts[0]->GetTotalSectors(), 64 * 8);
  delete parts[0];

  testsupport::TempDir tmp;
  std::string content;
  ASSERT_TRUE(RecoverNode(scan.get(), &device, note, tmp, "note", content));
  ASSERT_EQ(content.size(), 5000u);
  EXPECT_EQ(content[0], 'N');
  EXPECT_EQ(content[4096], 'M');
  // A file whose first extent starts past 0 reads zeros for the hole.
  ASSERT_TRUE(RecoverNode(scan.get(), &device, paths.at("holey.bin"), tmp, "holey", content));
  ASSERT_EQ(content.size(), 12288u);
  EXPECT_EQ(content.substr(0, 8192), std::string(8192, '\0'));
  EXPECT_EQ(content.substr(8192), std::string(4096, 'h'));
}

TEST(ApfsContainerScan, ContainerInsideADiskUsesItsOwnBase) {
  Bytes disk(40 * 512, 0);
  const Bytes container = BuildContainer(Sample());
  disk.insert(disk.end(), container.begin(), container.end());
  // Pad so the container starts on a 4 KiB boundary of the device: 40 sectors = 5 blocks.
  MemoryDevice device(disk);
  CollectingBuilder builder;
  auto scan = Sweep(&device, builder);
  ASSERT_EQ(scan->Readers().size(), 1u);
  EXPECT_EQ(scan->Readers()[0]->StartSector(), 40u);
  const auto paths = builder.ByPath();
  ASSERT_TRUE(paths.count("docs/note.txt"));
  testsupport::TempDir tmp;
  std::string content;
  ASSERT_TRUE(RecoverNode(scan.get(), &device, paths.at("docs/note.txt"), tmp, "note", content));
  EXPECT_EQ(content.substr(0, 2), "Nn");
}

// A refused container superblock leaves the volume superblock to the
// lone-volume reader, which still finds the files.
struct Corruption {
  const char* what;
  std::uint64_t block;
  std::size_t offset;
  int width;
  std::uint64_t value;
  bool reseal;
  std::size_t readers;  // readers expected
  bool files;           // whether docs/note.txt is still found
};

TEST(ApfsContainerScan, OneFieldCorruptionsAreRefusedOrSkipped) {
  const Corruption cases[] = {
      {"superblock magic", 0, 32, 4, 0x4253584F, true, 1, true},
      {"superblock block size 8192", 0, 36, 4, 8192, true, 1, true},
      {"superblock checksum", 0, 0, 8, 1, false, 1, true},
      {"superblock object id", 0, 8, 8, 2, true, 1, true},
      {"container omap id beyond the container", 0, 160, 8, 1000, true, 1, false},
      {"container omap checksum", 2, 0, 8, 1, false, 1, false},
      {"omap root subtype", 3, 28, 4, 14, true, 1, false},
      {"omap root value offset", 3, 58, 2, 4000, true, 1, false},
      {"volume superblock magic", 4, 32, 4, 0, true, 1, false},
      {"volume omap id", 4, 128, 8, 0, true, 1, false},
      {"volume omap leaf flags", 6, 32, 2, 2, true, 1, false},
      {"fs-tree key count 1024", 7, 36, 4, 1024, true, 1, false},
      {"fs-tree checksum", 7, 0, 8, 1, false, 1, false},
      {"fs-tree toc length", 7, 42, 2, 0xFFF0, true, 1, false},
      {"superblock next copy unreadable", 0, 136, 4, 0xFFFFFFF0, true, 1, true},
  };
  for (const Corruption& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes image = BuildContainer(Sample());
    ByteWriter w(image);
    const std::size_t off = At(c.block, c.offset);
    if (c.width == 2) w.PutU16Le(off, static_cast<std::uint16_t>(c.value));
    if (c.width == 4) w.PutU32Le(off, static_cast<std::uint32_t>(c.value));
    if (c.width == 8) w.PutU64Le(off, c.value);
    if (c.reseal) SealAt(image, c.block);
    MemoryDevice device(image);
    CollectingBuilder builder;
    auto scan = Sweep(&device, builder);
    EXPECT_EQ(scan->Readers().size(), c.readers);
    EXPECT_EQ(builder.ByPath().count("docs/note.txt") != 0, c.files);
  }
}

TEST(ApfsContainerScan, DamagedRecordsInOneNodeLeaveTheOthers) {
  Container c = Sample();
  Record broken = Inode(30, 2, kTime2020, 0x81A4, "broken", 5);
  PutU16(broken.value, 98, 0x300);  // name field past the value
  c.records.push_back(broken);
  c.records.push_back(DirEntry(2, ".DS_Store", 31, kTime2020, false));
  c.records.push_back(Inode(31, 2, kTime2020, 0x81A4, ".DS_Store", 10));
  MemoryDevice device(BuildContainer(c));
  CollectingBuilder builder;
  auto scan = Sweep(&device, builder);
  const auto paths = builder.ByPath();
  EXPECT_TRUE(paths.count("docs/note.txt"));
  EXPECT_FALSE(paths.count("broken"));
  for (const auto& [path, node] : paths) EXPECT_EQ(path.find("DS_Store"), std::string::npos) << path;
}

// An older copy of the root node, left in free space, holds a deleted file.
TEST(ApfsContainerScan, StrayRootCopyYieldsDeletedFiles) {
  Container c = Sample();
  c.blockCount = 1100;  // virtual ids of tree nodes lie below the block count
  MemoryDevice device(BuildContainer(c));
  const Bytes old = MakeFsNode(1028, 2, 3,
                               {Inode(40, 2, kTime2020, 0x81A4, "gone.txt", 4096),
                                DirEntry(2, "gone.txt", 40, kTime2020, false), Extent(40, 0, 4096, 22)});
  std::copy(old.begin(), old.end(), device.Bytes().begin() + static_cast<long>(At(30)));
  CollectingBuilder builder;
  auto scan = Sweep(&device, builder);
  const auto paths = builder.ByPath();
  ASSERT_TRUE(paths.count("gone.txt"));
  EXPECT_EQ(paths.at("gone.txt")->IsDeleted(), 1);
  EXPECT_EQ(paths.at("docs/note.txt")->IsDeleted(), 0);
}

// A stray node of a second container is decoded by that container only.
TEST(ApfsContainerScan, StrayNodesGoToTheContainerHoldingThem) {
  Container a = Sample();
  Container b = Sample();
  a.blockCount = 1100;
  b.blockCount = 1100;
  b.volumeName = "Second";
  Bytes image = BuildContainer(a);
  Bytes second = BuildContainer(b);
  second[At(0, 72)] ^= 0xFF;  // another UUID
  SealAt(second, 0);
  const Bytes stray =
      MakeFsNode(1028, 3, 2, {Inode(50, 2, kTime2020, 0x81A4, "second.txt", 100), Extent(50, 0, 4096, 22)});
  std::copy(stray.begin(), stray.end(), second.begin() + static_cast<long>(At(40)));
  image.insert(image.end(), second.begin(), second.end());
  MemoryDevice device(image);
  CollectingBuilder builder;
  auto scan = Sweep(&device, builder);
  ASSERT_EQ(scan->Readers().size(), 2u);
  EXPECT_EQ(scan->Readers()[1]->Name(), "Second_1");
  int found = 0;
  for (IFileNode* n : builder.nodes) {
    if (std::string(n->GetFileName()) != "second.txt") continue;
    ++found;
    EXPECT_EQ(dynamic_cast<CFileNode*>(n)->GetBelongedPartition(), 1u);
  }
  EXPECT_EQ(found, 1);
  CSearchedPartitionInfo* parts[1] = {};
  ASSERT_EQ(scan->GetSearchedPartitionInfo(parts, 1), 1);
  EXPECT_EQ(parts[0]->m_llStartSector, 0);
  delete parts[0];
}

TEST(ApfsContainerScan, SuperblockCopiesAndLoneVolumes) {
  // A checkpoint copy with the same UUID inside the container: no new reader.
  Bytes image = BuildContainer(Sample());
  std::copy(image.begin(), image.begin() + kBlock, image.begin() + static_cast<long>(At(1)));
  {
    MemoryDevice device(image);
    CollectingBuilder builder;
    EXPECT_EQ(Sweep(&device, builder)->Readers().size(), 1u);
  }
  // The same UUID past the container's end: a second reader.
  Bytes twice = image;
  twice.insert(twice.end(), image.begin(), image.end());
  {
    MemoryDevice device(twice);
    CollectingBuilder builder;
    auto scan = Sweep(&device, builder);
    ASSERT_EQ(scan->Readers().size(), 2u);
    EXPECT_EQ(scan->Readers()[1]->Index(), 1);
    EXPECT_EQ(builder.infos.size(), 1u);
  }
  // Block 0 lost: the volume superblock alone makes the single whole-device reader.
  Bytes lost = BuildContainer(Sample());
  std::fill(lost.begin(), lost.begin() + kBlock, 0);
  {
    MemoryDevice device(lost);
    CollectingBuilder builder;
    auto scan = Sweep(&device, builder);
    ASSERT_EQ(scan->Readers().size(), 1u);
    EXPECT_EQ(scan->Readers()[0]->TotalSectors(), device.GetTotalSectors());
    EXPECT_TRUE(builder.ByPath().count("docs/note.txt"));
  }
  // Nothing of APFS: no reader, no partition, no build.
  {
    MemoryDevice device(Bytes(1 << 20, 0x5A));
    CollectingBuilder builder;
    auto scan = Sweep(&device, builder);
    CSearchedPartitionInfo* parts[1] = {};
    EXPECT_EQ(scan->GetSearchedPartitionInfo(parts, 1), 0);
    EXPECT_EQ(builder.flashBuilds, 0);
  }
}

// The sample with a checkpoint-descriptor area of blocks 1-13 (the sample's
// objects lie among them) holding four checkpoints of one block each, the
// superblock copy: transactions 5..8 at blocks 1, 10, 11 and 13. Only the
// newest names the object map that is there; block 0 is its copy.
Bytes WithCheckpoints(Bytes image) {
  const std::uint32_t slots[4] = {0, 9, 10, 12};
  for (std::uint32_t i = 0; i < 4; ++i) {
    Bytes nx(image.begin(), image.begin() + kBlock);
    PutU64(nx, 16, 5 + i);
    PutU32(nx, 104, 13);
    PutU64(nx, 112, 1);
    PutU32(nx, 136, slots[i]);
    PutU32(nx, 140, 1);
    if (i < 3) PutU64(nx, 160, 15);
    const std::uint64_t block = 1 + slots[i];
    std::copy(nx.begin(), nx.end(), image.begin() + static_cast<long>(At(block)));
    SealAt(image, block);
  }
  std::copy(image.begin() + static_cast<long>(At(13)), image.begin() + static_cast<long>(At(14)), image.begin());
  return image;
}

TEST(ApfsContainerScan, LostBlockZeroOpensFromTheNewestCheckpointSuperblock) {
  for (const std::size_t before : {std::size_t{0}, std::size_t{1} << 20}) {
    SCOPED_TRACE(before);
    Bytes image(before, 0);
    Bytes container = WithCheckpoints(BuildContainer(Sample()));
    {
      // Intact: block 0 opens it; the copies are the same container.
      Bytes whole = image;
      whole.insert(whole.end(), container.begin(), container.end());
      MemoryDevice device(whole);
      CollectingBuilder builder;
      auto scan = Sweep(&device, builder);
      ASSERT_EQ(scan->Readers().size(), 1u);
      EXPECT_EQ(scan->Readers()[0]->StartSector(), before / 512);
      EXPECT_TRUE(builder.ByPath().count("docs/note.txt"));
    }
    std::fill(container.begin(), container.begin() + kBlock, 0);
    image.insert(image.end(), container.begin(), container.end());
    MemoryDevice device(image);
    CollectingBuilder builder;
    auto scan = Sweep(&device, builder);
    ASSERT_EQ(scan->Readers().size(), 1u);
    EXPECT_EQ(scan->Readers()[0]->StartSector(), before / 512);
    EXPECT_EQ(scan->Readers()[0]->Name(), "TestVol_0");
    const auto paths = builder.ByPath();
    ASSERT_TRUE(paths.count("docs/note.txt"));
    IFileNode* note = paths.at("docs/note.txt");
    EXPECT_EQ(note->IsDeleted(), 0);
    testsupport::TempDir tmp;
    std::string content;
    ASSERT_TRUE(RecoverNode(scan.get(), &device, note, tmp, "note", content));
    ASSERT_EQ(content.size(), 5000u);
    EXPECT_EQ(content[4096], 'M');
  }
}

TEST(ApfsContainerScan, SectorSizesOf4096AndCancellation) {
  MemoryDevice device(BuildContainer(Sample()), 4096);
  CollectingBuilder builder;
  auto scan = Sweep(&device, builder);
  EXPECT_TRUE(builder.ByPath().count("docs/note.txt"));

  testsupport::FakeProgress progress;
  progress.m_cancelled = true;
  MemoryDevice again(BuildContainer(Sample()));
  CollectingBuilder none;
  auto cancelled = Sweep(&again, none, {true, &progress});
  EXPECT_TRUE(cancelled->Readers().empty());
}

TEST(ApfsContainerScan, NodeIsHandedOverOnce) {
  APFSDeepScan scan;
  CollectingBuilder builder;
  scan.SetDirecotryTreeBuilder(&builder);
  APFSFileNode node;
  EXPECT_EQ(scan.OnFileNodeFound(&node), 1);
  EXPECT_EQ(scan.OnFileNodeFound(&node), 0);
  EXPECT_EQ(builder.nodes.size(), 1u);
  EXPECT_EQ(CreateAPFSQuickSearcher(), nullptr);
}

TEST(ApfsContainerScan, EveryTruncationOfAContainerIsSafe) {
  const Bytes full = BuildContainer(Sample());
  for (std::size_t blocks = 1; blocks <= 24; ++blocks) {
    MemoryDevice device(Bytes(full.begin(), full.begin() + static_cast<long>(blocks * kBlock)));
    CollectingBuilder builder;
    auto scan = Sweep(&device, builder);
    EXPECT_LE(scan->Readers().size(), 1u);
  }
}

}  // namespace
}  // namespace apfstest
