// A deep scan started from the results window after a quick scan of a
// FAT16 image made here with mkfs.vfat and mtools, offscreen through the
// real bridge: the trees are emptied, the deep scan runs on the same device
// and ends with its own trees. The first image is 512 MiB (the volume,
// then zeros).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <condition_variable>
#include <mutex>

#include "ResultsTestSupport.h"
#include "bridge/JobThreads.h"
#include "bridge/QVUIController.h"
#include "support/Absent.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

TEST(ResultsDeepScanButton, ClearsTheTreesAndRunsADeepScanOfTheSameDevice) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeFatImage(dir, image, 512LL << 20));
  BridgeSession session;
  ASSERT_TRUE(session.open(image.path));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QVDeletailWindowController w;
  ASSERT_TRUE(StartScan(w, session.volume(), 1));
  ASSERT_TRUE(WaitForScanEnd(w));
  ASSERT_EQ(w.isDeepScan(), 0);
  ASSERT_TRUE(w.advButton()->isEnabled());
  ASSERT_TRUE(w.advButton()->isVisible());
  ASSERT_TRUE(FolderWithFiles(w).isValid());
  const int row = FirstFileRow(*w.fileList());
  ASSERT_GE(row, 0);
  ClickCheckBox(w, row);
  ASSERT_EQ(OpNodeData::fileNodeState(w.fileList()->node(row)), 2);

  w.advButton()->click();
  EXPECT_EQ(w.isDeepScan(), 1);
  EXPECT_TRUE(RootLabels(*w.outline(0)).empty());
  EXPECT_EQ(w.fileList()->rowCount(), 0);
  EXPECT_TRUE(w.advButton()->isHidden());
  EXPECT_FALSE(w.scanEnded());
  EXPECT_FALSE(w.recovertyButton()->isEnabled());
  EXPECT_FALSE(w.backHomeButton()->isEnabled());
  // A second click before the scan starts does nothing more.
  w.deepSrcanButtonAction();

  QElapsedTimer t;
  t.start();
  while (!QVUIController::IsScanRunning() && !w.scanEnded() && t.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(QVUIController::IsDeepScan());
  EXPECT_FALSE(w.search()->isEnabled());
  ASSERT_TRUE(WaitForScanEnd(w));
  EXPECT_EQ(w.isDeepScan(), 1);
  EXPECT_FALSE(RootLabels(*w.outline(0)).empty());
  EXPECT_TRUE(FolderWithFiles(w).isValid());
  EXPECT_GE(FirstFileRow(*w.fileList()), 0);
  EXPECT_FALSE(w.advButton()->isEnabled());
  EXPECT_TRUE(w.advButton()->isHidden());
  EXPECT_TRUE(w.search()->isEnabled());
  int count = -1;
  std::uint64_t size = 0;
  QVUIController::GetSelectedFilesAmout(count, size);
  EXPECT_EQ(count, 0);
}

// Another job of the bridge that runs until released (as a save of the
// result would).
class HeldJob {
 public:
  bool start() {
    return bridge::JobRegistry::instance().Start("held", [this] {
      std::unique_lock<std::mutex> hold(mutex_);
      changed_.wait(hold, [this] { return released_; });
    });
  }
  void release() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      released_ = true;
    }
    changed_.notify_all();
    bridge::JobRegistry::instance().WaitIdle("held", std::chrono::seconds(30));
  }
  ~HeldJob() { release(); }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
};

TEST(ResultsDeepScanButton, RefusedDeepScanIsShownAndTheQuickScansResultStays) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeFatImage(dir, image));
  BridgeSession session;
  ASSERT_TRUE(session.open(image.path));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QVDeletailWindowController w;
  ASSERT_TRUE(StartScan(w, session.volume(), 1));
  ASSERT_TRUE(WaitForScanEnd(w));
  const std::vector<QString> roots = RootLabels(*w.outline(0));
  ASSERT_FALSE(roots.empty());
  w.segmentSelect(1);

  // While a search runs (until the window has handled its end) the button
  // does nothing.
  w.search()->setText(QStringLiteral("olida"));
  ASSERT_NE(QVUIController::QVGetIsSearching(), 0);
  w.advButton()->click();
  EXPECT_EQ(w.isDeepScan(), 0);
  EXPECT_TRUE(w.scanEnded());
  QElapsedTimer s;
  s.start();
  while ((QVUIController::QVGetIsSearching() != 0 || s.elapsed() < 400) && s.elapsed() < 30000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_FALSE(QVUIController::IsScanRunning());
  EXPECT_EQ(w.fileList()->rowCount(), 1);
  w.search()->clear();
  while (QVUIController::QVGetIsSearching() != 0 && s.elapsed() < 30000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_EQ(RootLabels(*w.outline(0)), roots);

  HeldJob held;
  ASSERT_TRUE(held.start());
  w.advButton()->click();
  EXPECT_TRUE(RootLabels(*w.outline(0)).empty());
  QElapsedTimer t;
  t.start();
  while (runner.alerts.empty() && t.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_EQ(runner.alerts.size(), 1u);
  EXPECT_EQ(runner.alerts[0].message, ui::Strings::text(QStringLiteral("NQT_FOUR_DEEPSCAN_REFUSED_TITLE")));
  EXPECT_FALSE(runner.alerts[0].message.isEmpty());
  EXPECT_FALSE(QVUIController::IsScanRunning());
  EXPECT_FALSE(QVUIController::IsDeepScan());
  EXPECT_EQ(w.isDeepScan(), 0);
  // The quick scan's result again, on the list, with its end-of-scan bar.
  EXPECT_EQ(RootLabels(*w.outline(0)), roots);
  EXPECT_TRUE(FolderWithFiles(w).isValid());
  EXPECT_GE(FirstFileRow(*w.fileList()), 0);
  EXPECT_EQ(w.selectSegmentCount(), 0);
  EXPECT_TRUE(w.scanEnded());
  EXPECT_TRUE(w.advButton()->isVisible());
  EXPECT_TRUE(w.advButton()->isEnabled());
  EXPECT_TRUE(w.recovertyButton()->isVisible());
  EXPECT_FALSE(w.pauseButton()->isVisible());
  EXPECT_TRUE(w.search()->isEnabled());
  EXPECT_TRUE(w.segment()->isEnabled());
  EXPECT_TRUE(w.backHomeButton()->isEnabled());

  // Once the other job has ended, the button starts the deep scan.
  held.release();
  w.advButton()->click();
  t.restart();
  while (!QVUIController::IsScanRunning() && !w.scanEnded() && t.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(QVUIController::IsDeepScan());
  ASSERT_TRUE(WaitForScanEnd(w));
  EXPECT_EQ(runner.alerts.size(), 1u);
  EXPECT_EQ(w.isDeepScan(), 1);
  EXPECT_FALSE(RootLabels(*w.outline(0)).empty());
}

}  // namespace
