// Saving a scan result from the results window and opening it again,
// offscreen through the windows: the save panel's default name, "SavePath"
// kept, the program started with the saved file showing the same tree
// without a scan, a recovery from it with the same bytes, and a damaged
// file that ends in the alert with the main window kept.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "RecoveryTestSupport.h"
#include "app/shell/QVAppDelegate.h"
#include "bridge/QVUIController.h"
#include "support/Absent.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/bridge_qt/QtSettings.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVProgressWindow.h"
#include "ui/windows/QVPublicUtilities.h"
#include "ui/windows/QVRootWindowController.h"
#include "ui/windows/QVSaveResultFlow.h"
#include "ui/windows/QVScanEndSaveWindows.h"
#include "ui/windows/QVShowScanProgressWindowController.h"

namespace {

using namespace recoverytest;
using windows::QVDeletailWindowController;
using windows::QVRootWindowController;

TEST(SavedResultName, ValidOnFatExfatAndNtfs) {
  struct Case {
    const char* in;
    const char* out;
  } const cases[] = {
      {"STICK_12-10-2026 at 05:29:43", "STICK_12-10-2026 at 05.29.43"},
      {"a/b\\c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
      {"name. ", "name"},
      {"", "Scan result"},
      {"\x01tab\tname", "_tab_name"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(windows::safeResultFileName(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

class SaveLoadWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
    std::filesystem::create_directories(saved_);
    bridge_qt::QtSettings().SetString("SavePath", "");
  }
  void TearDown() override {
    QVUIController::StopRecvoery();
    QVUIController::WaitForJobs(60000);
    bridge_qt::QtSettings().SetString("rsfPath", "");
  }

  // The save and load progress windows last until their job has ended.
  void followJobs() {
    runner_.onModal = [this](QWidget* w) {
      if (qobject_cast<windows::QVProgressWindow*>(w) != nullptr ||
          qobject_cast<windows::QVShowScanProgressWindowController*>(w) != nullptr) {
        ++progressWindows_;
        WaitFor([&] { return !runner_.isModalRunning(w); });
      } else if (auto* f = qobject_cast<windows::QVScanEndSaveWindowController*>(w)) {
        ++finishedWindows_;
        QTest::mouseClick(f->okButton(), Qt::LeftButton);
      }
    };
  }

  testsupport::TempDir dir_;
  std::string saved_ = dir_.File("results");
  bridge_qt::QtBridge bridge_;
  DeviceListForTests devices_;
  ui::ScriptedModalRunner runner_;
  ui::ScopedModalRunner scoped_{runner_};
  int progressWindows_ = 0;
  int finishedWindows_ = 0;
};

TEST_F(SaveLoadWindows, SavedResultOpensAtStartWithoutAScanAndRecoversTheSameBytes) {
  const std::vector<Original> originals = {{"Photos", "holiday.jpg", SeededBytes(70000, 21)},
                                           {"Old", "letter.txt", "Kept for the auditors.\n"}};
  std::string image;
  ASSERT_TRUE(MakeFat16(dir_, "stick.img", 32, originals, image));
  std::vector<QString> scannedTree;
  const QString file = QString::fromStdString(saved_ + "/stick.Quarnel");
  {
    QVRootWindowController root;
    QVDeletailWindowController* results = ScanImageThroughMainWindow(root, runner_, image);
    ASSERT_NE(results, nullptr);
    scannedTree = PathTreeRows(*results);
    ASSERT_FALSE(scannedTree.empty());
    ASSERT_TRUE(results->exportButton()->isVisible());
    ASSERT_TRUE(results->exportButton()->isEnabled());

    followJobs();
    runner_.fileAnswers.push_back(file);
    QTest::mouseClick(results->exportButton(), Qt::LeftButton);
    ASSERT_EQ(runner_.fileQuestions.size(), 2u);
    // "save|caption|<folder>/<default name>|filter": no ':' in the name.
    const QStringList question = runner_.fileQuestions[1].split(QLatin1Char('|'));
    ASSERT_EQ(question.size(), 4);
    EXPECT_EQ(question[0], QStringLiteral("save"));
    const QString name = QFileInfo(question[2]).fileName();
    EXPECT_TRUE(name.endsWith(QStringLiteral(".Quarnel"))) << name.toStdString();
    EXPECT_FALSE(name.contains(QLatin1Char(':'))) << name.toStdString();
    EXPECT_EQ(progressWindows_, 1);
    EXPECT_TRUE(runner_.alerts.empty());
    EXPECT_EQ(results->bSave(), 1);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(QString::fromStdString(QVUIController::GetSavePath()), file);
    QVUIController::WaitForJobs(30000);
    QCoreApplication::processEvents();
  }
  // Kept in the user's settings file for the next run.
  EXPECT_EQ(QString::fromStdString(bridge_qt::QtSettings().GetString("SavePath", "")), file);

  // The program started with the saved file (as the start-up stores it).
  bridge_qt::QtSettings().SetString("rsfPath", file.toStdString());
  windows::QVPublicUtilities::writeUpDataTimeStr(QStringLiteral("2026-12-10 00:00:00"));
  shell::QVAppDelegate::Options options;
  options.mediaMonitor = false;
  options.terminate = [] {};
  options.now = [] {
    return QDateTime::fromString(QStringLiteral("2026-12-10 01:00:00"), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  };
  progressWindows_ = 0;
  followJobs();
  shell::QVAppDelegate delegate(options);
  delegate.applicationDidFinishLaunching();
  ASSERT_TRUE(WaitFor([&] { return delegate.rootWindowCon() != nullptr; }));
  QVRootWindowController& root = *delegate.rootWindowCon();
  QSignalSpy scans(&root, &QVRootWindowController::scanWindowOpened);
  ASSERT_TRUE(WaitFor([&] { return root.deletailWC() != nullptr && root.deletailWC()->isVisible(); }));
  auto* loaded = qobject_cast<QVDeletailWindowController*>(root.deletailWC());
  ASSERT_NE(loaded, nullptr);
  ASSERT_TRUE(WaitFor([&] { return loaded->scanEnded(); }));
  EXPECT_EQ(scans.count(), 0);
  EXPECT_EQ(progressWindows_, 1);
  EXPECT_TRUE(runner_.alerts.empty());
  EXPECT_FALSE(root.isVisible());
  EXPECT_EQ(loaded->isImport(), 1);
  EXPECT_FALSE(loaded->exportButton()->isVisible());
  EXPECT_FALSE(loaded->advButton()->isVisible());
  // The same tree (the replay may list the folders in another order).
  std::vector<QString> loadedTree = PathTreeRows(*loaded);
  std::sort(loadedTree.begin(), loadedTree.end());
  std::sort(scannedTree.begin(), scannedTree.end());
  EXPECT_EQ(loadedTree, scannedTree);

  // Recovering from the loaded result gives the original bytes.
  ASSERT_TRUE(TickInPathTree(*loaded, QStringLiteral("Photos"), QStringLiteral("oliday.jpg")));
  ASSERT_TRUE(TickInPathTree(*loaded, QStringLiteral("Old"), QStringLiteral("etter.txt")));
  const std::string dest = dir_.File("from-saved");
  std::filesystem::create_directories(dest);
  runner_.fileAnswers.push_back(QString::fromStdString(dest));
  QSignalSpy ended(loaded->recoveryFlow(), &windows::QVRecoveryFlow::recoveryEnded);
  QTest::mouseClick(loaded->recovertyButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return ended.count() > 0; }));
  EXPECT_EQ(finishedWindows_, 1);
  for (const Original& o : originals) {
    const std::vector<std::string> found = FindFiles(dest, o.name.substr(1));
    ASSERT_EQ(found.size(), 1u) << o.name;
    EXPECT_TRUE(testsupport::ReadFileText(found[0]) == o.contents) << found[0];
  }
}

TEST_F(SaveLoadWindows, DamagedSavedFileGivesTheAlertAndNoResultsWindow) {
  const std::vector<Original> originals = {{"Old", "letter.txt", "Kept for the auditors.\n"}};
  std::string image;
  ASSERT_TRUE(MakeFat16(dir_, "damaged.img", 32, originals, image));
  const QString file = QString::fromStdString(saved_ + "/damaged.Quarnel");
  {
    QVRootWindowController root;
    QVDeletailWindowController* results = ScanImageThroughMainWindow(root, runner_, image);
    ASSERT_NE(results, nullptr);
    followJobs();
    runner_.fileAnswers.push_back(file);
    QTest::mouseClick(results->exportButton(), Qt::LeftButton);
    ASSERT_EQ(results->bSave(), 1);
    QVUIController::WaitForJobs(30000);
    QCoreApplication::processEvents();
  }
  // Cut in the middle.
  const auto size = std::filesystem::file_size(file.toStdString());
  std::filesystem::resize_file(file.toStdString(), size / 2);

  QVRootWindowController root;
  root.show();
  QSignalSpy opened(&root, &QVRootWindowController::importWindowOpened);
  runner_.alerts.clear();
  runner_.fileAnswers.push_back(file);
  QTest::mouseClick(root.importButton(), Qt::LeftButton);
  ASSERT_TRUE(QVUIController::WaitForJobs(30000));
  QCoreApplication::processEvents();
  ASSERT_EQ(runner_.alerts.size(), 1u);
  EXPECT_TRUE(runner_.alerts[0].informative.startsWith(ui::Strings::text(QStringLiteral("READ_RSF_FAILED"))))
      << runner_.alerts[0].informative.toStdString();
  EXPECT_EQ(opened.count(), 0);
  EXPECT_EQ(root.deletailWC(), nullptr);
  EXPECT_TRUE(root.isVisible());
  EXPECT_EQ(root.importFilePath(), file);
}

}  // namespace
