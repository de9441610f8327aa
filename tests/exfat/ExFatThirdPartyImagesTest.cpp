// Quick scans through the core of exFAT images made elsewhere (macOS, a
// Linux tool's samples, a deliberately corrupted volume).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

#include "core/controller/RecoveryController.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "exfat/ExFatEngine.h"
#include "exfat/ExFatTestSupport.h"
#include "support/Absent.h"
#include "support/ScanRun.h"
#include "support/TempDir.h"

using namespace exfattest;

namespace {

std::string WithoutLeadingDots(const std::string& path) {
  std::string out;
  for (const auto& part : std::filesystem::path(path).relative_path()) {
    const std::string name = part.string();
    const std::size_t keep = name.find_first_not_of(" .");
    out += "/" + (keep == std::string::npos ? std::string() : name.substr(keep));
  }
  return out;
}

// A quick scan of the device.
struct Scan : testsupport::ScanRun {
  explicit Scan(IStorageDevice* device) { testsupport::ScanDevice(*this, device, kControllerQuick); }
};

class ExFatThirdPartyImages : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    m_fixtures = testsupport::FixturesDir();
    if (m_fixtures.empty()) QUARNEL_SKIP_NO_FIXTURE() << "no third-party fixtures";
    RegisterExFatEngine();
  }
  // Unpacks `command` output into the work folder; "" when it fails.
  std::string Unpack(const std::string& command, const std::string& name) {
    if (testsupport::Run(command) != 0) return {};
    const std::string path = m_work.File(name);
    return std::filesystem::exists(path) ? path : std::string();
  }
  void ExpectFlsDeletedListed(const std::string& image, const std::map<std::string, Found>& found) {
    const std::vector<Listed> listed = FlsDeleted(image);
    for (const Listed& e : listed) {
      SCOPED_TRACE(e.path);
      // fls lists a deleted folder's cluster again when a live folder reused
      // it; the scan reads every cluster once, for the live folder.
      if (std::count_if(listed.begin(), listed.end(), [&](const Listed& o) { return o.inode == e.inode; }) > 1 &&
          found.count(WithoutLeadingDots(e.path)) == 0) {
        continue;
      }
      // The tree builder takes user trash folders apart and shows names
      // without their leading dots.
      if (e.path.starts_with("/.Trashes/")) continue;
      auto it = found.find(WithoutLeadingDots(e.path));
      ASSERT_NE(it, found.end());
      EXPECT_TRUE(it->second.node->IsDeleted());
      EXPECT_EQ(it->second.node->GetFileSize(), e.size);
    }
  }

  std::string m_fixtures;
  testsupport::TempDir m_work;
};

TEST_F(ExFatThirdPartyImages, MacOsVolumeListsWhatFlsLists) {
  const std::string gz = m_fixtures + "/fat32-lib/exfat-test.dmg.gz";
  if (!testsupport::HaveProgram("fls")) QUARNEL_SKIP_NO_TOOL() << "fls is not installed";
  if (!std::filesystem::exists(gz)) QUARNEL_SKIP_NO_FIXTURE() << gz << " is absent";
  const std::string image = Unpack("gzip -dc '" + gz + "' > '" + m_work.File("mac.img") + "'", "mac.img");
  ASSERT_FALSE(image.empty());
  auto device = OpenVolume(image, kFsExFat);
  ASSERT_NE(device, nullptr);
  Scan scan(device.get());
  ASSERT_EQ(scan.result, 0u);
  ExpectFlsDeletedListed(image, TreeByPath(scan.tree));
}

TEST_F(ExFatThirdPartyImages, RawToolsSampleListsItsDeletedFile) {
  const std::string xz = m_fixtures + "/exfat-rawtools/exfat.tar.xz";
  if (!testsupport::HaveProgram("fls")) QUARNEL_SKIP_NO_TOOL() << "fls is not installed";
  if (!std::filesystem::exists(xz)) QUARNEL_SKIP_NO_FIXTURE() << xz << " is absent";
  const std::string image = Unpack("tar -xJf '" + xz + "' -C '" + m_work.Path().string() + "'", "exfat.img");
  ASSERT_FALSE(image.empty());
  auto device = OpenVolume(image, kFsExFat);
  ASSERT_NE(device, nullptr);
  Scan scan(device.get());
  ASSERT_EQ(scan.result, 0u);
  const auto found = TreeByPath(scan.tree);
  ExpectFlsDeletedListed(image, found);
  // The deleted file was empty: listed, nothing to read.
  auto it = found.find("/2_DELETED/FILE5.TXT");
  ASSERT_NE(it, found.end());
  EXPECT_EQ(it->second.node->GetFileSize(), 0);
}

// The corrupted volume (a folder loop, doubly used clusters, wrong sizes)
// is walked to its end: every folder once, no hang.
TEST_F(ExFatThirdPartyImages, CorruptedVolumeWithAFolderLoopEnds) {
  const std::string xz = m_fixtures + "/exfat-rawtools/error.tar.xz";
  if (!std::filesystem::exists(xz)) QUARNEL_SKIP_NO_FIXTURE() << "image absent";
  const std::string image = Unpack("tar -xJf '" + xz + "' -C '" + m_work.Path().string() + "'", "error.img");
  ASSERT_FALSE(image.empty());
  auto device = OpenVolume(image, kFsExFat);
  ASSERT_NE(device, nullptr);
  Scan scan(device.get());
  EXPECT_EQ(scan.result, 0u);
  const auto reports = scan.progress.Reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().state, kProgressFinished);
}

}  // namespace
