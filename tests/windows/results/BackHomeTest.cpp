// Back home from the results window, offscreen through the real bridge, on
// FAT16 images made here with mkfs.vfat and mtools: during a deep scan (a
// question first, then home once the scan has ended, never a save
// question), after a quick scan (the save question, once per click), during
// a search (the window goes, the search ends alone), and
// the whole road through the application delegate to a new main window.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QTest>

#include "ResultsTestSupport.h"
#include "app/shell/QVAppDelegate.h"
#include "bridge/QVUIController.h"
#include "support/Absent.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVProgressWindow.h"
#include "ui/windows/QVPublicUtilities.h"
#include "windows/recovery/RecoveryTestSupport.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

QString text(const char* key) { return ui::Strings::text(QString::fromLatin1(key)); }

// "PrivateData" of this test only: no shipped file, the overlay in `dir`.
class PrivateDataHere {
 public:
  explicit PrivateDataHere(const testsupport::TempDir& dir) {
    windows::QVPublicUtilities::setPrivateDataFiles({}, dir.File("config/PrivateData.plist"));
  }
  ~PrivateDataHere() { windows::QVPublicUtilities::resetPrivateDataFiles(); }
};

TEST(ResultsBackHome, DuringADeepScanAsksThenGoesHomeOnceTheScanHasEnded) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeFatImage(dir, image, 512LL << 20));
  PrivateDataHere data(dir);
  BridgeSession session;
  ASSERT_TRUE(session.open(image.path));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QVDeletailWindowController w;
  int home = 0;
  QObject::connect(&w, &QVDeletailWindowController::backHomeRequested, [&] { ++home; });
  ASSERT_TRUE(StartScan(w, session.disk(), 2));

  // Not paused by the user: the scan is paused while asking, "no" lets it run on.
  runner.alertAnswers = {0};
  w.backButtonAction();
  ASSERT_EQ(runner.alerts.size(), 1u);
  EXPECT_EQ(runner.alerts[0].message, text("NQT_FOUR_SCAN_BACKHOME_TITLE"));
  EXPECT_EQ(runner.alerts[0].defaultButton, text("NQT_FOUR_SCAN_BACKHOME_YES_BUTTON"));
  if (QVUIController::IsScanRunning()) {
    EXPECT_FALSE(QVUIController::IsPause());
  }
  EXPECT_EQ(home, 0);
  EXPECT_EQ(w.isCanClick(), 1);
  ASSERT_TRUE(QVUIController::IsScanRunning()) << "the scan ended before the questions";

  // Paused by the user: "no" leaves it paused.
  w.pauseButtonClick();
  ASSERT_EQ(w.isPause(), 1);
  runner.alertAnswers = {0};
  w.backButtonAction();
  ASSERT_EQ(runner.alerts.size(), 2u);
  EXPECT_TRUE(QVUIController::IsPause());
  EXPECT_EQ(w.isPause(), 1);
  EXPECT_TRUE(w.isVisible());

  // "Yes": the scan stops; further clicks ask nothing.
  runner.alertAnswers = {1};
  w.backButtonAction();
  ASSERT_EQ(runner.alerts.size(), 3u);
  EXPECT_EQ(w.isSelectBackHome(), 1);
  EXPECT_EQ(w.isPause(), 0);
  EXPECT_FALSE(w.backHomeButton()->isEnabled());
  EXPECT_FALSE(w.stopButton()->isEnabled());
  EXPECT_FALSE(w.pauseButton()->isEnabled());
  w.backButtonAction();
  w.stopButtonClick();
  EXPECT_EQ(runner.alerts.size(), 3u);

  // The end of the scan goes home, once, without the save question.
  ASSERT_TRUE(WaitForScanEnd(w));
  EXPECT_EQ(home, 1);
  EXPECT_EQ(w.isBackHome(), 1);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(runner.alerts.size(), 3u);
  EXPECT_EQ(w.fileList()->rowCount(), 0);
  w.getScanProgress();
  w.backButtonAction();
  w.doBackHomeAction(1);
  QCoreApplication::processEvents();
  EXPECT_EQ(home, 1);
  EXPECT_EQ(runner.alerts.size(), 3u);
}

TEST(ResultsBackHome, AnUnsavedResultIsOfferedForSavingOncePerClick) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeFatImage(dir, image));
  PrivateDataHere data(dir);
  QSettings().remove(QStringLiteral("searchRecent"));
  BridgeSession session;
  ASSERT_TRUE(session.open(image.path));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QVDeletailWindowController w;
  int home = 0;
  QObject::connect(&w, &QVDeletailWindowController::backHomeRequested, [&] { ++home; });
  ASSERT_TRUE(StartScan(w, session.volume(), 1));
  ASSERT_TRUE(WaitForScanEnd(w));
  w.search()->setText(QStringLiteral("olida"));
  emit w.search()->returnPressed();
  ASSERT_TRUE(WaitForSearch());
  ASSERT_TRUE(w.backHomeButton()->isEnabled());

  // "Stay here".
  runner.alertAnswers = {0};
  QTest::mouseClick(w.backHomeButton(), Qt::LeftButton);
  ASSERT_EQ(runner.alerts.size(), 1u);
  EXPECT_EQ(runner.alerts[0].message, text("NQT_FOUR_HOME_SAVE_TITLE"));
  EXPECT_EQ(runner.alerts[0].otherButton, text("NQT_FOUR_HOME_SAVE_NO_BUTTON"));
  EXPECT_EQ(home, 0);
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.isBackHome(), 0);

  // "Save", then the save panel cancelled: the result stays, and so does the user.
  runner.alertAnswers = {1};
  QTest::mouseClick(w.backHomeButton(), Qt::LeftButton);
  ASSERT_EQ(runner.alerts.size(), 2u);
  EXPECT_EQ(runner.fileQuestions.size(), 1u);
  EXPECT_EQ(w.bSave(), 0);
  EXPECT_EQ(home, 0);
  EXPECT_TRUE(w.isVisible());

  // "Don't save": home once; the recent searches go into "PrivateData".
  runner.alertAnswers = {-1};
  QTest::mouseClick(w.backHomeButton(), Qt::LeftButton);
  ASSERT_EQ(runner.alerts.size(), 3u);
  EXPECT_EQ(home, 1);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(windows::QVPublicUtilities::privateStrings(QStringLiteral("SearchHistory")),
            QStringList{QStringLiteral("olida")});
  w.backButtonAction();
  w.doBackHomeAction(1);
  EXPECT_EQ(home, 1);
  EXPECT_EQ(runner.alerts.size(), 3u);
  QSettings().remove(QStringLiteral("searchRecent"));
}

// Home while a search rebuilds the trees: the window goes at once, once,
// and the search, left to itself, ends without reading the window.
TEST(ResultsBackHome, DuringASearchTheWindowGoesAndTheSearchEndsAlone) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeFatImage(dir, image));
  PrivateDataHere data(dir);
  QSettings().remove(QStringLiteral("searchRecent"));
  BridgeSession session;
  ASSERT_TRUE(session.open(image.path));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QVDeletailWindowController w;
  int home = 0;
  QObject::connect(&w, &QVDeletailWindowController::backHomeRequested, [&] { ++home; });
  ASSERT_TRUE(StartScan(w, session.disk(), 2));
  ASSERT_TRUE(WaitForScanEnd(w));

  w.search()->setText(QStringLiteral("olida"));
  emit w.search()->returnPressed();
  runner.alertAnswers = {-1};
  w.backButtonAction();
  EXPECT_EQ(home, 1);
  EXPECT_FALSE(w.isVisible());
  EXPECT_LE(runner.alerts.size(), 1u);
  ASSERT_TRUE(WaitForSearch());
  QCoreApplication::processEvents();
  EXPECT_EQ(home, 1);
  EXPECT_EQ(w.fileList()->rowCount(), 0);
  QSettings().remove(QStringLiteral("searchRecent"));
}

// From the delegate's main window to a quick scan, back home with the
// result saved, to a new main window on its first page, and a scan again.
TEST(ResultsBackHome, SavedThenANewMainWindowTakesOverAndScansAgain) {
  if (!recoverytest::HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  std::string image;
  ASSERT_TRUE(recoverytest::MakeFat16(dir, "stick.img", 32, {{"Photos", "holiday.jpg", "JPEG-ish bytes"}}, image));
  PrivateDataHere data(dir);
  windows::QVPublicUtilities::writeUpDataTimeStr(QStringLiteral("2026-12-10 00:00:00"));
  bridge_qt::QtBridge bridge;
  recoverytest::DeviceListForTests devices;
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  int progressWindows = 0;
  runner.onModal = [&](QWidget* w) {
    if (qobject_cast<windows::QVProgressWindow*>(w) != nullptr) {
      ++progressWindows;
      recoverytest::WaitFor([&] { return !runner.isModalRunning(w); });
    }
  };
  shell::QVAppDelegate::Options options;
  options.mediaMonitor = false;
  options.terminate = [] {};
  options.now = [] {
    return QDateTime::fromString(QStringLiteral("2026-12-10 01:00:00"), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  };
  shell::QVAppDelegate delegate(options);
  delegate.applicationDidFinishLaunching();
  ASSERT_TRUE(recoverytest::WaitFor([&] { return delegate.rootWindowCon() != nullptr; }));
  QPointer<windows::QVRootWindowController> first = delegate.rootWindowCon();
  QPointer<QVDeletailWindowController> results = recoverytest::ScanImageThroughMainWindow(*first, runner, image);
  ASSERT_FALSE(results.isNull());

  const QString file = QString::fromStdString(dir.File("stick.Quarnel"));
  runner.alertAnswers = {1};
  runner.fileAnswers.push_back(file);
  QTest::mouseClick(results->backHomeButton(), Qt::LeftButton);
  ASSERT_EQ(runner.alerts.size(), 1u);
  EXPECT_EQ(progressWindows, 1);
  EXPECT_TRUE(QFileInfo::exists(file));
  ASSERT_TRUE(recoverytest::WaitFor([&] {
    // (Deferred deletions wait for an event loop; the test runs none.)
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return first.isNull() && results.isNull() && delegate.rootWindowCon() != nullptr &&
           delegate.rootWindowCon()->isVisible();
  }));
  windows::QVRootWindowController& again = *delegate.rootWindowCon();
  EXPECT_EQ(again.whichPage(), windows::QVRootWindowController::CategoryPage);
  ASSERT_NE(delegate.menuButton(), nullptr);
  EXPECT_EQ(delegate.menuButton()->parentWidget(), again.titleBarView());
  EXPECT_EQ(runner.alerts.size(), 1u);

  // The device list was read again and the image is still there to scan.
  QVDeletailWindowController* second = recoverytest::ScanImageThroughMainWindow(again, runner, image);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(RootLabels(*second->outline(0)).empty());
  QVUIController::WaitForJobs(30000);
}

}  // namespace
