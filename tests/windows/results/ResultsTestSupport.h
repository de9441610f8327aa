#pragma once
// Helpers of the results window's tests: a FAT16 image made with the real
// tools, the bridge set up as the program does, and ways to reach rows.

#include <gtest/gtest.h>

#include <QModelIndex>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "bridge/QVUIDeviceData.h"
#include "support/TempDir.h"
#include "ui/toolkit/Modal.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/windows/CommOutlineView.h"
#include "ui/windows/FileListModel.h"

namespace windows {
class QVDeletailWindowController;
}

namespace resultstest {

bool HaveFatTools();

// Photos/holiday.jpg (a picture painted with Qt) and Old/letter.txt, both
// deleted, on a 32 MiB FAT16 volume; the image file is `totalBytes` long
// (zeros after the volume) when that is larger.
struct FatImage {
  std::string path;
  qint64 jpegSize = 0;
  qint64 textSize = 0;
  std::string text;  // the text file's contents
};
bool MakeFatImage(const testsupport::TempDir& dir, FatImage& image, qint64 totalBytes = 0);
// Writes copies of the picture into the image at these MiB offsets (past
// the volume): a whole-disk sweep carves them as it passes.
bool AddPictureCopies(const testsupport::TempDir& dir, const FatImage& image, const std::vector<int>& mibOffsets);

// While it lives, the scan's clock moves two seconds at every reading, so
// every update of a running scan is posted to the window (not one per two
// seconds): the rows found show at once. The real clock comes back after.
class EveryUpdatePosted {
 public:
  EveryUpdatePosted();
  ~EveryUpdatePosted();
  EveryUpdatePosted(const EveryUpdatePosted&) = delete;
  EveryUpdatePosted& operator=(const EveryUpdatePosted&) = delete;
};

// The bridge with its Qt side and one opened image; jobs stop and the trees
// are let go at the end.
class BridgeSession {
 public:
  BridgeSession();
  ~BridgeSession();
  bool open(const std::string& image);
  const _DiskVolumeData& volume() const { return volume_; }
  const _DiskVolumeData& disk() const { return disk_; }

 private:
  bridge_qt::QtBridge bridge_;
  _DiskVolumeData volume_;
  _DiskVolumeData disk_;
};

// Shows `window` over a disk or volume row and starts its scan (1 quick, 2
// deep) as the disk page does; false when the scan did not start.
bool StartScan(windows::QVDeletailWindowController& window, const _DiskVolumeData& row, int kind);

// Runs the event loop until the scan has ended and the window showed its end.
bool WaitForScanEnd(windows::QVDeletailWindowController& window, int timeoutMs = 120000);
// Runs the event loop until no search runs and its end was handled.
bool WaitForSearch(int ms = 60000);

// A row of the outline whose text is `label`, reading levels as needed.
QModelIndex FindRow(windows::CommOutlineView& outline, const QString& label);
std::vector<QString> RootLabels(windows::CommOutlineView& outline);
// The sum of the "(n)" counts at the end of the labels.
unsigned long long SumOfCounts(const std::vector<QString>& labels);
// The first row without rows below it (a month or an extension group).
QModelIndex FirstLeafGroup(windows::CommOutlineView& outline);
// Chooses rows of the shown outline until one lists files; that row.
QModelIndex FolderWithFiles(windows::QVDeletailWindowController& window);
// The first row of the list that is a file, or -1.
int FirstFileRow(const windows::FileListModel& list);
int FindListRow(const windows::FileListModel& list, const QString& nameContains);
// Clicks the check box of a list row as the mouse does.
void ClickCheckBox(windows::QVDeletailWindowController& window, int row);
// Clicks the check box of an outline row as the mouse does.
void ClickTreeCheckBox(windows::CommOutlineView& outline, const QModelIndex& index);

// A test of one results window over the FAT image, opened through the
// bridge, with every question answered by a script; the window goes first
// at the end, then the bridge's trees.
class ResultsWindowTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // Makes the image (see MakeFatImage and AddPictureCopies) and opens it.
  void OpenImage(qint64 totalBytes = 0, const std::vector<int>& pictureCopiesMib = {});
  // A new window in window_ scanning `row` (see StartScan).
  bool StartWindow(const _DiskVolumeData& row, int kind);

  testsupport::TempDir dir_;
  FatImage image_;
  std::unique_ptr<BridgeSession> session_;
  std::unique_ptr<windows::QVDeletailWindowController> window_;
  ui::ScriptedModalRunner runner_;
  ui::ScopedModalRunner scoped_{runner_};
};

}  // namespace resultstest
