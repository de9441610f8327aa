// A file whose earlier content is still listed by an older catalog leaf in
// the journal buffer (the journal clean, start equal to end): the complete
// scan shows the live file with its own content and times and, beside it,
// the earlier version as a deleted file with that record's content and
// times. The journal harvest drops the earlier record, whose id is live.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/controller/RecoveryController.h"
#include "core/device/DiskDevice.h"
#include "core/engines/EngineRegistry.h"
#include "core/filetype/RecoveryFilter.h"
#include "core/model/FileNode.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "hfsplus/HfsPlusEngine.h"
#include "hfsplus/HfsPlusJournal.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/HfsTestSupport.h"
#include "hfsplus_builder/HfsPlusImageBuilder.h"
#include "support/FakeSinks.h"
#include "support/MemoryDevice.h"
#include "support/ScanRun.h"
#include "support/TempDir.h"

namespace {

using hfsbuilder::Bytes;

constexpr std::uint32_t kCreated = 3787000000u;
constexpr std::uint32_t kOlderModified = 3787000100u;
constexpr std::uint32_t kLiveModified = 3787000500u;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

struct VersionedVolume {
  explicit VersionedVolume(bool journalFirst) : builder(Options(journalFirst)) {
    hfsbuilder::FileOptions f;
    f.createDate = kCreated;
    f.modifyDate = kLiveModified;
    f.accessDate = kLiveModified;
    f.olderVersion = older;
    f.olderModifyDate = kOlderModified;
    id = builder.AddFile(2, "file1.txt", live, f);
    other = builder.AddFile(2, "other.txt", Text(std::string(100, 'x')));
    image = builder.Build();
  }
  static hfsbuilder::BuilderOptions Options(bool journalFirst) {
    hfsbuilder::BuilderOptions o;
    o.journalFirst = journalFirst;
    return o;
  }
  const Bytes live = Text("the live content, 28 bytes.\n");
  const Bytes older = Text("older content, 23 byte\n");
  hfsbuilder::HfsPlusImageBuilder builder;
  std::uint32_t id = 0;
  std::uint32_t other = 0;
  Bytes image;
};

long long FileTime(std::uint32_t hfsSeconds) { return HfsSecondsToFileTime(hfsSeconds); }

TEST(FileVersions, JournalHarvestDropsTheEarlierRecordOfALiveFile) {
  VersionedVolume v(false);
  ASSERT_EQ(v.live.size(), 28u);
  ASSERT_EQ(v.older.size(), 23u);
  testsupport::MemoryDevice device(v.image, 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  ASSERT_NE(volume.GetJournal()->GetHeader(), nullptr);
  EXPECT_EQ(volume.GetJournal()->GetHeader()->start, volume.GetJournal()->GetHeader()->end);
  EXPECT_EQ(volume.GetJournal()->GetDeleteRecord(nullptr), 0u);
  EXPECT_TRUE(volume.HarvestedCatalogRecords().empty());
}

class FileVersionsDeepScan : public ::testing::TestWithParam<bool> {};

TEST_P(FileVersionsDeepScan, LiveFileKeepsItsContentAndTheEarlierVersionIsListedBesideIt) {
  VersionedVolume v(GetParam());
  testsupport::TempDir tmp;
  const std::string path = tmp.File("volume.img");
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(v.image.data()), static_cast<std::streamsize>(v.image.size()));
  }
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(path.c_str()));
  ASSERT_NE(disk->Open(nullptr), 0);
  engine_registry::Clear();
  RegisterHfsPlusEngine();
  testsupport::ScanRun scan;
  testsupport::ScanDevice(scan, disk.get(), kControllerComplete);
  ASSERT_EQ(scan.initialized, 1);
  ASSERT_EQ(scan.result, 0u);

  std::vector<IFileNode*> versions;
  int others = 0;
  for (const auto& batch : scan.tree.m_batches) {
    for (IFileNode* n : batch.nodes) {
      if (n->IsDirectory() != 0) continue;
      const std::string name = n->GetFileName();
      if (name == "file1.txt") versions.push_back(n);
      others += name == "other.txt" ? 1 : 0;
    }
  }
  EXPECT_EQ(others, 1);
  ASSERT_EQ(versions.size(), 2u);
  if (versions[0]->IsDeleted() != 0) std::swap(versions[0], versions[1]);
  IFileNode* live = versions[0];
  IFileNode* earlier = versions[1];
  EXPECT_EQ(live->IsDeleted(), 0);
  EXPECT_EQ(earlier->IsDeleted(), 1);
  EXPECT_EQ(live->GetFileSize(), 28);
  EXPECT_EQ(earlier->GetFileSize(), 23);
  EXPECT_EQ(live->GetModificationTime(), FileTime(kLiveModified));
  EXPECT_EQ(earlier->GetModificationTime(), FileTime(kOlderModified));
  EXPECT_EQ(live->GetCreationTime(), FileTime(kCreated));
  EXPECT_EQ(earlier->GetCreationTime(), FileTime(kCreated));

  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(scan.controller->GetDataRecovery(kSearcherHfsPlus),
                                                                    [](IDataRecovery* r) { r->Release(); });
  ASSERT_NE(recovery, nullptr);
  const std::pair<IFileNode*, const Bytes*> cases[] = {{live, &v.live}, {earlier, &v.older}};
  for (const auto& [node, expected] : cases) {
    IFileReader* reader = recovery->SetRecoverNode(node);
    ASSERT_NE(reader, nullptr);
    reader->Release();
    const std::string out = tmp.File(node->IsDeleted() != 0 ? "earlier" : "live");
    ASSERT_EQ(recovery->RecoverTo(out.c_str(), nullptr, 0), 0u);
    EXPECT_TRUE(hfstest::ReadFileBytes(out) == *expected) << out;
  }
  engine_registry::Clear();
}

// The journal after the trees, and ahead of them as the formatter lays it
// out (then the earlier version is met first).
INSTANTIATE_TEST_SUITE_P(Layouts, FileVersionsDeepScan, ::testing::Bool());

}  // namespace
