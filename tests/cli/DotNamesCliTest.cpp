// A file named "..." (a legal name on volumes written by Linux) is listed
// and recovered under a cleaned name on FAT, exFAT and NTFS; the folder
// entries "." and ".." of FAT stay what they are.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using testsupport::Quote;

// Paths of the files (not folders) a complete scan lists.
std::vector<std::string> ListedFiles(const std::string& image) {
  const std::string out =
      testsupport::Capture(Quote(testsupport::CliPath()) + " scan " + Quote(image) + " --deep --json 2>/dev/null");
  std::vector<std::string> files;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (testsupport::JsonField(line, "dir") == "false") files.push_back(testsupport::JsonField(line, "path"));
  }
  return files;
}

// Recovers everything of the image into `dest`; the recovered file whose
// name is `name`, "" when there is none.
std::string RecoveredFile(const std::string& image, const std::string& dest, const std::string& name) {
  (void)testsupport::Run(Quote(testsupport::CliPath()) + " recover " + Quote(image) + " --deep --to " + Quote(dest) +
                         " >/dev/null 2>&1");
  std::error_code ec;
  for (const auto& e : fs::recursive_directory_iterator(dest, ec)) {
    if (e.is_regular_file() && e.path().filename() == name) return e.path().string();
  }
  return "";
}

void ExpectListedAndRecovered(const std::string& image, const testsupport::TempDir& dir) {
  const std::vector<std::string> files = ListedFiles(image);
  bool listed = false;
  for (const std::string& f : files) listed = listed || f == "/_...";
  EXPECT_TRUE(listed) << ::testing::PrintToString(files);
  for (const std::string& f : files) EXPECT_EQ(f.find("/."), std::string::npos) << f;
  const std::string got = RecoveredFile(image, dir.File("out"), "_...");
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(testsupport::ReadFileText(got), "three dots\n");
}

// A FUSE mount of an image, unmounted at the end.
class FuseMount {
 public:
  FuseMount(const std::string& command, std::string folder)
      : m_folder(std::move(folder)), m_mounted(testsupport::Run(command + " >/dev/null 2>&1") == 0) {}
  ~FuseMount() { Unmount(); }
  void Unmount() {
    if (m_mounted) testsupport::Run("umount " + Quote(m_folder) + " 2>/dev/null || fusermount -u " + Quote(m_folder));
    m_mounted = false;
  }
  bool Mounted() const { return m_mounted; }

 private:
  std::string m_folder;
  bool m_mounted;
};

// What writing a name through a FUSE driver needs that this machine lacks:
// the rights and devices first, then the tools ("" reason: nothing).
testsupport::Lack MissingForFuse(bool loop, std::initializer_list<const char*> tools) {
  if (testsupport::CliPath().empty()) return testsupport::MissingTool({"quarnel-cli"});
  testsupport::Lack lack = testsupport::MissingFuse();
  if (lack.empty() && loop) lack = testsupport::MissingLoop();
  return lack.empty() ? testsupport::MissingTool(tools) : lack;
}

TEST(DotNames, FatFileNamedThreeDotsIsListedAndRecovered) {
  if (testsupport::CliPath().empty() || !testsupport::HaveProgram("mkfs.vfat") || !testsupport::HaveProgram("mcopy")) {
    QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  }
  testsupport::TempDir dir;
  const std::string image = dir.File("fat.img");
  std::ofstream(dir.File("AbC")) << "three dots\n";
  ASSERT_EQ(testsupport::Run("mkfs.vfat -F 16 -C " + Quote(image) + " 16384 >/dev/null"), 0);
  ASSERT_EQ(testsupport::Run("MTOOLS_SKIP_CHECK=1 mmd -i " + Quote(image) + " ::/Sub"), 0);
  ASSERT_EQ(testsupport::Run("MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(image) + " " + Quote(dir.File("AbC")) + " ::/AbC"),
            0);
  // mtools refuses "...": the long name "AbC" becomes "..." in place (the
  // long-name checksum covers the short name only).
  std::string bytes = testsupport::ReadFileText(image);
  const std::string utf16("A\0b\0C\0", 6);
  const auto at = bytes.find(utf16);
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 6, std::string(".\0.\0.\0", 6));
  std::ofstream(image, std::ios::binary | std::ios::trunc) << bytes;
  ExpectListedAndRecovered(image, dir);
}

// A loop device of an image (exfat-fuse mounts block devices only).
class Loop {
 public:
  explicit Loop(const std::string& image) {
    std::string out = testsupport::Capture("losetup -f --show " + Quote(image) + " 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    m_path = out;
  }
  ~Loop() {
    if (!m_path.empty()) testsupport::Run("losetup -d " + Quote(m_path) + " 2>/dev/null");
  }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

TEST(DotNames, ExFatFileNamedThreeDotsIsListedAndRecovered) {
  const testsupport::Lack lack = MissingForFuse(true, {"mkfs.exfat", "mount.exfat-fuse"});
  if (!lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string image = dir.File("ex.img");
  ASSERT_EQ(testsupport::Run("truncate -s 8M " + Quote(image) + " && mkfs.exfat " + Quote(image) + " >/dev/null"), 0);
  const std::string mnt = dir.File("mnt");
  fs::create_directory(mnt);
  {
    const Loop loop(image);
    if (loop.Path().empty())
      QUARNEL_SKIP_LACK(testsupport::MissingCapability("losetup could not attach a loop device"));
    FuseMount mount("mount.exfat-fuse " + Quote(loop.Path()) + " " + Quote(mnt), mnt);
    if (!mount.Mounted()) QUARNEL_SKIP_LACK(testsupport::MissingCapability("exfat-fuse cannot mount here"));
    std::ofstream(mnt + "/...") << "three dots\n";
    mount.Unmount();
  }
  ExpectListedAndRecovered(image, dir);
}

TEST(DotNames, NtfsFileNamedThreeDotsIsListedAndRecovered) {
  const testsupport::Lack lack = MissingForFuse(false, {"mkntfs", "ntfs-3g"});
  if (!lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string image = dir.File("nt.img");
  ASSERT_EQ(
      testsupport::Run("truncate -s 16M " + Quote(image) + " && mkntfs -F -q -Q " + Quote(image) + " >/dev/null 2>&1"),
      0);
  const std::string mnt = dir.File("mnt");
  fs::create_directory(mnt);
  {
    FuseMount mount("ntfs-3g " + Quote(image) + " " + Quote(mnt), mnt);
    if (!mount.Mounted()) QUARNEL_SKIP_LACK(testsupport::MissingCapability("ntfs-3g cannot mount here"));
    std::ofstream(mnt + "/...") << "three dots\n";
  }
  ExpectListedAndRecovered(image, dir);
}

}  // namespace
