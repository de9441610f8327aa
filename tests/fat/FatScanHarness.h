#pragma once
// Images made once per test program by make_fat_images.sh, volume and disk
// devices over them, scans through the core's controllers, and what The
// Sleuth Kit lists on the same images.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/device/StorageDevice.h"
#include "core/model/Contracts.h"
#include "core/recovery/DataRecovery.h"
#include "support/Absent.h"
#include "support/FakeSinks.h"
#include "support/Files.h"
#include "support/ScanRun.h"
#include "support/SleuthKit.h"

namespace fattest {

// The folder holding the images and their sources ("" when the tools are
// missing; `why` says which).
const std::string& ImagesDir(testsupport::Lack* why = nullptr);

// A test over the images in m_dir, skipped when they cannot be made; times
// are read in UTC.
template <typename Base = ::testing::Test>
class FatImagesTest : public Base {
 protected:
  static void SetUpTestSuite() {
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void SetUp() override {
    testsupport::Lack why;
    m_dir = ImagesDir(&why);
    if (m_dir.empty()) QUARNEL_SKIP_LACK(why);
  }
  std::string m_dir;
};

struct DeviceRelease {
  void operator()(IStorageDevice* d) const { delete d; }
};
using DevicePtr = std::unique_ptr<IStorageDevice, DeviceRelease>;

// A volume device over the image file, with a volume record of `fsCode`.
DevicePtr OpenVolume(const std::string& path, int fsCode);
// The image file as a whole disk.
DevicePtr OpenDisk(const std::string& path);

// One scan through a controller with the real tree builder.
struct Scan : testsupport::ScanRun {
  // Every FAT node under the FAT tree's root, by path ("A/B/c.txt").
  std::multimap<std::string, IFileNode*> nodes;
};
std::unique_ptr<Scan> RunScan(IStorageDevice* device, _RECOVERY_CONTROLLER_TYPE kind);

// An entry of `fls -m`, its path without the leading '/'.
using TskEntry = testsupport::FlsBodyEntry;
// `fls -r -d -m` of the image (deleted entries).
std::vector<TskEntry> FlsDeleted(const std::string& image, long long offsetSectors = 0);

// Path components equal, or equal but for a lost first character ('#' on
// our side, '_' on The Sleuth Kit's).
bool SamePathAllowingLostFirstChar(const std::string& ours, const std::string& tsk);
// Our node for a TSK path, or null.
IFileNode* FindNode(const std::multimap<std::string, IFileNode*>& nodes, const std::string& tskPath);

// FILETIME to seconds since 1970.
long long FileTimeToUnix(long long fileTime);

using testsupport::ReadFileBytes;
// Recovers `node` into `out`; the recovery's result.
RESULT Recover(IRecoveryController& controller, IFileNode* node, const std::string& out);

}  // namespace fattest
