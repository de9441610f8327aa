// The disk page on rows made here: what it lists and how, the desktop
// volume found by its device number, choices and the header flag, the
// "Desktop" row scanning the desktop volume, and a refresh asked for while
// a scan runs (the list is kept and the enumeration tried again later).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QSignalSpy>

#include <filesystem>

#include <sys/stat.h>

#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/windows/QVSelectDiskViewController.h"

namespace {

using windows::DiskRow;
using windows::DiskVolumeNodeData;
using windows::QVSelectDiskViewController;

struct Owner : windows::QVSelectDiskDelegate {
  void changeSelectDiskViewContinueButtonEnabled(const DiskRow& row) override { rows.push_back(row); }
  void doubleClickedListToScan(int desktop) override { scans.push_back(desktop); }
  void backHome() override { ++backs; }
  std::vector<DiskRow> rows;
  std::vector<int> scans;
  int backs = 0;
};

_DiskVolumeData volume(const char* name, const char* dev, long long capacity, int fs) {
  _DiskVolumeData v;
  v.name = name;
  v.devName = dev;
  v.capacity = capacity;
  v.fileSystem = fs;
  v.volumeIndex = 0;
  return v;
}

_DiskVolumeData disk(const char* name, const char* dev, std::list<_DiskVolumeData> volumes, int usb = 0) {
  _DiskVolumeData d;
  d.name = name;
  d.devName = dev;
  d.capacity = 500000000000;
  d.isUSB = usb;
  for (auto& v : volumes) v.isUSB = usb;
  d.children = std::move(volumes);
  return d;
}

// The first block device node in /dev, for a row that is the desktop's.
std::string someBlockDevice(dev_t* number) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
    struct stat st {};
    if (::stat(entry.path().c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
      *number = st.st_rdev;
      return entry.path().filename().string();
    }
  }
  return {};
}

class DiskPage : public testing::Test {
 protected:
  void TearDown() override { QVSelectDiskViewController::setDesktopDeviceSource(nullptr); }
  void show(std::list<_DiskVolumeData> rows) {
    page.setDelegate(&owner);
    page.setAllDiskArr(DiskVolumeNodeData::FromBridge(rows));
    page.show();
    page.InitFinished();
  }
  Owner owner;
  QVSelectDiskViewController page;
};

TEST_F(DiskPage, ListsDisksWithVolumesAndTheirCells) {
  QVSelectDiskViewController::setDesktopDeviceSource([] { return std::nullopt; });
  show({disk("Samsung SSD 870", "sda", {volume("Data", "sda1", 250000000000, 3), volume("", "sda2", 999, 9)}),
        disk("Empty reader", "sdb", {}), disk("Stick", "sdc", {volume("STICK", "sdc1", 8000000000, 2)}, 1)});
  // Pseudo row, the SSD with two volumes, the stick with one; no empty reader.
  ASSERT_EQ(page.outlineView()->numberOfRows(), 6);
  using C = QVSelectDiskViewController;
  EXPECT_EQ(page.cellText(0, C::ColName), QStringLiteral("Desktop"));
  EXPECT_EQ(page.cellText(0, C::ColSize), QStringLiteral(" "));
  EXPECT_EQ(page.cellText(1, C::ColSsd), QStringLiteral("SSD"));
  EXPECT_EQ(page.cellText(2, C::ColSsd), QStringLiteral(" "));
  EXPECT_EQ(page.cellText(2, C::ColFileSystem), QStringLiteral("NTFS"));
  EXPECT_EQ(page.cellText(2, C::ColSize), QStringLiteral("250.00 GB"));
  EXPECT_EQ(page.cellText(3, C::ColName), QStringLiteral("Untitled"));
  EXPECT_EQ(page.cellText(3, C::ColSize), QStringLiteral("999 byte"));
  EXPECT_EQ(page.cellText(3, C::ColFileSystem), QStringLiteral("APFS"));
  EXPECT_EQ(page.cellText(4, C::ColSsd), QStringLiteral("HDD"));
  EXPECT_EQ(page.nameImage(1), QStringLiteral("icon_disk"));
  EXPECT_EQ(page.nameImage(5), QStringLiteral("icon_usb"));
  EXPECT_EQ(page.rootArr(), (QStringList{"1", "4"}));
  // No desktop volume: nothing chosen, the pseudo row leaves the desktop flag off.
  EXPECT_EQ(page.selectedRow(), -1);
  ASSERT_FALSE(owner.rows.empty());
  EXPECT_EQ(owner.rows.back(), nullptr);
  page.chooseRow(0);
  EXPECT_EQ(page.isSelectDesktop(), 0);
  // A header press, then a double click: no scan; a row choice clears the flag.
  page.chooseRow(2);
  EXPECT_EQ(page.itemAtRow(2)->parentName(), QStringLiteral("Samsung SSD 870"));
  emit page.outlineView()->header()->sectionPressed(1);
  EXPECT_TRUE(page.clickedHeader());
  page.doubleToScan(2);
  EXPECT_TRUE(owner.scans.empty());
  page.chooseRow(5);
  EXPECT_FALSE(page.clickedHeader());
  EXPECT_EQ(owner.rows.back(), page.itemAtRow(5));
  page.doubleToScan(5);
  EXPECT_EQ(owner.scans, (std::vector<int>{0}));
  // Selection wins over the root colour; a collapse keeps the chosen row marked.
  page.chooseRow(4);
  EXPECT_EQ(page.outlineView()->rowBackground(4), QColor(59, 153, 252));
  page.outlineView()->collapse(page.outlineView()->indexAtRow(1));
  EXPECT_EQ(page.selectedRow(), 2);
  EXPECT_EQ(page.cellText(2, C::ColName), QStringLiteral("Stick"));
}

TEST_F(DiskPage, DesktopRowScansTheVolumeThatHoldsTheDesktop) {
  dev_t number = 0;
  const std::string node = someBlockDevice(&number);
  if (node.empty()) GTEST_SKIP() << "no block device node in /dev";
  QVSelectDiskViewController::setDesktopDeviceSource([number] { return std::optional<dev_t>(number); });
  // The desktop's volume is on the second disk, not the first.
  show({disk("First", "vdz", {volume("Other", "vdz1", 1000000, 2)}),
        disk("Second", "sdq", {volume("Home", node.c_str(), 2000000, 3)})});
  ASSERT_TRUE(page.desktopVolume());
  EXPECT_EQ(page.desktopVolume()->name(), QStringLiteral("Home"));
  EXPECT_EQ(page.desktopVolume()->isSystemVolume(), 1);
  EXPECT_EQ(page.selectedRow(), 4);
  EXPECT_EQ(page.nameImage(4), QStringLiteral("icon_disk_osx"));
  EXPECT_EQ(owner.rows.back(), page.desktopVolume());
  page.chooseRow(0);
  EXPECT_EQ(page.isSelectDesktop(), 1);
  page.scanButtonAction();
  EXPECT_EQ(owner.rows.back(), page.desktopVolume());
  EXPECT_EQ(owner.scans, (std::vector<int>{1}));
}

TEST_F(DiskPage, RefreshDuringAScanKeepsTheScanAndTriesAgainLater) {
  if (testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\" command -v mkfs.vfat >/dev/null") != 0)
    QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat missing";
  testsupport::TempDir dir;
  const std::string image = dir.File("busy.img");
  ASSERT_EQ(testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; mkfs.vfat -F 32 -C '" + image + "' 524288 >/dev/null"),
            0);
  bridge_qt::QtBridge bridge;
  QVUIController::Init();
  ASSERT_TRUE(QVUIController::WaitForJobs(20000));
  std::string why;
  const int index = QVUIDeviceData::instance()->QVOpenImageFile(image, why);
  ASSERT_GE(index, 0) << why;
  QVSelectDiskViewController::setRefreshRetryMs(50);
  show({});
  _DiskVolumeData whole;
  whole.diskIndex = index;
  whole.volumeIndex = -1;
  ASSERT_TRUE(QVUIController::DoDeepScanWithData(&whole, "NormalScranValue", nullptr));
  QVUIController::PauseOrResumeScan();  // held while the page refreshes
  QSignalSpy shown(&page, &QVSelectDiskViewController::listShown);
  ui::NotificationCenter::defaultCenter().post(QStringLiteral("RefreshAttachDevice"), QVariantList{});
  EXPECT_TRUE(page.refreshPending());
  ASSERT_TRUE(testsupport::RunEventsUntil([&] { return shown.count() > 0; }, 5000));
  EXPECT_TRUE(QVUIController::IsScanRunning());
  EXPECT_TRUE(QVUIController::IsPause());
  // The opened image is listed all the same.
  bool listed = false;
  for (int r = 0; r < page.outlineView()->numberOfRows(); ++r)
    listed |= page.cellText(r, QVSelectDiskViewController::ColName) == QStringLiteral("busy.img");
  EXPECT_TRUE(listed);
  // Once the scan is over, the next try enumerates.
  QVUIController::StopScan(1);
  QVUIController::PauseOrResumeScan();
  ASSERT_TRUE(QVUIController::WaitForJobs(60000));
  EXPECT_TRUE(testsupport::RunEventsUntil([&] { return !page.refreshPending(); }, 5000));
  page.disableRefreshDevice();
  QVSelectDiskViewController::setRefreshRetryMs(1000);
}

}  // namespace
