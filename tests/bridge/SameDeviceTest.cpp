// A destination on the scanned storage is recognised, also before it exists.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/SourceIdentity.h"
#include "support/TempDir.h"

namespace {

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

TEST(SameDevice, AnUnknownSourceHasNoIdentity) {
  EXPECT_TRUE(platform::IdentifySource("/nonexistent/device").Empty());
}

}  // namespace
