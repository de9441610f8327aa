// The whole road of a recovery through the windows only, offscreen, over
// FAT16 images made here with mkfs.vfat and mtools: the main window, the
// disk page's "Open image…", the scan, ticks in the path tree, Recover, a
// destination given through the dialog seam, the progress window and the
// finished window; the recovered files compared byte for byte with the
// originals. Also a stop during a recovery and a destination that runs
// full (a 64 KiB tmpfs, as root).

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

#include "RecoveryTestSupport.h"
#include "bridge/QVUIController.h"
#include "support/Absent.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVRootWindowController.h"
#include "ui/windows/QVScanEndSaveWindows.h"
#include "ui/windows/QVShowScanProgressWindowController.h"

namespace {

using namespace recoverytest;
using windows::QVDeletailWindowController;
using windows::QVRootWindowController;
using windows::QVScanEndSaveWindowController;
using windows::QVScanNotEndSaveWindowController;
using windows::QVShowScanProgressWindowController;

// What the modal windows of one recovery showed.
struct Seen {
  int progress = 0;
  int finished = 0;
  int stopped = 0;
  QString finishedPath;
  QString stoppedNote;
  QString stoppedPath;
};

class RecoveryWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
    std::filesystem::create_directories(dest_);
  }
  void TearDown() override {
    QVUIController::StopRecvoery();
    QVUIController::WaitForJobs(60000);
  }

  // The end windows are acknowledged with OK (after a click on the link).
  void acknowledgeEndWindows(QWidget* w) {
    if (auto* f = qobject_cast<QVScanEndSaveWindowController*>(w)) {
      ++seen_.finished;
      seen_.finishedPath = f->savePath();
      QTest::mouseClick(f->savePathLabel(), Qt::LeftButton);
      QTest::mouseClick(f->okButton(), Qt::LeftButton);
    } else if (auto* s = qobject_cast<QVScanNotEndSaveWindowController*>(w)) {
      ++seen_.stopped;
      seen_.stoppedNote = s->showRecoveryNoteLabel()->text();
      seen_.stoppedPath = s->savePath();
      QTest::mouseClick(s->okButton(), Qt::LeftButton);
    }
  }

  testsupport::TempDir dir_;
  std::string dest_ = dir_.File("recovered");
  bridge_qt::QtBridge bridge_;
  DeviceListForTests devices_;
  ui::ScriptedModalRunner runner_;
  ui::ScopedModalRunner scoped_{runner_};
  Seen seen_;
};

TEST_F(RecoveryWindows, TwoDeletedFilesRecoveredThroughTheWindowsAreByteIdentical) {
  const std::vector<Original> originals = {{"Photos", "holiday.jpg", SeededBytes(70000, 7)},
                                           {"Old", "letter.txt", "Dear reader, hello again.\n"}};
  std::string image;
  ASSERT_TRUE(MakeFat16(dir_, "stick.img", 32, originals, image));
  QVRootWindowController root;
  QVDeletailWindowController* results = ScanImageThroughMainWindow(root, runner_, image);
  ASSERT_NE(results, nullptr);
  ASSERT_TRUE(TickInPathTree(*results, QStringLiteral("Photos"), QStringLiteral("oliday.jpg")));
  ASSERT_TRUE(TickInPathTree(*results, QStringLiteral("Old"), QStringLiteral("etter.txt")));
  ASSERT_TRUE(results->recovertyButton()->isEnabled());

  runner_.fileAnswers.push_back(QString::fromStdString(dest_));
  runner_.onModal = [&](QWidget* w) {
    if (qobject_cast<QVShowScanProgressWindowController*>(w) != nullptr) {
      ++seen_.progress;
      // The progress window's session lasts until the recovery ends.
      WaitFor([&] { return !runner_.isModalRunning(w); });
      return;
    }
    acknowledgeEndWindows(w);
  };
  QSignalSpy ended(results->recoveryFlow(), &windows::QVRecoveryFlow::recoveryEnded);
  QTest::mouseClick(results->recovertyButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return ended.count() > 0; }));
  EXPECT_EQ(ended.first().at(0).toBool(), true);
  EXPECT_EQ(seen_.progress, 1);
  EXPECT_EQ(seen_.finished, 1);
  EXPECT_EQ(seen_.stopped, 0);
  EXPECT_TRUE(runner_.alerts.empty());
  ASSERT_EQ(runner_.fileQuestions.size(), 2u);  // the image, then the destination
  EXPECT_TRUE(runner_.fileQuestions[1].startsWith(QStringLiteral("folder|")));
  EXPECT_TRUE(results->recovertyButton()->isEnabled());

  // The link names the destination and opens it.
  EXPECT_EQ(seen_.finishedPath, QString::fromStdString(dest_));
  ASSERT_EQ(runner_.openedUrls.size(), 1u);
  EXPECT_EQ(runner_.openedUrls[0], QUrl::fromLocalFile(QString::fromStdString(dest_)));

  for (const Original& o : originals) {
    const std::vector<std::string> found = FindFiles(dest_, o.name.substr(1));
    ASSERT_EQ(found.size(), 1u) << o.name;
    EXPECT_NE(found[0].find("/" + o.folder + "/"), std::string::npos) << found[0];
    EXPECT_TRUE(testsupport::ReadFileText(found[0]) == o.contents) << found[0];
  }
  EXPECT_EQ(QVUIController::GetRecoveridedFiles(), 2u);
}

// A large file keeps the recovery busy well past its first progress post.
TEST_F(RecoveryWindows, StopDuringARecoveryShowsTheStoppedWindowWithItsCountNeverTheFinishedOne) {
  const std::vector<Original> originals = {{"Video", "film.mov", SeededBytes(200u << 20, 11)}};
  std::string image;
  ASSERT_TRUE(MakeFat16(dir_, "video.img", 256, originals, image));
  QVRootWindowController root;
  QVDeletailWindowController* results = ScanImageThroughMainWindow(root, runner_, image);
  ASSERT_NE(results, nullptr);
  ASSERT_TRUE(TickInPathTree(*results, QStringLiteral("Video"), QStringLiteral("ilm.mov")));

  bool runningWhileAsking = false;
  runner_.fileAnswers.push_back(QString::fromStdString(dest_));
  runner_.onModal = [&](QWidget* w) {
    if (auto* p = qobject_cast<QVShowScanProgressWindowController*>(w)) {
      ++seen_.progress;
      // Stop asks first; the recovery waits meanwhile.
      QTest::mouseClick(p->stopButton(), Qt::LeftButton);
      EXPECT_TRUE(p->warningView()->isVisible());
      EXPECT_FALSE(p->recoveryProgressView()->isVisible());
      runningWhileAsking = QVUIController::IsRecoveryRunning();
      // "No" goes on, stop again, then "yes".
      QTest::mouseClick(p->noButton(), Qt::LeftButton);
      EXPECT_TRUE(p->recoveryProgressView()->isVisible());
      QTest::mouseClick(p->stopButton(), Qt::LeftButton);
      QTest::mouseClick(p->yesButton(), Qt::LeftButton);
      EXPECT_FALSE(runner_.isModalRunning(w));
      return;
    }
    acknowledgeEndWindows(w);
  };
  QSignalSpy ended(results->recoveryFlow(), &windows::QVRecoveryFlow::recoveryEnded);
  QTest::mouseClick(results->recovertyButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return ended.count() > 0; }));
  ASSERT_TRUE(QVUIController::WaitForJobs(60000));
  // Late posts of the stopped recovery change nothing.
  QTest::qWait(400);
  EXPECT_EQ(ended.count(), 1);
  EXPECT_EQ(ended.first().at(0).toBool(), false);
  EXPECT_EQ(seen_.progress, 1);
  EXPECT_TRUE(runningWhileAsking);
  EXPECT_EQ(seen_.stopped, 1);
  EXPECT_EQ(seen_.finished, 0);
  const std::uint64_t written = QVUIController::GetRecoveridedFiles();
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(seen_.stoppedNote, ui::Strings::text(QStringLiteral("NQT_FOUR_RECOVER_NOTEND_NODE")).arg(written));
  EXPECT_EQ(seen_.stoppedPath, QString::fromStdString(dest_));
  // What was written of the stopped file is not presented as whole.
  EXPECT_TRUE(FindFiles(dest_, "ilm.mov").empty());
}

// Unmounts at the end, also on failure.
class TmpfsMount {
 public:
  TmpfsMount(const std::string& where, const std::string& options) : where_(where) {
    mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~TmpfsMount() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string where_;
  bool mounted_ = false;
};

TEST_F(RecoveryWindows, FullDestinationWarnsFirstThenShowsTheNoSpaceViewWhereContinueAndStopAct) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a 64 KiB tmpfs needs root";
  TmpfsMount small(dest_, "size=64k,mode=0755");
  if (!small.mounted()) GTEST_SKIP() << "tmpfs cannot be mounted here (no CAP_SYS_ADMIN in this container)";
  const std::vector<Original> originals = {{"Docs", "scan.pdf", SeededBytes(300000, 3)}};
  std::string image;
  ASSERT_TRUE(MakeFat16(dir_, "docs.img", 32, originals, image));
  QVRootWindowController root;
  QVDeletailWindowController* results = ScanImageThroughMainWindow(root, runner_, image);
  ASSERT_NE(results, nullptr);
  ASSERT_TRUE(TickInPathTree(*results, QStringLiteral("Docs"), QStringLiteral("can.pdf")));

  // The space question first; its default button starts nothing.
  runner_.fileAnswers.push_back(QString::fromStdString(dest_));
  runner_.alertAnswers.push_back(1);
  QTest::mouseClick(results->recovertyButton(), Qt::LeftButton);
  ASSERT_EQ(runner_.alerts.size(), 1u);
  EXPECT_EQ(runner_.alerts[0].message, ui::Strings::text(QStringLiteral("NQT_FOUR_RECOVERY_NO_SPACE_TITLE")));
  EXPECT_EQ(runner_.alerts[0].alternateButton,
            ui::Strings::text(QStringLiteral("NQT_FOUR_RECOVERY_NO_SPACE_NO_BUTTON")));
  EXPECT_FALSE(QVUIController::IsRecoveryRunning());
  EXPECT_TRUE(runner_.modalWindows.empty());

  // Going on anyway: the destination runs full and the recovery waits
  // in the no-space view; continue tries again (and it is full again),
  // stop ends it.
  int noSpaceViews = 0;
  runner_.fileAnswers.push_back(QString::fromStdString(dest_));
  runner_.alertAnswers.push_back(0);
  runner_.onModal = [&](QWidget* w) {
    if (auto* p = qobject_cast<QVShowScanProgressWindowController*>(w)) {
      ++seen_.progress;
      ASSERT_TRUE(WaitFor([&] { return p->noMemeryView()->isVisible(); }));
      ++noSpaceViews;
      EXPECT_FALSE(p->recoveryProgressView()->isVisible());
      QTest::mouseClick(p->noMemeryContinueButton(), Qt::LeftButton);
      EXPECT_TRUE(p->recoveryProgressView()->isVisible());
      EXPECT_FALSE(p->noMemeryView()->isVisible());
      ASSERT_TRUE(WaitFor([&] { return p->noMemeryView()->isVisible(); }));
      ++noSpaceViews;
      QTest::mouseClick(p->noMemeryCancelButton(), Qt::LeftButton);
      EXPECT_FALSE(runner_.isModalRunning(w));
      return;
    }
    acknowledgeEndWindows(w);
  };
  QSignalSpy ended(results->recoveryFlow(), &windows::QVRecoveryFlow::recoveryEnded);
  QTest::mouseClick(results->recovertyButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return ended.count() > 0; }));
  ASSERT_TRUE(QVUIController::WaitForJobs(60000));
  EXPECT_EQ(runner_.alerts.size(), 2u);
  EXPECT_EQ(noSpaceViews, 2);
  EXPECT_EQ(seen_.stopped, 1);
  EXPECT_EQ(seen_.finished, 0);
  EXPECT_EQ(QVUIController::GetRecoveridedFiles(), 0u);
  // The part that fitted is kept as a part, never as the whole file.
  EXPECT_TRUE(FindFiles(dest_, "can.pdf").empty());
}

}  // namespace
