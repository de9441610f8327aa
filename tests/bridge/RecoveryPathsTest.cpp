// Destination folders and file names of recovered files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bridge/BridgeTestSupport.h"
#include "bridge/QVPublic.h"
#include "bridge/QVUIRecovery.h"
#include "support/TempDir.h"

using namespace bridgetest;
namespace fs = std::filesystem;

namespace {

class RecoveryPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    QVUIRecovery::instance()->ClearCreateDirIndex();
    m_dest = m_dir.Path().string() + "/out/";
  }
  void TearDown() override { QVUIRecovery::instance()->ClearCreateDirIndex(); }

  // A root of `type` named "Disk1" and a folder chain below it.
  CFilesystemNode* Root(_tagSearcherType type) {
    m_roots.push_back(std::make_unique<CFilesystemNode>("root", "Disk1", type, 0));
    return m_roots.back().get();
  }
  TestNode* Add(CFileNode* parent, const std::string& name, bool dir) {
    auto* n = new TestNode(++m_id, parent->GetCurrentNodeID(), name, 10, dir);
    parent->AddChild(n);
    m_nodes.emplace_back(n);
    return n;
  }
  static void Touch(const std::string& path) { std::ofstream(path) << "x"; }
  std::string Folder(_tagSearcherType type, int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04d", n);
    return m_dest + QVUIPublic::GetFileSystemStrByType(type) + buf;
  }

  testsupport::TempDir m_dir;
  std::string m_dest;
  long long m_id = 100;
  std::vector<std::unique_ptr<CFilesystemNode>> m_roots;
  std::vector<std::unique_ptr<TestNode>> m_nodes;
};

TEST_F(RecoveryPaths, FilesGoUnderTheirTypeFolderWithTheirPath) {
  CFilesystemNode* root = Root(kSearcherFat);
  TestNode* docs = Add(root, "Docs", true);
  TestNode* a = Add(docs, "a.txt", false);
  TestNode* b = Add(docs, "b.txt", false);
  const std::string pa = CreateRecoveryFilePathByNode(a, m_dest.c_str());
  const std::string pb = CreateRecoveryFilePathByNode(b, m_dest.c_str());
  EXPECT_EQ(pa, Folder(kSearcherFat, 1) + "/Disk1/Docs/a.txt");
  EXPECT_EQ(pb, Folder(kSearcherFat, 1) + "/Disk1/Docs/b.txt");
  EXPECT_TRUE(fs::is_directory(Folder(kSearcherFat, 1) + "/Disk1/Docs"));
  // A folder node makes its folder and answers no file path.
  EXPECT_EQ(CreateRecoveryFilePathByNode(Add(docs, "Sub", true), m_dest.c_str()), "");
  EXPECT_TRUE(fs::is_directory(Folder(kSearcherFat, 1) + "/Disk1/Docs/Sub"));
}

TEST_F(RecoveryPaths, NtfsFolderIsOnlyItsCounterAndASecondRunGoesBeside) {
  CFilesystemNode* root = Root(kSearcherNtfs);
  TestNode* f = Add(root, "x.bin", false);
  EXPECT_EQ(CreateRecoveryFilePathByNode(f, m_dest.c_str()), m_dest + "0001/Disk1/x.bin");
  QVUIRecovery::instance()->ClearCreateDirIndex();
  EXPECT_EQ(CreateRecoveryFilePathByNode(f, m_dest.c_str()), m_dest + "0002/Disk1/x.bin");
  EXPECT_EQ(QVUIRecovery::instance()->GetCreateDirIndex(kSearcherNtfs), 2);
}

TEST_F(RecoveryPaths, FirstFreeCounterIsTaken) {
  fs::create_directories(Folder(kSearcherFat, 1));
  Touch(Folder(kSearcherFat, 2));  // a file of that name also counts as taken
  TestNode* f = Add(Root(kSearcherFat), "a.txt", false);
  EXPECT_EQ(CreateRecoveryFilePathByNode(f, m_dest.c_str()), Folder(kSearcherFat, 3) + "/Disk1/a.txt");
}

struct ClashCase {
  const char* folder;
  const char* name;
  const char* first;
  const char* second;
};

class NameClash : public RecoveryPaths, public ::testing::WithParamInterface<ClashCase> {};

TEST_P(NameClash, TakenNamesGetACounterBeforeTheExtension) {
  const ClashCase& c = GetParam();
  CFilesystemNode* root = Root(kSearcherFat);
  TestNode* folder = Add(root, c.folder, true);
  TestNode* node = Add(folder, c.name, false);
  const std::string base = Folder(kSearcherFat, 1) + "/Disk1/" + c.folder + "/";
  const std::string p0 = CreateRecoveryFilePathByNode(node, m_dest.c_str());
  EXPECT_EQ(p0, base + c.name);
  Touch(p0);
  const std::string p1 = CreateRecoveryFilePathByNode(node, m_dest.c_str());
  EXPECT_EQ(p1, base + c.first);
  Touch(p1);
  EXPECT_EQ(CreateRecoveryFilePathByNode(node, m_dest.c_str()), base + c.second);
}

INSTANTIATE_TEST_SUITE_P(Cases, NameClash,
                         ::testing::Values(ClashCase{"Photos", "a.jpg", "a_0001.jpg", "a_0002.jpg"},
                                           ClashCase{"Docs", "README", "README_0001", "README_0002"},
                                           ClashCase{"v1.jpg.d", "README", "README_0001", "README_0002"},
                                           ClashCase{"x.tar", "b.tar.gz", "b.tar_0001.gz", "b.tar_0002.gz"}));

TEST_F(RecoveryPaths, HostileNamesStayInsideTheDestination) {
  CFilesystemNode* root = Root(kSearcherFat);
  const char* names[] = {"..", "../../escape.txt", "/etc/passwd", ".", "", "a\nb\x01.txt"};
  TestNode* up = Add(root, "..", true);
  TestNode* deeper = Add(up, "..", true);
  std::vector<std::string> paths;
  for (const char* name : names)
    paths.push_back(CreateRecoveryFilePathByNode(Add(deeper, name, false), m_dest.c_str()));
  const std::string inside = fs::weakly_canonical(m_dest).string();
  for (const std::string& p : paths) {
    ASSERT_FALSE(p.empty());
    const std::string canonical = fs::weakly_canonical(p).string();
    EXPECT_EQ(canonical.rfind(inside, 0), 0u) << p;
    EXPECT_EQ(p.find("/../"), std::string::npos) << p;
    EXPECT_EQ(p.find('\n'), std::string::npos) << p;
  }
  EXPECT_EQ(paths[2], Folder(kSearcherFat, 1) + "/Disk1/_/_/_etc_passwd");
  // Nothing was made outside the destination.
  EXPECT_FALSE(fs::exists(m_dir.Path() / "escape.txt"));
}

TEST_F(RecoveryPaths, ASymbolicLinkBelowTheDestinationIsNotFollowed) {
  CFilesystemNode* root = Root(kSearcherFat);
  TestNode* f = Add(Add(root, "Docs", true), "a.txt", false);
  fs::create_directories(m_dir.Path() / "elsewhere");
  fs::create_directories(Folder(kSearcherFat, 1));
  QVUIRecovery::instance()->ClearCreateDirIndex();
  // The folder the path would take is a link to somewhere else.
  fs::create_directory_symlink(m_dir.Path() / "elsewhere", Folder(kSearcherFat, 2));
  fs::create_directories(Folder(kSearcherFat, 3));
  const std::string p = CreateRecoveryFilePathByNode(f, m_dest.c_str());
  EXPECT_EQ(p, Folder(kSearcherFat, 4) + "/Disk1/Docs/a.txt");
  EXPECT_TRUE(fs::is_empty(m_dir.Path() / "elsewhere"));
}

TEST_F(RecoveryPaths, AFolderSwappedForALinkDuringTheRunIsNotFollowed) {
  CFilesystemNode* root = Root(kSearcherFat);
  TestNode* docs = Add(root, "Docs", true);
  TestNode* a = Add(docs, "a.txt", false);
  TestNode* b = Add(docs, "b.txt", false);
  fs::create_directories(m_dir.Path() / "elsewhere");
  std::ofstream(m_dir.Path() / "elsewhere" / "b.txt") << "taken";
  const std::string pa = CreateRecoveryFilePathByNode(a, m_dest.c_str());
  ASSERT_EQ(pa, Folder(kSearcherFat, 1) + "/Disk1/Docs/a.txt");
  const std::string docsPath = Folder(kSearcherFat, 1) + "/Disk1/Docs";
  fs::rename(docsPath, docsPath + ".moved");
  fs::create_directory_symlink(m_dir.Path() / "elsewhere", docsPath);
  // The run keeps to the folder it checked: the name is free there, and
  // nothing is made or looked up through the link.
  EXPECT_EQ(CreateRecoveryFilePathByNode(b, m_dest.c_str()), docsPath + "/b.txt");
  EXPECT_EQ(CreateRecoveryFilePathByNode(Add(docs, "Sub", true), m_dest.c_str()), "");
  EXPECT_TRUE(fs::is_directory(docsPath + ".moved/Sub"));
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.Path() / "elsewhere"), fs::directory_iterator()), 1);
}

TEST(RecoveryFolderNames, ByEngine) {
  const std::string d = "2025-03-08";
  EXPECT_EQ(QVUIPublic::GetFileSystemStrByType(31, d), "HFS+_Recovered Data2025-03-08_");
  EXPECT_EQ(QVUIPublic::GetFileSystemStrByType(32, d), "Fat_Recovered Data2025-03-08_");
  EXPECT_EQ(QVUIPublic::GetFileSystemStrByType(33, d), "ExFat_Recovered Data2025-03-08_");
  EXPECT_EQ(QVUIPublic::GetFileSystemStrByType(34, d), "RAW_");
  EXPECT_EQ(QVUIPublic::GetFileSystemStrByType(35, d), "");
  EXPECT_EQ(QVUIPublic::GetFileSystemStrByType(36, d), "Lable_RAW_Recovered Data2025-03-08_");
  EXPECT_EQ(QVUIPublic::GetFileSystemStrByType(37, d), "APFS_Recovered Data2025-03-08_");
  EXPECT_EQ(QVUIPublic::GetFileSystemStrByType(38, d), "");
}

TEST(SafeComponent, ReplacesWhatCouldLeaveTheFolder) {
  EXPECT_EQ(bridge::SafeComponent(".."), "_");
  EXPECT_EQ(bridge::SafeComponent("."), "_");
  EXPECT_EQ(bridge::SafeComponent(""), "_");
  EXPECT_EQ(bridge::SafeComponent("a/b"), "a_b");
  EXPECT_EQ(bridge::SafeComponent(std::string("a\0b", 3)), "a_b");
  EXPECT_EQ(bridge::SafeComponent("caf\xc3\xa9"), "caf\xc3\xa9");
  // Cut to 255 bytes without splitting a character.
  const std::string longName = std::string(254, 'x') + "\xc3\xa9";
  EXPECT_EQ(bridge::SafeComponent(longName), std::string(254, 'x'));
}

}  // namespace
