// A destination on the scanned storage is recognised, also before it exists.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>

#include "platform/SourceIdentity.h"
#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string FirstLine(const std::string& command) {
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return "";
  char buf[256] = {};
  std::string line = std::fgets(buf, sizeof buf, p) != nullptr ? buf : "";
  ::pclose(p);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
  return line;
}

// A loop device of an image (read-only unless asked), detached at the end.
class Loop {
 public:
  Loop(const std::string& image, bool readOnly)
      : m_path(FirstLine("losetup -f --show " + std::string(readOnly ? "-r " : "") + Quote(image) + " 2>/dev/null")) {}
  ~Loop() {
    if (!m_path.empty()) testsupport::Run("losetup -d " + Quote(m_path) + " 2>/dev/null");
  }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

// A FUSE mount made by `command` at `folder`, unmounted at the end.
class FuseMount {
 public:
  FuseMount(const std::string& command, const std::string& folder)
      : m_folder(folder), m_mounted(testsupport::Run(command + " >/dev/null 2>&1") == 0) {}
  ~FuseMount() {
    if (m_mounted) testsupport::Run("umount " + Quote(m_folder) + " 2>/dev/null || fusermount -u " + Quote(m_folder));
  }
  bool Mounted() const { return m_mounted; }

 private:
  std::string m_folder;
  bool m_mounted;
};

// What a FUSE mount over loop devices needs that this machine lacks: the
// rights and devices, then the tools ("" reason: nothing).
testsupport::Lack MissingLoopAndFuse(std::initializer_list<const char*> tools) {
  testsupport::Lack lack = testsupport::MissingFuse();
  if (lack.empty()) lack = testsupport::MissingLoop();
  return lack.empty() ? testsupport::MissingTool(tools) : lack;
}

TEST(SameDevice, NearestExistingPathClimbsToAnExistingFolder) {
  testsupport::TempDir dir;
  const std::string base = dir.Path().string();
  EXPECT_EQ(platform::NearestExistingPath(base + "/not/yet/there"), base);
  EXPECT_EQ(platform::NearestExistingPath(base + "/a/../b"), base);
  EXPECT_EQ(platform::NearestExistingPath(base), base);
}

TEST(SameDevice, TheImageFileItselfIsRefused) {
  testsupport::TempDir dir;
  const std::string image = dir.File("disk.img");
  std::ofstream(image) << "data";
  const platform::SourceIdentity id = platform::IdentifySource(image);
  ASSERT_FALSE(id.Empty());
  EXPECT_TRUE(platform::DestinationOnSource(id, image));
  EXPECT_TRUE(platform::DestinationOnSource(id, image + "/inside/new"));
  EXPECT_FALSE(platform::DestinationOnSource(id, dir.File("recovered")));
}

TEST(SameDevice, TheBlockDeviceOfTheDestinationIsRefused) {
  // The block device that holds this folder, when the system names it.
  testsupport::TempDir dir;
  struct stat st {};
  ASSERT_EQ(::stat(dir.Path().c_str(), &st), 0);
  platform::SourceIdentity id;
  id.devices.insert(static_cast<std::uint64_t>(st.st_dev));
  EXPECT_TRUE(platform::DestinationOnSource(id, dir.File("does/not/exist/yet")));
  platform::SourceIdentity other;
  other.devices.insert(static_cast<std::uint64_t>(st.st_dev) + 12345);
  EXPECT_FALSE(platform::DestinationOnSource(other, dir.File("out")));
}

TEST(SameDevice, OneImageReachedThroughTwoLoopDevicesIsOneSource) {
  const testsupport::Lack lack = MissingLoopAndFuse({"mkfs.exfat", "mount.exfat-fuse"});
  if (!lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string image = dir.File("ex.img");
  const std::string other = dir.File("other.img");
  ASSERT_EQ(testsupport::Run("truncate -s 16M " + Quote(image) + " " + Quote(other)), 0);
  ASSERT_EQ(testsupport::Run("mkfs.exfat " + Quote(image) + " >/dev/null 2>&1"), 0);
  const Loop source(image, true);
  const Loop second(image, false);
  const Loop unrelated(other, true);
  if (source.Path().empty() || second.Path().empty() || unrelated.Path().empty()) {
    QUARNEL_SKIP_LACK(testsupport::MissingCapability("losetup could not attach three loop devices"));
  }
  const std::string mnt = dir.File("mnt");
  std::filesystem::create_directory(mnt);
  const FuseMount mount("mount.exfat-fuse " + Quote(second.Path()) + " " + Quote(mnt), mnt);
  if (!mount.Mounted()) QUARNEL_SKIP_LACK(testsupport::MissingCapability("exfat-fuse cannot mount here"));
  EXPECT_TRUE(platform::DestinationOnSource(platform::IdentifySource(source.Path()), mnt + "/recovered"));
  EXPECT_TRUE(platform::DestinationOnSource(platform::IdentifySource(image), mnt + "/recovered"));
  EXPECT_FALSE(platform::DestinationOnSource(platform::IdentifySource(unrelated.Path()), mnt + "/recovered"));
}

TEST(SameDevice, AnImageMountedByFuseIsTheSourceOfItsLoopDevice) {
  const testsupport::Lack lack = MissingLoopAndFuse({"mkntfs", "ntfs-3g"});
  if (!lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string image = dir.File("nt.img");
  ASSERT_EQ(testsupport::Run("truncate -s 16M " + Quote(image)), 0);
  ASSERT_EQ(testsupport::Run("mkntfs -F -q -Q " + Quote(image) + " >/dev/null 2>&1"), 0);
  const Loop source(image, true);
  if (source.Path().empty())
    QUARNEL_SKIP_LACK(testsupport::MissingCapability("losetup could not attach a loop device"));
  const std::string mnt = dir.File("mnt");
  std::filesystem::create_directory(mnt);
  const FuseMount mount("ntfs-3g " + Quote(image) + " " + Quote(mnt), mnt);
  if (!mount.Mounted()) QUARNEL_SKIP_LACK(testsupport::MissingCapability("ntfs-3g cannot mount here"));
  EXPECT_TRUE(platform::DestinationOnSource(platform::IdentifySource(source.Path()), mnt + "/recovered"));
  EXPECT_FALSE(platform::DestinationOnSource(platform::IdentifySource(source.Path()), dir.File("beside")));
}

TEST(SameDevice, AnUnknownSourceHasNoIdentity) { EXPECT_TRUE(platform::IdentifySource("/nonexistent/device").Empty()); }

}  // namespace
