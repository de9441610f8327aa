// The complete scan over whole disks: a volume listed by a GPT table is
// walked and its live files marked in the bitmap; a volume whose table and
// main header are gone is found from what remains and its files come back
// byte for byte, on 512- and 4096-byte sectors.

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "core/bitmap/Bitmap.h"
#include "core/controller/RecoveryController.h"
#include "core/device/DeviceData.h"
#include "core/device/DiskDevice.h"
#include "core/engines/EngineRegistry.h"
#include "core/filetype/RecoveryFilter.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "hfsplus/BitmapMarking.h"
#include "hfsplus/CollectingBuilder.h"
#include "hfsplus/CompleteScanSupport.h"
#include "hfsplus/DiskImage.h"
#include "hfsplus/HfsPlusEngine.h"
#include "hfsplus/HfsPlusFileNode.h"
#include "hfsplus/SampleVolume.h"
#include "support/Absent.h"
#include "support/FakeSinks.h"
#include "support/MemoryDevice.h"
#include "support/ScanRun.h"
#include "support/TempDir.h"

namespace {

using hfstest::Bytes;

constexpr long long kGptStart = 2048;
constexpr std::size_t kDiskBytes = 48u << 20;

// A disk image file with a GPT table whose one HFS+ partition holds the
// sample volume at sector 2048; empty when sgdisk is missing.
struct GptDisk {
  GptDisk() : sample(4096, 512, false) {
    path = tmp.File("disk.img");
    hfstest::WriteSparse(path, hfstest::MakeDisk(kDiskBytes, 512, {{kGptStart, sample.image}}));
    sectors = static_cast<long long>(sample.image.size() / 512);
    ok = hfstest::WriteGptWithSgdisk(path, {{kGptStart, sectors}});
  }
  std::unique_ptr<CDiskDevice> Open() const {
    std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(path.c_str()));
    if (disk->Open(nullptr) == 0) return nullptr;
    CCollectedVolumeDeviceInfoStruct v;
    v.fileSystem = kFsHfsPlus;
    v.startSector = kGptStart;
    v.totalSectors = sectors;
    v.sectorSize = 512;
    v.partitionNumber = 1;
    disk->SetVolumes({v});
    return disk;
  }
  testsupport::TempDir tmp;
  hfstest::SampleVolume sample;
  std::string path;
  long long sectors = 0;
  bool ok = false;
};

IFileNode* FindNode(const hfstest::CollectingBuilder& builder, const std::string& path) {
  const auto live = builder.ByPath(false);
  const auto it = live.find(path);
  return it == live.end() ? nullptr : it->second;
}

TEST(CompleteScanGpt, ListedVolumeIsWalkedAndItsLiveFilesMarked) {
  if (!testsupport::HaveProgram("sgdisk")) QUARNEL_SKIP_NO_TOOL() << "sgdisk is not installed";
  GptDisk g;
  ASSERT_TRUE(g.ok) << "sgdisk failed";
  auto disk = g.Open();
  ASSERT_NE(disk, nullptr);
  hfstest::CollectingBuilder builder;
  TBitmap bitmap;
  auto searcher = hfstest::SweepWithSearcher(disk.get(), builder, &bitmap, false);

  // Candidate 0 behind the protective MBR, the listed volume after it.
  const auto& candidates = searcher->Candidates();
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_EQ(candidates[0]->startSector, 40);
  EXPECT_EQ(candidates[1]->startSector, kGptStart);
  ASSERT_NE(candidates[1]->volumeHeader, nullptr);
  EXPECT_EQ(candidates[1]->volumeHeaderSector, kGptStart + 2);
  EXPECT_NE(candidates[1]->volume, nullptr);

  // Live runs are marked (units of 8 sectors), a deleted file's are not.
  ASSERT_EQ(searcher->GetBitmap(), &bitmap);
  ASSERT_NE(bitmap.GetBitmapData(), nullptr);
  ASSERT_EQ(bitmap.GetUnit(), 8u);
  IFileNode* big = FindNode(builder, "docs/big.bin");
  ASSERT_NE(big, nullptr);
  const auto runs = CollectRuns(dynamic_cast<CFileNode*>(big)->GetDataRunList());
  ASSERT_GT(runs.size(), 1u);
  EXPECT_NE(bitmap.GetBit((kGptStart + runs[0].start * 8) / 8), 0);
  const long long lastBlock = runs.back().start + runs.back().length - 1;
  EXPECT_EQ(bitmap.GetBit((kGptStart + lastBlock * 8) / 8), 0) << "the last block of a file is left to the sweep";
  const auto deleted = builder.ByPath(true);
  ASSERT_EQ(deleted.count("docs/gone.bin"), 1u);
  const auto goneRuns = CollectRuns(dynamic_cast<CFileNode*>(deleted.at("docs/gone.bin"))->GetDataRunList());
  ASSERT_FALSE(goneRuns.empty());
  EXPECT_EQ(bitmap.GetBit((kGptStart + goneRuns[0].start * 8) / 8), 0);

  searcher->EndSearch(1);
  EXPECT_EQ(searcher->GetBitmap(), nullptr);
  CSearchedPartitionInfo* infos[2] = {nullptr, nullptr};
  ASSERT_EQ(searcher->GetSearchedPartitionInfo(infos, 2), 2);
  std::unique_ptr<CSearchedPartitionInfo> first(infos[0]), second(infos[1]);
  EXPECT_EQ(second->m_llStartSector, kGptStart);
  EXPECT_EQ(second->m_llClusterBaseSector, kGptStart);
  EXPECT_EQ(second->m_iSectorsPerCluster, 8);
  EXPECT_EQ(second->m_u16PartitionIndex, 1);
  EXPECT_EQ(second->GetTotalSectors(), g.sectors);

  // Plain, fragmented and compressed files come back whole.
  testsupport::TempDir out;
  for (std::uint32_t id : {g.sample.plain, g.sample.big, g.sample.comp4, g.sample.comp8}) {
    const std::string path = g.sample.PathOf(id);
    IFileNode* node = FindNode(builder, path);
    ASSERT_NE(node, nullptr) << path;
    EXPECT_EQ(dynamic_cast<CFileNode*>(node)->GetBelongedPartition(), 1u) << path;
    EXPECT_TRUE(hfstest::RecoverNode(searcher.get(), disk.get(), node, out, "f" + std::to_string(id)) ==
                g.sample.builder.Files().at(id).data)
        << path;
  }
}

TEST(CompleteScanGpt, WholeDiskControllerShowsAndRecoversTheFiles) {
  if (!testsupport::HaveProgram("sgdisk")) QUARNEL_SKIP_NO_TOOL() << "sgdisk is not installed";
  GptDisk g;
  ASSERT_TRUE(g.ok) << "sgdisk failed";
  auto disk = g.Open();
  ASSERT_NE(disk, nullptr);
  engine_registry::Clear();
  RegisterHfsPlusEngine();
  testsupport::ScanRun scan;
  testsupport::ScanDevice(scan, disk.get(), kControllerWholeDisk);
  ASSERT_EQ(scan.initialized, 1);
  ASSERT_EQ(scan.result, 0u);
  std::map<std::string, IFileNode*> shown;
  for (const auto& batch : scan.tree.m_batches) {
    for (IFileNode* n : batch.nodes) {
      if (!n->IsDirectory()) shown[n->GetFileName()] = n;
    }
  }
  ASSERT_EQ(shown.count("a.txt"), 1u);
  ASSERT_EQ(shown.count("comp8.bin"), 1u);
  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(scan.controller->GetDataRecovery(kSearcherHfsPlus),
                                                                    [](IDataRecovery* r) { r->Release(); });
  ASSERT_NE(recovery, nullptr);
  testsupport::TempDir out;
  for (const auto& [name, id] :
       {std::pair<std::string, std::uint32_t>{"a.txt", g.sample.plain}, {"comp8.bin", g.sample.comp8}}) {
    IFileReader* reader = recovery->SetRecoverNode(shown.at(name));
    ASSERT_NE(reader, nullptr) << name;
    reader->Release();
    ASSERT_EQ(recovery->RecoverTo(out.File(name).c_str(), nullptr, 0), 0u) << name;
    EXPECT_TRUE(hfstest::ReadFileBytes(out.File(name)) == g.sample.builder.Files().at(id).data) << name;
  }
  engine_registry::Clear();
}

// A volume of plain files (one fragmented, one in a folder), a file whose
// extents go past the catalog record's eight into the overflow tree, and
// compressed files: decmpfs inline in the attributes tree, and in a resource
// fork of more than eight extents.
struct LostVolume {
  LostVolume(std::uint32_t sectorSize, bool journaled, std::uint64_t volumeId = 0x0102030405060708ull,
             std::uint32_t date = 3787000000u, bool formatterLayout = false)
      : builder(Options(sectorSize, journaled, volumeId, date, formatterLayout)) {
    const std::uint32_t dir = builder.AddFolder(2, "dir");
    files["one.txt"] = builder.AddFile(2, "one.txt", hfstest::Pattern(5000, 1));
    hfsbuilder::FileOptions frag;
    frag.fragments = 3;
    files["frag.bin"] = builder.AddFile(2, "frag.bin", hfstest::Pattern(5 * 4096 + 7, 2), frag);
    files["dir/two.bin"] = builder.AddFile(dir, "two.bin", hfstest::Pattern(20000, 3));
    hfsbuilder::FileOptions overflow;
    overflow.fragments = 12;
    files["dir/many.bin"] = builder.AddFile(dir, "many.bin", hfstest::Pattern(13 * 4096 + 100, 4), overflow);
    hfsbuilder::FileOptions inlineZlib;
    inlineZlib.compression = hfsbuilder::Compression::kZlibInline;
    files["small.txt"] = builder.AddFile(2, "small.txt", hfstest::SampleVolume::Text(3000, 5), inlineZlib);
    hfsbuilder::FileOptions forkLzvn;
    forkLzvn.compression = hfsbuilder::Compression::kLzvnResource;
    forkLzvn.fragments = 10;
    files["dir/large.txt"] = builder.AddFile(dir, "large.txt", hfstest::SampleVolume::Text(150000, 6), forkLzvn);
    image = builder.Build();
  }
  static hfsbuilder::BuilderOptions Options(std::uint32_t ss, bool journaled, std::uint64_t id, std::uint32_t date,
                                            bool formatterLayout) {
    hfsbuilder::BuilderOptions o;
    o.sectorSize = ss;
    o.journaled = journaled;
    o.volumeId = id;
    o.date = date;
    if (formatterLayout) {
      // 10 MiB, its 8 MiB journal at byte 12288 ahead of the trees; the
      // journal holds a copy of the header sector, as every transaction does.
      o.minTotalBlocks = (10u << 20) / o.blockSize;
      o.journalFirst = true;
      o.journalSize = 8u << 20;
      o.journalVolumeHeader = true;
    }
    return o;
  }
  hfsbuilder::HfsPlusImageBuilder builder;
  std::map<std::string, std::uint32_t> files;
  Bytes image;
};

struct LostCase {
  std::uint32_t sectorSize;
  bool journaled;
  bool sgdiskZap;                // the table was written and then zapped by sgdisk
  bool formatterLayout = false;  // at sector 2048, laid out as the system's formatter does
};

class CompleteScanLost : public ::testing::TestWithParam<LostCase> {};

TEST_P(CompleteScanLost, VolumeWithoutTableOrMainHeaderComesBack) {
  const LostCase c = GetParam();
  LostVolume v(c.sectorSize, c.journaled, 0x0102030405060708ull, 3787000000u, c.formatterLayout);
  const long long start = c.formatterLayout ? 2048 : (1 << 20) / c.sectorSize;
  if (c.formatterLayout) {
    ASSERT_EQ(v.image.size(), 10u << 20);
    if (c.journaled) {
      // The journal info block names the journal at byte 12288.
      std::uint64_t offset = 0;
      for (std::size_t i = 0; i < 8; ++i) offset = offset << 8 | v.image[8192 + 36 + i];
      ASSERT_EQ(offset, 12288u);
    }
  }
  Bytes bytes = hfstest::MakeDisk(32u << 20, c.sectorSize, {{start, v.image}});
  hfstest::ZeroMainHeader(bytes, c.sectorSize, start);
  testsupport::TempDir tmp;
  if (c.sgdiskZap) {
    const std::string path = tmp.File("zapped.img");
    hfstest::WriteSparse(path, bytes);
    if (!testsupport::HaveProgram("sgdisk")) QUARNEL_SKIP_NO_TOOL() << "sgdisk is not installed";
    ASSERT_TRUE(hfstest::WriteGptWithSgdisk(path, {{start, static_cast<long long>(v.image.size() / c.sectorSize)}}))
        << "sgdisk failed";
    ASSERT_NE(hfstest::Capture("sgdisk --zap-all '" + path + "' >/dev/null 2>&1 && echo ok").find("ok"),
              std::string::npos);
    bytes = testsupport::MemoryDevice::FromFile(path, 512).Bytes();
  }
  testsupport::MemoryDevice device(bytes, static_cast<int>(c.sectorSize), kDeviceDisk);
  hfstest::CollectingBuilder builder;
  TBitmap bitmap;
  auto searcher = hfstest::SweepWithSearcher(&device, builder, &bitmap);

  const auto& candidates = searcher->Candidates();
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0]->startSector, start);
  ASSERT_NE(candidates[0]->volumeHeader, nullptr);
  EXPECT_FALSE(candidates[0]->headerIsMain);
  EXPECT_EQ(candidates[0]->journalInfoBlock != nullptr, c.journaled);
  // The volume's trees are reached through the alternate header.
  EXPECT_NE(candidates[0]->volume, nullptr);

  CSearchedPartitionInfo* infos[1] = {nullptr};
  ASSERT_EQ(searcher->GetSearchedPartitionInfo(infos, 1), 1);
  std::unique_ptr<CSearchedPartitionInfo> info(infos[0]);
  EXPECT_EQ(info->m_llClusterBaseSector, start);
  EXPECT_EQ(info->m_iSectorsPerCluster, static_cast<int>(4096 / c.sectorSize));

  testsupport::TempDir out;
  for (const auto& [path, id] : v.files) {
    IFileNode* node = FindNode(builder, path);
    ASSERT_NE(node, nullptr) << path;
    EXPECT_TRUE(hfstest::RecoverNode(searcher.get(), &device, node, out, "f" + std::to_string(id)) ==
                v.builder.Files().at(id).data)
        << path;
  }
}

INSTANTIATE_TEST_SUITE_P(Disks, CompleteScanLost,
                         ::testing::Values(LostCase{512, true, true}, LostCase{512, false, true},
                                           LostCase{512, true, false}, LostCase{4096, true, false},
                                           LostCase{4096, false, false}, LostCase{512, true, false, true},
                                           LostCase{512, false, false, true}, LostCase{4096, true, false, true},
                                           LostCase{4096, false, false, true}));

TEST(CompleteScanCandidates, TwoVolumesGiveTwoCandidatesAndOneVolumeOne) {
  for (std::uint32_t ss : {512u, 4096u}) {
    LostVolume a(ss, true, 0x1111111122222222ull, 3787000000u);
    LostVolume b(ss, false, 0x3333333344444444ull, 3788000000u);
    const long long startA = (1 << 20) / ss;
    const long long startB = (12 << 20) / ss;
    testsupport::MemoryDevice two(hfstest::MakeDisk(32u << 20, ss, {{startA, a.image}, {startB, b.image}}),
                                  static_cast<int>(ss), kDeviceDisk);
    hfstest::CollectingBuilder builder2;
    auto searcher2 = hfstest::SweepWithSearcher(&two, builder2, nullptr);
    ASSERT_EQ(searcher2->Candidates().size(), 2u) << ss;
    EXPECT_EQ(searcher2->Candidates()[0]->startSector, startA) << ss;
    EXPECT_EQ(searcher2->Candidates()[1]->startSector, startB) << ss;
    for (const auto& c : searcher2->Candidates()) {
      ASSERT_NE(c->volumeHeader, nullptr);
      EXPECT_TRUE(c->headerIsMain);
      EXPECT_NE(c->volume, nullptr);
      EXPECT_GT(c->filesFound, 0);
    }
    EXPECT_EQ(searcher2->Candidates()[1]->volumeHeader->VolumeIdentifier(), 0x3333333344444444ull);

    testsupport::MemoryDevice one(hfstest::MakeDisk(32u << 20, ss, {{startA, a.image}}), static_cast<int>(ss),
                                  kDeviceDisk);
    hfstest::CollectingBuilder builder1;
    auto searcher1 = hfstest::SweepWithSearcher(&one, builder1, nullptr);
    ASSERT_EQ(searcher1->Candidates().size(), 1u) << ss;
    EXPECT_EQ(searcher1->Candidates()[0]->startSector, startA);
    EXPECT_EQ(searcher1->Candidates()[0]->volumeHeaderSector, startA + 1024 / ss) << ss;
  }
}

// A journal holds copies of the header sector; on an intact volume they
// place no second volume.
TEST(CompleteScanCandidates, HeaderCopiesInTheJournalPlaceNoVolume) {
  for (std::uint32_t ss : {512u, 4096u}) {
    LostVolume v(ss, true, 0x0102030405060708ull, 3787000000u, true);
    testsupport::MemoryDevice device(hfstest::MakeDisk(32u << 20, ss, {{2048, v.image}}), static_cast<int>(ss),
                                     kDeviceDisk);
    hfstest::CollectingBuilder builder;
    auto searcher = hfstest::SweepWithSearcher(&device, builder, nullptr);
    ASSERT_EQ(searcher->Candidates().size(), 1u) << ss;
    EXPECT_EQ(searcher->Candidates()[0]->startSector, 2048) << ss;
    EXPECT_TRUE(searcher->Candidates()[0]->headerIsMain) << ss;
    EXPECT_NE(searcher->Candidates()[0]->volume, nullptr) << ss;
  }
}

}  // namespace
