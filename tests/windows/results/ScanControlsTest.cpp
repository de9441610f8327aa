// Pause, continue and stop of a running deep scan in the results window,
// offscreen through the real bridge. The image is 512 MiB: a FAT16 volume
// made with mkfs.vfat and mtools, then zeros (sparse, so it costs no disk)
// with copies of a picture that the whole-disk sweep carves as it passes.
// Every update of the scan is posted to the window, so found files show
// while most of the sweep is still ahead; the steps taken while the scan
// runs unpaused run no event loop, so the scan cannot end between them.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "ResultsTestSupport.h"
#include "bridge/QVUIController.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

// Runs the event loop until `done` or `ms` have passed.

// Longer than the latch of a tree check box (a second click within it is
// dropped); spent while the scan is paused.
void PassCheckBoxLatch() { testsupport::RunEventsFor(300); }

class ResultsScanControls : public ResultsWindowTest {
 protected:
  void SetUp() override {
    if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
    ASSERT_NO_FATAL_FAILURE(OpenImage(512LL << 20, {48, 64, 96, 160, 256, 384, 480}));
    ASSERT_TRUE(StartWindow(session_->disk(), 2));
    ASSERT_EQ(window_->isDeepScan(), 1);
  }

  // Waits for a file in the list of a chosen tree item, then pauses at
  // once: the tree item, or invalid when the scan ended first.
  QModelIndex PauseOnceAFileShows() {
    QVDeletailWindowController& w = *window_;
    QModelIndex folder;
    testsupport::RunEventsUntil(
        [&] {
          if (!QVUIController::IsScanRunning()) return true;
          folder = FolderWithFiles(w);
          return folder.isValid() && FirstFileRow(*w.fileList()) >= 0;
        },
        300000);
    if (!QVUIController::IsScanRunning() || !folder.isValid()) return {};
    w.pauseButtonClick();
    return folder;
  }

  EveryUpdatePosted posted_;
};

TEST_F(ResultsScanControls, PauseContinueAndStopOfADeepScan) {
  QVDeletailWindowController& w = *window_;
  const QModelIndex folder = PauseOnceAFileShows();
  ASSERT_TRUE(folder.isValid()) << "the scan ended before a file was shown";
  ASSERT_TRUE(QVUIController::IsPause());
  EXPECT_EQ(w.isPause(), 1);
  EXPECT_TRUE(w.continueScanButton()->isVisible());
  EXPECT_FALSE(w.pauseButton()->isVisible());
  EXPECT_TRUE(w.segment()->isEnabled());
  EXPECT_TRUE(w.search()->isEnabled());

  // Paused: a tick of a tree item and one of a list row are taken.
  windows::CommOutlineView& tree = *w.outline(w.selectTypeCount());
  const QModelIndex item = FolderWithFiles(w);
  ASSERT_TRUE(item.isValid());
  ClickTreeCheckBox(tree, item);
  EXPECT_EQ(tree.resultModel()->state(item), 2);
  int row = FirstFileRow(*w.fileList());
  ASSERT_GE(row, 0);
  EXPECT_EQ(OpNodeData::fileNodeState(w.fileList()->node(row)), 2);
  PassCheckBoxLatch();
  ClickTreeCheckBox(tree, item);
  EXPECT_EQ(tree.resultModel()->state(item), 0);
  PassCheckBoxLatch();
  row = FirstFileRow(*w.fileList());
  ASSERT_GE(row, 0);
  IFileNode* node = w.fileList()->node(row);
  ClickCheckBox(w, row);
  EXPECT_EQ(OpNodeData::fileNodeState(node), 2);
  EXPECT_TRUE(w.recovertyButton()->isEnabled());

  // Stop, then "no", while the user had paused: the scan stays paused.
  runner_.alertAnswers = {0};
  w.stopButtonClick();
  ASSERT_EQ(runner_.alerts.size(), 1u);
  EXPECT_TRUE(QVUIController::IsScanRunning());
  EXPECT_TRUE(QVUIController::IsPause());
  EXPECT_EQ(w.isPause(), 1);
  EXPECT_FALSE(w.stopRequested());
  PassCheckBoxLatch();
  ASSERT_TRUE(QVUIController::IsPause());

  // Continue: the ticks are let go; ticks of the tree and of the list, the
  // view switch and the search are refused while the scan runs.
  w.pauseButtonClick();
  EXPECT_FALSE(QVUIController::IsPause());
  EXPECT_EQ(w.isPause(), 0);
  EXPECT_TRUE(w.pauseButton()->isVisible());
  EXPECT_FALSE(w.continueScanButton()->isVisible());
  EXPECT_FALSE(w.segment()->isEnabled());
  EXPECT_FALSE(w.search()->isEnabled());
  EXPECT_FALSE(w.recovertyButton()->isEnabled());
  EXPECT_EQ(OpNodeData::fileNodeState(node), 0);
  const QModelIndex shown = tree.model()->index(0, 0);
  ASSERT_TRUE(shown.isValid());
  ClickTreeCheckBox(tree, shown);
  EXPECT_EQ(tree.resultModel()->state(shown), 0);
  const int listed = FirstFileRow(*w.fileList());
  if (listed >= 0) {
    ClickCheckBox(w, listed);
    EXPECT_EQ(OpNodeData::fileNodeState(w.fileList()->node(listed)), 0);
  }
  int count = -1;
  std::uint64_t size = 0;
  QVUIController::GetSelectedFilesAmout(count, size);
  EXPECT_EQ(count, 0);

  // Stop, then "no", while the user had not paused: the scan runs on.
  runner_.alertAnswers = {0};
  w.stopButtonClick();
  ASSERT_EQ(runner_.alerts.size(), 2u);
  EXPECT_TRUE(QVUIController::IsScanRunning());
  EXPECT_FALSE(QVUIController::IsPause());
  EXPECT_EQ(w.isCanClick(), 1);

  // Stop, then "yes": the buttons are disabled, a second stop asks
  // nothing, and the scan ends with the trees built from what was found.
  runner_.alertAnswers = {1};
  w.stopButtonClick();
  ASSERT_EQ(runner_.alerts.size(), 3u);
  EXPECT_TRUE(w.stopRequested());
  EXPECT_FALSE(w.stopButton()->isEnabled());
  EXPECT_FALSE(w.pauseButton()->isEnabled());
  EXPECT_FALSE(w.backHomeButton()->isEnabled());
  EXPECT_FALSE(w.search()->isEnabled());
  EXPECT_EQ(w.isPause(), 0);
  w.stopButtonClick();
  EXPECT_EQ(runner_.alerts.size(), 3u);
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
  EXPECT_EQ(runner_.alerts.size(), 3u);
}

// Stopped while the user has it paused: the paused engine is let go and
// the scan ends with the trees built; no job is left behind.
TEST_F(ResultsScanControls, StopWhilePausedEndsWithTheTreesBuilt) {
  QVDeletailWindowController& w = *window_;
  ASSERT_TRUE(PauseOnceAFileShows().isValid()) << "the scan ended before a file was shown";
  ASSERT_TRUE(QVUIController::IsPause());
  runner_.alertAnswers = {1};
  w.stopButtonClick();
  ASSERT_EQ(runner_.alerts.size(), 1u);
  EXPECT_TRUE(w.stopRequested());
  EXPECT_EQ(w.isPause(), 0);
  EXPECT_FALSE(w.continueScanButton()->isEnabled());
  ASSERT_TRUE(WaitForScanEnd(w));
  EXPECT_TRUE(QVUIController::WaitForJobs(30000));
  EXPECT_FALSE(RootLabels(*w.outline(0)).empty());
  EXPECT_TRUE(FolderWithFiles(w).isValid());
  EXPECT_GE(FirstFileRow(*w.fileList()), 0);
  EXPECT_TRUE(w.search()->isEnabled());
  EXPECT_FALSE(w.pauseButton()->isVisible());
  EXPECT_FALSE(w.continueScanButton()->isVisible());
  EXPECT_EQ(runner_.alerts.size(), 1u);
}

}  // namespace
