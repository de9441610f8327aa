// Pause, continue and stop of a running deep scan in the results window,
// offscreen through the real bridge. The image is a FAT16 volume made with
// mkfs.vfat and mtools followed by zeros up to 8 GiB (sparse, so it costs
// no disk), with copies of a picture from 512 MiB on: the whole-disk sweep
// finds them while it runs, which gives the list rows to tick.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "ResultsTestSupport.h"
#include "bridge/QVUIController.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

// Runs the event loop until `done` or `ms` have passed.
template <typename F>
bool RunUntil(F done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

bool MakeSweepImage(const testsupport::TempDir& dir, FatImage& image) {
  if (!MakeFatImage(dir, image, 8LL << 30)) return false;
  for (const char* mib : {"512", "1024", "2048", "3072", "4096", "5120", "6144"}) {
    if (testsupport::Run("dd if='" + dir.File("holiday.jpg") + "' of='" + image.path + "' bs=1M seek=" + mib +
                         " conv=notrunc status=none") != 0)
      return false;
  }
  return true;
}

TEST(ResultsScanControls, PauseContinueAndStopOfADeepScan) {
  if (!HaveFatTools()) GTEST_SKIP() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeSweepImage(dir, image));
  BridgeSession session;
  ASSERT_TRUE(session.open(image.path));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QVDeletailWindowController w;
  w.setSelectDiskVolumeData(session.disk());
  w.setScanTypeNum(2);
  w.show();
  ASSERT_TRUE(w.getData());
  ASSERT_EQ(w.isDeepScan(), 1);

  // Wait for a found file in the list, then pause at once.
  int row = -1;
  ASSERT_TRUE(RunUntil(
      [&] {
        if (!QVUIController::IsScanRunning()) return true;
        if (FolderWithFiles(w).isValid()) row = FirstFileRow(*w.fileList());
        return row >= 0;
      },
      300000));
  ASSERT_TRUE(QVUIController::IsScanRunning()) << "the scan ended before a file was shown";
  w.pauseButtonClick();
  ASSERT_TRUE(QVUIController::IsPause());
  EXPECT_EQ(w.isPause(), 1);
  EXPECT_TRUE(w.continueScanButton()->isVisible());
  EXPECT_FALSE(w.pauseButton()->isVisible());
  EXPECT_TRUE(w.segment()->isEnabled());
  EXPECT_TRUE(w.search()->isEnabled());

  // Paused: a tick is taken.
  row = FirstFileRow(*w.fileList());
  ASSERT_GE(row, 0);
  const QString name = w.fileList()->record(row).name;
  IFileNode* node = w.fileList()->node(row);
  ClickCheckBox(w, row);
  EXPECT_EQ(OpNodeData::fileNodeState(node), 2);
  EXPECT_TRUE(w.recovertyButton()->isEnabled());

  // Stop, then "no", while the user had paused: the scan stays paused.
  runner.alertAnswers = {0};
  w.stopButtonClick();
  ASSERT_EQ(runner.alerts.size(), 1u);
  EXPECT_TRUE(QVUIController::IsScanRunning());
  EXPECT_TRUE(QVUIController::IsPause());
  EXPECT_EQ(w.isPause(), 1);
  EXPECT_FALSE(w.stopRequested());

  // Continue: the ticks are let go, the list is the scan's again, ticks
  // and the search are refused while it runs.
  w.pauseButtonClick();
  EXPECT_FALSE(QVUIController::IsPause());
  EXPECT_EQ(w.isPause(), 0);
  EXPECT_TRUE(w.pauseButton()->isVisible());
  EXPECT_FALSE(w.continueScanButton()->isVisible());
  EXPECT_FALSE(w.segment()->isEnabled());
  EXPECT_FALSE(w.search()->isEnabled());
  EXPECT_FALSE(w.recovertyButton()->isEnabled());
  EXPECT_EQ(OpNodeData::fileNodeState(node), 0);
  RunUntil([] { return false; }, 700);  // the list is read again after half a second
  const int again = FindListRow(*w.fileList(), name);
  const bool stillRunning = QVUIController::IsScanRunning() && !QVUIController::IsPause();
  if (again >= 0) {
    ClickCheckBox(w, again);
    if (stillRunning) {
      EXPECT_EQ(OpNodeData::fileNodeState(w.fileList()->node(again)), 0);
    }
  }
  ASSERT_TRUE(stillRunning) << "the scan ended before the stop questions";

  // Stop, then "no", while the user had not paused: the scan runs on.
  runner.alertAnswers = {0};
  w.stopButtonClick();
  ASSERT_EQ(runner.alerts.size(), 2u);
  EXPECT_TRUE(QVUIController::IsScanRunning());
  EXPECT_FALSE(QVUIController::IsPause());
  EXPECT_EQ(w.isCanClick(), 1);

  // Stop, then "yes": the buttons are disabled, a second stop asks
  // nothing, and the scan ends with the trees built from what was found.
  runner.alertAnswers = {1};
  w.stopButtonClick();
  ASSERT_EQ(runner.alerts.size(), 3u);
  EXPECT_TRUE(w.stopRequested());
  EXPECT_FALSE(w.stopButton()->isEnabled());
  EXPECT_FALSE(w.pauseButton()->isEnabled());
  EXPECT_FALSE(w.backHomeButton()->isEnabled());
  EXPECT_FALSE(w.search()->isEnabled());
  EXPECT_EQ(w.isPause(), 0);
  w.stopButtonClick();
  EXPECT_EQ(runner.alerts.size(), 3u);
  ASSERT_TRUE(WaitForScanEnd(w));
  EXPECT_FALSE(QVUIController::IsScanRunning());
  EXPECT_FALSE(RootLabels(*w.outline(0)).empty());
  EXPECT_FALSE(RootLabels(*w.outline(1)).empty());
  EXPECT_TRUE(FolderWithFiles(w).isValid());
  EXPECT_GE(FirstFileRow(*w.fileList()), 0);
  EXPECT_TRUE(w.search()->isEnabled());
  EXPECT_FALSE(w.timersRunning());
  EXPECT_FALSE(w.advButton()->isEnabled());  // no deep scan offered after a deep scan

  // Ticks are taken after the end.
  const int last = FirstFileRow(*w.fileList());
  ClickCheckBox(w, last);
  EXPECT_EQ(OpNodeData::fileNodeState(w.fileList()->node(last)), 2);

  // Pause after the end is the end of the scan once more; nothing is asked.
  w.pauseButtonClick();
  EXPECT_EQ(w.isPause(), 0);
  EXPECT_TRUE(w.scanEnded());
  w.stopButtonClick();
  EXPECT_EQ(runner.alerts.size(), 3u);
}

}  // namespace
