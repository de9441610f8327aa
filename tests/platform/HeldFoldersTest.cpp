// Destination folders held open by a recovery run.

#include "platform/HeldFolders.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// Writes `text` to `path` through the folders; false when they do not hold its folder or the open fails.
bool WriteThrough(platform::HeldFolders& folders, const std::string& path, const std::string& text) {
  const std::optional<int> fd = folders.OpenFile(path, true);
  if (!fd || *fd < 0) return false;
  const bool ok = ::write(*fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(*fd);
  return ok;
}

class HeldFoldersTest : public ::testing::Test {
 protected:
  std::string Root() const { return m_dir.Path().string() + "/dest/"; }
  std::string Under(const std::string& relative) const { return m_dir.Path().string() + "/dest/" + relative; }
  void SetUp() override { fs::create_directories(m_dir.Path() / "dest"); }

  testsupport::TempDir m_dir;
};

TEST_F(HeldFoldersTest, MakesEachFolderAndWorksInsideIt) {
  platform::HeldFolders folders;
  ASSERT_TRUE(folders.MakeBelow(Root(), "/a/b/c"));
  EXPECT_TRUE(fs::is_directory(Under("a/b/c")));
  // Held under the root's path without its trailing slash, then each part.
  EXPECT_EQ(folders.EntryExists(Under("a/b/c/x.txt")), std::optional<bool>(false));
  ASSERT_TRUE(WriteThrough(folders, Under("a/b/c/x.txt"), "data"));
  EXPECT_EQ(folders.EntryExists(Under("a/b/c/x.txt")), std::optional<bool>(true));
  EXPECT_EQ(folders.EntryExists(Under("a/b")), std::optional<bool>(true));
  EXPECT_EQ(folders.EntryExists(Under("elsewhere/x.txt")), std::nullopt) << "a folder never made is not held";

  const platform::UnixTimeStamp access{1300000100, 5};
  const platform::UnixTimeStamp modification{1300000000, 7};
  ASSERT_EQ(folders.SetFolderTimes(Under("a/b"), &access, &modification), std::optional<bool>(true));
  struct stat st {};
  ASSERT_EQ(::stat(Under("a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1300000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 7);
  EXPECT_EQ(st.st_atim.tv_sec, 1300000100);
  EXPECT_EQ(folders.SetFolderTimes(Under("zz"), &access, &modification), std::nullopt);

  // An existing folder is taken as it is, made again by nobody.
  EXPECT_TRUE(folders.MakeBelow(Root(), "a/b/d"));
  EXPECT_TRUE(fs::exists(Under("a/b/c/x.txt")));
}

struct RefusedCase {
  const char* name;
  const char* relative;
};

class RefusedParts : public HeldFoldersTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedParts, NothingIsMadeThroughThem) {
  fs::create_directories(m_dir.Path() / "outside");
  std::ofstream(Under("file")) << "x";
  fs::create_directory_symlink(m_dir.Path() / "outside", Under("link"));
  platform::HeldFolders folders;
  EXPECT_FALSE(folders.MakeBelow(Root(), GetParam().relative));
  EXPECT_TRUE(fs::is_empty(m_dir.Path() / "outside"));
  EXPECT_FALSE(fs::exists(m_dir.Path() / "escape"));
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedParts,
                         ::testing::Values(RefusedCase{"link", "link/sub"}, RefusedCase{"linkItself", "link"},
                                           RefusedCase{"file", "file/sub"}, RefusedCase{"dotdot", "../escape"},
                                           RefusedCase{"dot", "a/./b"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HeldFoldersTest, AFolderSwappedForALinkIsNeverFollowed) {
  fs::create_directories(m_dir.Path() / "outside");
  platform::HeldFolders folders;
  ASSERT_TRUE(folders.MakeBelow(Root(), "docs"));
  ASSERT_TRUE(WriteThrough(folders, Under("docs/a.txt"), "a"));
  // The checked folder moves away and a link to somewhere else takes its name.
  fs::rename(Under("docs"), Under("moved"));
  fs::create_directory_symlink(m_dir.Path() / "outside", Under("docs"));

  EXPECT_TRUE(folders.MakeBelow(Root(), "docs"));
  EXPECT_EQ(folders.EntryExists(Under("docs/b.txt")), std::optional<bool>(false));
  ASSERT_TRUE(WriteThrough(folders, Under("docs/b.txt"), "b"));
  const platform::UnixTimeStamp stamp{1300000000, 0};
  EXPECT_EQ(folders.SetFolderTimes(Under("docs"), &stamp, &stamp), std::optional<bool>(true));

  EXPECT_TRUE(fs::is_empty(m_dir.Path() / "outside"));
  EXPECT_TRUE(fs::exists(Under("moved/b.txt"))) << "the work stays in the folder that was checked";
  struct stat st {};
  ASSERT_EQ(::stat((m_dir.Path() / "outside").c_str(), &st), 0);
  EXPECT_NE(st.st_mtim.tv_sec, 1300000000);

  // A fresh run walks again and refuses the link.
  folders.Clear();
  EXPECT_FALSE(folders.MakeBelow(Root(), "docs"));
}

TEST_F(HeldFoldersTest, ALinkAtTheFileNameIsNotFollowed) {
  fs::create_directories(m_dir.Path() / "outside");
  platform::HeldFolders folders;
  ASSERT_TRUE(folders.MakeBelow(Root(), "docs"));
  fs::create_symlink(m_dir.Path() / "outside" / "target.txt", Under("docs/a.txt"));
  EXPECT_EQ(folders.EntryExists(Under("docs/a.txt")), std::optional<bool>(true)) << "a dangling link is an entry";
  const std::optional<int> fd = folders.OpenFile(Under("docs/a.txt"), true);
  ASSERT_TRUE(fd.has_value());
  EXPECT_EQ(*fd, -1);
  EXPECT_EQ(errno, ELOOP);
  EXPECT_FALSE(fs::exists(m_dir.Path() / "outside" / "target.txt"));
}

TEST_F(HeldFoldersTest, ARemovedFolderIsForgotten) {
  platform::HeldFolders folders;
  ASSERT_TRUE(folders.MakeBelow(Root(), "gone"));
  fs::remove(Under("gone"));
  const std::optional<int> fd = folders.OpenFile(Under("gone/a.txt"), true);
  ASSERT_TRUE(fd.has_value());
  EXPECT_EQ(*fd, -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(folders.OpenFile(Under("gone/a.txt"), true), std::nullopt);
  // Made again on the next walk.
  ASSERT_TRUE(folders.MakeBelow(Root(), "gone"));
  EXPECT_TRUE(WriteThrough(folders, Under("gone/a.txt"), "a"));
}

TEST_F(HeldFoldersTest, OnlyTheMostRecentlyUsedStayOpen) {
  const std::size_t before = OpenDescriptors();
  {
    platform::HeldFolders folders(3);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(folders.MakeBelow(Root(), "f" + std::to_string(i) + "/sub"));
    EXPECT_LE(OpenDescriptors(), before + 3);
    // The last walk is held; an evicted folder is walked again and works the same.
    EXPECT_EQ(folders.EntryExists(Under("f9/sub/x")), std::optional<bool>(false));
    EXPECT_EQ(folders.EntryExists(Under("f0/sub/x")), std::nullopt);
    ASSERT_TRUE(folders.MakeBelow(Root(), "f0/sub"));
    EXPECT_TRUE(WriteThrough(folders, Under("f0/sub/x"), "x"));
    EXPECT_TRUE(fs::exists(Under("f0/sub/x")));
    EXPECT_LE(OpenDescriptors(), before + 3);
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
