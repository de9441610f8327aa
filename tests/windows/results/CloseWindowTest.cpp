// Closing the results window, offscreen through the real bridge, on FAT16
// images made here with mkfs.vfat and mtools: during a deep scan (asked
// first; after "yes" the window stays until the scan has ended, then goes
// and the program is told to quit, with no job left), between the
// deep-scan button and the start of its scan (no scan starts), and while a
// search runs (the close button is off until the search has ended).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>

#include "ResultsTestSupport.h"
#include "bridge/JobThreads.h"
#include "bridge/QVResultTrees.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

bool closeButtonEnabled(const QVDeletailWindowController& w) {
  return w.standardWindowButton(ui::TCWindowButton::Close)->isEnabled();
}

bool bridgeFillsTreesOf(const QVDeletailWindowController* w) {
  autolocker<mutex_locker> hold(QVTreeLocker());
  return w != nullptr && bridge::RegisteredTreesLocked().path == &w->allDiskArr();
}

class ResultsCloseWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
    ui::NotificationCenter::defaultCenter().addObserver(&quitter_, QStringLiteral("appWillTerminate"),
                                                        [this](const ui::Notification&) { ++quits_; });
  }
  void TearDown() override { ui::NotificationCenter::defaultCenter().removeObserver(&quitter_); }

  testsupport::TempDir dir_;
  FatImage image_;
  ui::ScriptedModalRunner runner_;
  ui::ScopedModalRunner scoped_{runner_};
  QObject quitter_;
  int quits_ = 0;
};

TEST_F(ResultsCloseWindow, DuringADeepScanAsksThenGoesOnceTheScanHasEnded) {
  ASSERT_TRUE(MakeFatImage(dir_, image_, 512LL << 20));
  BridgeSession session;
  ASSERT_TRUE(session.open(image_.path));
  auto* window = new QVDeletailWindowController;
  window->setAttribute(Qt::WA_DeleteOnClose, true);
  QPointer<QVDeletailWindowController> w(window);
  ASSERT_TRUE(StartScan(*w, session.disk(), 2));
  ASSERT_TRUE(QVUIController::IsScanRunning());
  ASSERT_TRUE(QVUIController::IsDeepScan());

  // "No": the scan runs on (the user had not paused it).
  runner_.alertAnswers = {0};
  w->closeWindow();
  ASSERT_EQ(runner_.alerts.size(), 1u);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->isCloseWindow(), 0);
  EXPECT_TRUE(QVUIController::IsScanRunning());
  EXPECT_FALSE(QVUIController::IsPause());

  // "Yes": the scan is asked to stop; the window stays until its end.
  runner_.alertAnswers = {1};
  w->closeWindow();
  ASSERT_EQ(runner_.alerts.size(), 2u);
  EXPECT_EQ(w->isCloseWindow(), 1);
  EXPECT_FALSE(w->pauseButton()->isEnabled());
  EXPECT_FALSE(w->stopButton()->isEnabled());
  EXPECT_FALSE(w->backHomeButton()->isEnabled());
  // A second click, and a close from the window system, change nothing.
  w->closeWindow();
  EXPECT_EQ(runner_.alerts.size(), 2u);
  if (!w->scanEnded()) {
    w->close();
    QCoreApplication::processEvents();
    ASSERT_FALSE(w.isNull());
    EXPECT_TRUE(bridgeFillsTreesOf(w));
  }

  ASSERT_TRUE(testsupport::RunEventsUntil([&] { return quits_ > 0; }, 120000));
  EXPECT_EQ(quits_, 1);
  ASSERT_FALSE(w.isNull());
  EXPECT_TRUE(w->isHidden());
  EXPECT_TRUE(w->scanEnded());
  EXPECT_FALSE(QVUIController::IsScanRunning());
  EXPECT_TRUE(QVUIController::WaitForJobs(30000));
  EXPECT_EQ(bridge::JobRegistry::instance().Alive(), 0);
  // Now it goes for good, and the bridge no longer fills its trees.
  w->close();
  ASSERT_TRUE(testsupport::RunEventsUntil(
      [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return w.isNull();
      },
      5000));
  EXPECT_FALSE(bridgeFillsTreesOf(w));
  EXPECT_EQ(quits_, 1);
}

TEST_F(ResultsCloseWindow, BetweenTheDeepScanButtonAndItsStartNoScanStarts) {
  ASSERT_TRUE(MakeFatImage(dir_, image_));
  BridgeSession session;
  ASSERT_TRUE(session.open(image_.path));
  QVDeletailWindowController w;
  ASSERT_TRUE(StartScan(w, session.volume(), 1));
  ASSERT_TRUE(WaitForScanEnd(w));
  ASSERT_TRUE(w.advButton()->isEnabled());
  w.advButton()->click();
  ASSERT_FALSE(QVUIController::IsScanRunning());
  w.closeWindow();
  EXPECT_TRUE(w.isHidden());
  EXPECT_EQ(quits_, 1);
  // Well past the moment the deep scan would have started.
  testsupport::RunEventsFor(600);
  EXPECT_FALSE(QVUIController::IsScanRunning());
  EXPECT_EQ(bridge::JobRegistry::instance().Alive(), 0);
  EXPECT_TRUE(runner_.alerts.empty());
}

TEST_F(ResultsCloseWindow, CloseButtonIsOffWhileASearchRuns) {
  ASSERT_TRUE(MakeFatImage(dir_, image_));
  BridgeSession session;
  ASSERT_TRUE(session.open(image_.path));
  QVDeletailWindowController w;
  ASSERT_TRUE(StartScan(w, session.volume(), 1));
  ASSERT_TRUE(WaitForScanEnd(w));
  ASSERT_TRUE(closeButtonEnabled(w));

  // The search's end reaches the window through its event loop: until
  // then the search runs as far as the window knows.
  w.search()->setText(QStringLiteral("olida"));
  ASSERT_NE(QVUIController::QVGetIsSearching(), 0);
  EXPECT_FALSE(closeButtonEnabled(w));
  w.closeWindow();
  w.close();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(quits_, 0);
  EXPECT_TRUE(runner_.alerts.empty());

  ASSERT_TRUE(testsupport::RunEventsUntil([] { return QVUIController::QVGetIsSearching() == 0; }, 60000));
  QCoreApplication::processEvents();
  EXPECT_TRUE(closeButtonEnabled(w));
  ASSERT_EQ(w.fileList()->rowCount(), 1);
  EXPECT_EQ(w.fileList()->record(0).name.mid(1), QStringLiteral("oliday.jpg"));

  w.standardWindowButton(ui::TCWindowButton::Close)->click();
  EXPECT_TRUE(w.isHidden());
  EXPECT_EQ(quits_, 1);
  EXPECT_TRUE(runner_.alerts.empty());
}

}  // namespace
