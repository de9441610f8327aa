// Which removals stop the results window's scan: the scanned device, or the
// disk it lies on, named by its node; the disk's display name; nothing for
// other devices. Each case is a fresh window with the scripted alerts.

#include <gtest/gtest.h>

#include "ui/bridge_qt/QtBridge.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

struct RemovalCase {
  const char* scanned;  // kernel name or image path of the scanned row
  const char* key;      // "DevName" or "USBPath"
  const char* named;    // what the record names
  bool stops;
};

class DeviceRemoval : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(DeviceRemoval, StopsOnlyForTheScannedDevice) {
  const RemovalCase& c = GetParam();
  bridge_qt::QtBridge bridge;
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  windows::QVDeletailWindowController w;
  _DiskVolumeData volume;
  volume.devName = c.scanned;
  volume.diskIndex = 0;
  volume.volumeIndex = 0;
  _DiskVolumeData disk;
  disk.name = "Kingston DataTraveler";
  disk.devName = "/dev/sdz";
  w.setSelectDiskVolumeData(volume);
  w.setParentRow(disk);
  int home = 0;
  QObject::connect(&w, &windows::QVDeletailWindowController::backHomeRequested, [&] { ++home; });
  w.RefreshDevice(QVariantMap{{QString::fromLatin1(c.key), QString::fromLatin1(c.named)}});
  EXPECT_EQ(runner.alerts.size(), c.stops ? 1u : 0u) << c.scanned << " / " << c.named;
  EXPECT_EQ(home, c.stops ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Records, DeviceRemoval,
                         ::testing::Values(RemovalCase{"sdb1", "USBPath", "/dev/sdb1", true},
                                           RemovalCase{"sdb1", "DevName", "sdb1", true},
                                           RemovalCase{"sdb1", "USBPath", "/dev/sdb", true},
                                           RemovalCase{"sdb1", "USBPath", "/dev/sdb2", false},
                                           RemovalCase{"sdb1", "USBPath", "/dev/sdc", false},
                                           RemovalCase{"sdb1", "USBPath", "/dev/sd", false},
                                           RemovalCase{"nvme0n1p2", "USBPath", "/dev/nvme0n1", true},
                                           RemovalCase{"nvme0n1p2", "USBPath", "/dev/nvme0n1p1", false},
                                           RemovalCase{"sdb1", "USBPath", "/dev/sdz", true},
                                           RemovalCase{"sdb1", "USBPath", "Kingston DataTraveler", true},
                                           RemovalCase{"sdb1", "USBPath", "Other Stick", false},
                                           RemovalCase{"/tmp/none/disk.img", "DevName", "/tmp/none/disk.img", true},
                                           RemovalCase{"/tmp/none/disk.img", "DevName", "/tmp/none/other.img", false}));

TEST(DeviceRemovalOnce, TheSheetShowsOnceAndNothingNamedChecksPresence) {
  bridge_qt::QtBridge bridge;
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  windows::QVDeletailWindowController w;
  _DiskVolumeData volume;
  volume.devName = "/nonexistent/quarnel/removed.img";
  w.setSelectDiskVolumeData(volume);
  // The scanned image is gone: a removal that names nothing stops it.
  ui::NotificationCenter::defaultCenter().post(QStringLiteral("RefreshDetachDevice"));
  ASSERT_EQ(runner.alerts.size(), 1u);
  EXPECT_EQ(runner.alerts[0].message, QStringLiteral("Message"));
  EXPECT_EQ(runner.alerts[0].defaultButton, QStringLiteral("OK"));
  // The window stopped listening.
  ui::NotificationCenter::defaultCenter().post(
      QStringLiteral("RefreshDetachDevice"),
      QVariantMap{{QStringLiteral("DevName"), QString::fromStdString(volume.devName)}});
  EXPECT_EQ(runner.alerts.size(), 1u);
}

}  // namespace
