// The deep scan over real APFS containers made by macOS, compared with what
// The Sleuth Kit lists and extracts.

#include <gtest/gtest.h>

#include <memory>

#include "apfs/APFSFileNode.h"
#include "apfs/ApfsScanSupport.h"
#include "core/device/DiskDevice.h"
#include "support/Absent.h"

namespace apfstest {
namespace {

std::unique_ptr<CDiskDevice> OpenImage(const std::string& relative) {
  const std::string dir = testsupport::FixturesDir();
  if (dir.empty()) return nullptr;
  const std::string path = dir + "/" + relative;
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(path.c_str()));
  if (disk == nullptr || disk->Open(nullptr) == 0) return nullptr;
  return disk;
}

long long FileTimeOf(long long unixSeconds) { return unixSeconds * 10000000LL + 116444736000000000LL; }

struct Expected {
  const char* path;
  long long size;     // -1: a folder
  long long created;  // unix seconds (UTC), 0: not checked
  long long modified;
};

TEST(ApfsFixtureScan, DfvfsContainerListsTheFilesTskShows) {
  auto disk = OpenImage("dfvfs/apfs.raw");
  if (!disk) QUARNEL_SKIP_NO_FIXTURE() << "dfvfs/apfs.raw not available";
  CollectingBuilder builder;
  auto searcher = Sweep(disk.get(), builder);
  ASSERT_EQ(searcher->Readers().size(), 1u);
  EXPECT_EQ(searcher->Readers()[0]->Name(), "apfs_test_0");
  EXPECT_EQ(builder.flashBuilds, 1);
  ASSERT_EQ(builder.infos.size(), 1u);
  EXPECT_EQ(builder.infos[0], std::make_pair(kSearcherApfs, 2LL));

  const auto paths = builder.ByPath();
  // istat -B 107: times of 2022-01-14 07:19:41 UTC (1642144781).
  const Expected expected[] = {
      {"passwords.txt", 116, 1642144781, 1642144781},
      {"a_directory", -1, 0, 0},
      {"a_directory/a_file", 53, 1642144781, 1642144781},
      {"a_directory/another_file", 22, 1642144781, 1642144781},
      {"a_directory/a_resourcefork", 0, 1642144781, 0},
      {"fseventsd", -1, 0, 0},
      {"fseventsd/fseventsd-uuid", 36, 1642144781, 1642144781},
      {"a_link", 0, 1642144781, 0},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.path);
    auto it = paths.find(e.path);
    ASSERT_NE(it, paths.end());
    IFileNode* n = it->second;
    EXPECT_EQ(n->IsDeleted(), 0);
    if (e.size < 0) {  // NOLINT
      EXPECT_EQ(n->IsDirectory(), 1);
      continue;
    }
    EXPECT_EQ(n->IsDirectory(), 0);
    EXPECT_EQ(n->GetFileSize(), e.size);
    if (e.created != 0) {
      EXPECT_EQ(n->GetCreationTime(), FileTimeOf(e.created));
    }
    if (e.modified != 0) {
      EXPECT_EQ(n->GetModificationTime(), FileTimeOf(e.modified));
    }
  }
  for (_tagSearcherType t : builder.types) EXPECT_EQ(t, kSearcherApfs);
}

TEST(ApfsFixtureScan, DfvfsFilesRecoverWithTheirBytes) {
  auto disk = OpenImage("dfvfs/apfs.raw");
  if (!disk) QUARNEL_SKIP_NO_FIXTURE() << "dfvfs/apfs.raw not available";
  CollectingBuilder builder;
  auto searcher = Sweep(disk.get(), builder);
  const auto paths = builder.ByPath();
  testsupport::TempDir tmp;
  std::string content;
  ASSERT_TRUE(paths.count("a_directory/another_file"));
  ASSERT_TRUE(RecoverNode(searcher.get(), disk.get(), paths.at("a_directory/another_file"), tmp, "another", content));
  EXPECT_EQ(content, "This is another file.\n");
  ASSERT_TRUE(paths.count("passwords.txt"));
  ASSERT_TRUE(RecoverNode(searcher.get(), disk.get(), paths.at("passwords.txt"), tmp, "pw", content));
  EXPECT_EQ(content.size(), 116u);
  EXPECT_EQ(content.rfind("place,user,password", 0), 0u);
  const std::string icat = Icat(testsupport::FixturesDir() + "/dfvfs/apfs.raw", 107, 18, tmp);
  if (!icat.empty()) {
    EXPECT_EQ(content, icat);
  }
}

}  // namespace
}  // namespace apfstest
