// Complete scans of exFAT volumes that neither a boot sector nor the root
// folder places: the partition is rebuilt from its sub-folders' trees and
// from folders lying just below their files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "core/controller/RecoveryController.h"
#include "core/device/DiskDevice.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "exfat/ExFatEngine.h"
#include "exfat/ExFatPartitionBuilder.h"
#include "exfat/ExFatTestSupport.h"
#include "support/Absent.h"
#include "support/ScanRun.h"
#include "support/TempDir.h"

using namespace exfattest;

namespace {

// 1029 files in seven folders and their "Inner" sub-folders, written through
// exfat-fuse; then the main and backup boot regions and the root folder's
// cluster are zeroed.
constexpr const char* kScript = R"SH(set -euo pipefail
D=$1; I=$D/ex.img; S=$D/src; M=$D/mnt
mkdir -p "$S" "$M"
python3 - "$S" <<'PY'
import os, random, sys
s = sys.argv[1]; r = random.Random(11); n = 0
for d in range(7):
    os.makedirs(os.path.join(s, 'Folder %d' % d, 'Inner'), exist_ok=True)
    for i in range(140):
        sub = 'Inner' if i % 4 == 0 else ''
        open(os.path.join(s, 'Folder %d' % d, sub, 'file %03d.bin' % i), 'wb').write(r.randbytes(200 + r.randrange(6000)))
        n += 1
while n < 1029:
    open(os.path.join(s, 'Folder 0', 'extra %03d.bin' % n), 'wb').write(r.randbytes(300)); n += 1
PY
truncate -s 64M "$I"
mkfs.exfat -L WIPED -c 4K "$I" >/dev/null
LOOP=$(losetup -f --show "$I")
cleanup() { mountpoint -q "$M" && umount "$M"; losetup -d "$LOOP"; }
trap cleanup EXIT
mount.exfat-fuse "$LOOP" "$M" >/dev/null 2>&1
cp -r "$S"/* "$M/"
sync
umount "$M"
python3 - "$I" <<'PY'
import struct, sys
f = open(sys.argv[1], 'r+b'); b = f.read(512)
heap, root, spc = struct.unpack_from('<I', b, 88)[0], struct.unpack_from('<I', b, 96)[0], 1 << b[109]
f.seek(0); f.write(bytes(24 * 512))
f.seek((heap + (root - 2) * spc) * 512); f.write(bytes(512 * spc))
PY
)SH";

// A one-sector set with files (and folders, of one 4 KiB cluster each) at
// the given clusters.
std::unique_ptr<CFileSet> SetAt(std::int64_t sector, std::initializer_list<std::uint32_t> clusters,
                                std::initializer_list<std::uint32_t> folders = {}) {
  auto set = std::make_unique<CFileSet>();
  set->RecordSector(sector);
  for (const auto& [list, attributes] : {std::pair{clusters, 0x20}, std::pair{folders, 0x10}}) {
    for (std::uint32_t c : list) {
      _tagFileBaseInfo f;
      f.firstCluster = c;
      f.dataLength = 4096;
      f.noFatChain = 1;
      f.inUse = 1;
      f.attributes = static_cast<std::uint16_t>(attributes);
      f.name = "f" + std::to_string(c);
      set->UpdateFileList(std::move(f));
    }
  }
  return set;
}

}  // namespace

// Every cluster size puts each set just below its files somewhere; only the
// size at which both sets agree keeps them, and the weaker candidates that
// share a set with it are winnowed out.
TEST(ExFatRebuild, OverlappingCandidatesAreWinnowed) {
  CPartitionBuilder builder;
  builder.PrepareBuild(512, 1 << 20);
  // Heap at 1000, 4 KiB clusters: sets in clusters 9 and 20, their files above.
  builder.PushFileSet(SetAt(1000 + 8 * 7, {10, 11, 12}), -1, -1);
  builder.PushFileSet(SetAt(1000 + 8 * 18, {21, 22}), -1, -1);
  builder.FinishBuid(nullptr);
  const auto& parts = builder.Partitions();
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0]->m_heapStartSector, 1000);
  EXPECT_EQ(parts[0]->m_sectorsPerCluster, 8u);
  EXPECT_EQ(parts[0]->m_flags & CExFatPartitionEx::kFromAllocBackward, CExFatPartitionEx::kFromAllocBackward);
  EXPECT_EQ(parts[0]->m_matchMap.size(), 2u);
}

// A folder whose three sub-folders hold two folders each: the cluster where
// one of them lies places the heap that explains the whole tree.
TEST(ExFatRebuild, FolderTreePlacesThePartition) {
  constexpr std::int64_t kHeap = 2000;
  const auto sector = [](std::uint32_t cluster) { return kHeap + 8 * (static_cast<std::int64_t>(cluster) - 2); };
  CPartitionBuilder builder;
  builder.PrepareBuild(512, 1 << 20);
  builder.PushFileSet(SetAt(sector(50), {51}, {60, 70, 80}), -1, -1);
  for (std::uint32_t c : {60u, 70u, 80u}) builder.PushFileSet(SetAt(sector(c), {}, {c + 1, c + 2}), -1, -1);
  for (std::uint32_t c : {61u, 62u, 71u, 72u, 81u, 82u}) builder.PushFileSet(SetAt(sector(c), {c + 100}), -1, -1);
  builder.FinishBuid(nullptr);
  const auto& parts = builder.Partitions();
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0]->m_heapStartSector, kHeap);
  EXPECT_EQ(parts[0]->m_sectorsPerCluster, 8u);
  EXPECT_NE(parts[0]->m_flags & CExFatPartitionEx::kFromTree, 0u);
  EXPECT_EQ(parts[0]->m_matchMap.size(), 10u);
}

TEST(ExFatRebuild, ClusterClaimsFailOnASharedCluster) {
  std::set<std::uint32_t> claimed;
  EXPECT_TRUE(SetAt(100, {10, 11})->GetAndCheckClusterSet(claimed, 4096));
  EXPECT_FALSE(SetAt(200, {11})->GetAndCheckClusterSet(claimed, 4096));
  // A contiguous file of two clusters claims the next one too.
  std::set<std::uint32_t> small;
  EXPECT_FALSE(SetAt(100, {10, 11})->GetAndCheckClusterSet(small, 2048));
}

// With both boot regions and the root folder gone, the sub-folders' sets
// place the partition and every file recovers as it was written.
TEST(ExFatRebuild, PartitionIsRebuiltFromItsSubFolders) {
  const testsupport::Lack why = WhyNoFuseImages();
  if (!why.empty()) QUARNEL_SKIP_LACK(why);
  testsupport::TempDir dir;
  const std::string script = dir.File("make.sh");
  {
    std::ofstream out(script);
    out << kScript;
  }
  ASSERT_EQ(testsupport::Run("bash '" + script + "' '" + dir.Path().string() + "' >/dev/null 2>&1"), 0);

  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(dir.File("ex.img").c_str()));
  ASSERT_NE(disk->Open(nullptr), 0);
  RegisterExFatEngine();
  testsupport::ScanRun scan;
  testsupport::ScanDevice(scan, disk.get(), kControllerWholeDisk);
  ASSERT_EQ(scan.result, 0u);
  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(scan.controller->GetDataRecovery(kSearcherExFat),
                                                                    [](IDataRecovery* r) { r->Release(); });
  ASSERT_NE(recovery, nullptr);
  const auto& partitions = recovery->GetSearchedPartition();
  ASSERT_EQ(partitions.size(), 1u);
  EXPECT_EQ(partitions[0]->m_llClusterBaseSector, 4096);
  EXPECT_EQ(partitions[0]->m_iSectorsPerCluster, 8);

  // Names repeat from folder to folder: sources are told apart by contents.
  std::multiset<std::vector<std::uint8_t>> sources;
  for (const auto& f : std::filesystem::recursive_directory_iterator(dir.File("src"))) {
    if (f.is_regular_file()) sources.insert(ReadFileBytes(f.path().string()));
  }
  ASSERT_EQ(sources.size(), 1029u);
  std::vector<IFileNode*> files;
  std::vector<IFileNode*> stack;
  for (IFilesystemNode* root : scan.tree.m_roots) {
    if (root->GetSearcheType() == kSearcherExFat) stack.push_back(root);
  }
  while (!stack.empty() && files.size() < 5000) {
    IFileNode* node = stack.back();
    stack.pop_back();
    for (IFileNode* c = node->GetFirstChild(); c != nullptr; c = c->GetNextNode()) {
      (c->IsDirectory() != 0 ? stack : files).push_back(c);
    }
  }
  ASSERT_EQ(files.size(), 1029u);
  int n = 0;
  for (IFileNode* file : files) {
    SCOPED_TRACE(file->GetFileName());
    IFileReader* reader = recovery->SetRecoverNode(file);
    ASSERT_NE(reader, nullptr);
    reader->Release();
    const std::string target = dir.File("r" + std::to_string(n++));
    ASSERT_EQ(recovery->RecoverTo(target.c_str(), nullptr, 0), 0u);
    auto it = sources.find(ReadFileBytes(target));
    ASSERT_NE(it, sources.end());
    sources.erase(it);
  }
  EXPECT_TRUE(sources.empty()) << sources.size() << " files were not recovered";
}
