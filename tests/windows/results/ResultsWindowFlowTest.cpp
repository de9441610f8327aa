// The results window over a FAT16 image made here (mkfs.vfat and mtools: a
// JPEG painted with Qt in Photos and a text file in Old, both deleted),
// driven through the real bridge offscreen as a user would: the scan ends,
// folders and categories show, files are ticked, the list is sorted and the
// space bar previews the picture.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <fstream>

#include "ResultsTestSupport.h"
#include "bridge/QVUIController.h"
#include "support/Absent.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVPublicUtilities.h"

namespace {

using windows::FileListModel;
using windows::QVDeletailWindowController;
using namespace resultstest;

class ResultsWindowFlow : public ResultsWindowTest {
 protected:
  void SetUp() override {
    if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
    ASSERT_NO_FATAL_FAILURE(OpenImage());
  }

  // A window scanning `row` until the scan has ended and its last update was shown.
  void scanToEnd(const _DiskVolumeData& row, int kind) {
    ASSERT_TRUE(StartWindow(row, kind));
    ASSERT_TRUE(WaitForScanEnd(*window_));
  }
};

TEST_F(ResultsWindowFlow, QuickScanShowsTicksSortsAndPreviews) {
  scanToEnd(session_->volume(), 1);
  QVDeletailWindowController& w = *window_;

  // The bottom bar turned into the summary of everything found.
  EXPECT_TRUE(w.recovertyButton()->isVisible());
  EXPECT_FALSE(w.recovertyButton()->isEnabled());
  EXPECT_FALSE(w.progressView()->isVisible());
  EXPECT_TRUE(w.search()->isEnabled());

  // The path tree holds both folders.
  windows::CommOutlineView* path = w.outline(0);
  const QModelIndex photos = FindRow(*path, QStringLiteral("Photos"));
  const QModelIndex old = FindRow(*path, QStringLiteral("Old"));
  ASSERT_TRUE(photos.isValid());
  ASSERT_TRUE(old.isValid());

  // Choosing the picture's folder lists it, deleted, with its size text.
  path->setCurrentIndex(photos);
  ASSERT_EQ(w.opDataFile().get(), path->resultModel()->itemAt(photos).get());
  const int jpg = FindListRow(*w.fileList(), QStringLiteral("oliday.jpg"));
  ASSERT_GE(jpg, 0);
  const FileListModel::Record& picture = w.fileList()->record(jpg);
  EXPECT_TRUE(picture.deleted);
  EXPECT_FALSE(
      w.fileList()->data(w.fileList()->index(jpg, FileListModel::Name), Qt::DecorationRole).value<QPixmap>().isNull());
  EXPECT_EQ(picture.sizeText, windows::QVPublicUtilities::longlongConvertVolSpace(image_.jpegSize));
  EXPECT_EQ(w.fileList()->data(w.fileList()->index(jpg, FileListModel::Size), Qt::DisplayRole).toString(),
            picture.sizeText);
  EXPECT_FALSE(w.tableView()->noteShown());

  // The category tree groups the two files, with their counts.
  w.typeButtonClick();
  EXPECT_EQ(w.selectTypeCount(), 1);
  EXPECT_TRUE(w.outline(1)->isVisible());
  EXPECT_FALSE(path->isVisible());
  // Its first category is chosen; a category lists no files itself, so
  // the note says so.
  EXPECT_EQ(w.fileList()->rowCount(), 0);
  EXPECT_TRUE(w.tableView()->noteShown());
  const std::vector<QString> categories = RootLabels(*w.outline(1));
  EXPECT_EQ(SumOfCounts(categories), 2u) << categories.size();
  const QModelIndex jpgGroup = FindRow(*w.outline(1), QStringLiteral("jpg(1)"));
  const QModelIndex txtGroup = FindRow(*w.outline(1), QStringLiteral("txt(1)"));
  EXPECT_TRUE(jpgGroup.isValid());
  EXPECT_TRUE(txtGroup.isValid());

  // Ticking both files: the label shows 2 files and their size; Recover is on.
  w.pathButtonClick();
  path->setCurrentIndex(photos);
  ClickCheckBox(w, FindListRow(*w.fileList(), QStringLiteral("oliday.jpg")));
  path->setCurrentIndex(old);
  ClickCheckBox(w, FindListRow(*w.fileList(), QStringLiteral("etter.txt")));
  const QString total = windows::QVPublicUtilities::longlongConvertVolSpace(image_.jpegSize + image_.textSize);
  EXPECT_EQ(w.selectFilesLabel()->text(), ui::Strings::text(QStringLiteral("NQT_FOUR_SELECT_FILES")).arg(total).arg(2));
  EXPECT_EQ(w.selectedFileCnt(), 2);
  EXPECT_TRUE(w.recovertyButton()->isEnabled());
  EXPECT_EQ(w.listViewSelectAllButton()->imageName(), QStringLiteral("pf_checkbox_yes"));
  // The folder rows of the path tree show their ticks.
  EXPECT_EQ(path->resultModel()->state(path->indexOfItem(path->resultModel()->itemAt(old).get())), 2);

  // The first click on Size sorts descending, the next one ascending.
  w.timeButtonClick();
  const QModelIndex month = FirstLeafGroup(*w.outline(2));
  ASSERT_TRUE(month.isValid());
  w.outline(2)->setCurrentIndex(month);
  ASSERT_EQ(w.fileList()->rowCount(), 2);
  QHeaderView* header = w.tableView()->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(FileListModel::Size) + 10, header->height() / 2));
  EXPECT_EQ(w.sortColumn(), FileListModel::Size);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  EXPECT_GT(w.fileList()->record(0).size, w.fileList()->record(1).size);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(FileListModel::Size) + 10, header->height() / 2));
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  EXPECT_LT(w.fileList()->record(0).size, w.fileList()->record(1).size);

  // The space bar opens the preview with the picture, and closes it again.
  w.pathButtonClick();
  path->setCurrentIndex(photos);
  const int row = FindListRow(*w.fileList(), QStringLiteral("oliday.jpg"));
  w.tableView()->setFocus();
  w.tableView()->setCurrentIndex(w.fileList()->index(row, FileListModel::Name));
  QTest::keyClick(w.tableView(), Qt::Key_Space);
  ASSERT_NE(w.spacePreviewWindow(), nullptr);
  EXPECT_TRUE(w.spacePreviewWindow()->isVisible());
  EXPECT_EQ(w.spacePreviewWindow()->strName(), w.fileList()->record(row).name);
  QTRY_VERIFY_WITH_TIMEOUT(w.spacePreviewWindow() && !w.spacePreviewWindow()->showImage().isNull(), 20000);
  const QImage shown = w.spacePreviewWindow()->showImage();
  EXPECT_GT(shown.width(), 64);
  const QColor middle = shown.pixelColor(shown.width() / 2, shown.height() / 2);
  EXPECT_GT(middle.red(), 200);
  EXPECT_LT(middle.blue(), 100);
  EXPECT_FALSE(w.spacePreviewWindow()->imageView()->pixmap().isNull());
  QTest::keyClick(w.tableView(), Qt::Key_Space);
  EXPECT_TRUE(w.spacePreviewWindow() == nullptr || w.spacePreviewWindow()->isClosed());

  // A text file previews as its text, read through the bridge.
  path->setCurrentIndex(old);
  const int letter = FindListRow(*w.fileList(), QStringLiteral("etter.txt"));
  ASSERT_GE(letter, 0);
  w.tableView()->setCurrentIndex(w.fileList()->index(letter, FileListModel::Name));
  QTest::keyClick(w.tableView(), Qt::Key_Space);
  ASSERT_NE(w.spacePreviewWindow(), nullptr);
  QTRY_VERIFY_WITH_TIMEOUT(w.spacePreviewWindow() && !w.spacePreviewWindow()->showText().isEmpty(), 20000);
  EXPECT_EQ(w.spacePreviewWindow()->showText(), QString::fromStdString(image_.text));
  EXPECT_TRUE(w.spacePreviewWindow()->textView()->isVisible());
  QTest::keyClick(w.tableView(), Qt::Key_Space);
  EXPECT_TRUE(w.spacePreviewWindow() == nullptr || w.spacePreviewWindow()->isClosed());
}

}  // namespace

namespace {

// While a deep scan runs unpaused, ticks, select-all, header clicks and the
// space bar change nothing; the rows shown meanwhile are those of the
// scan's updates.
TEST(ResultsWindowDeepScan, TicksDuringAnUnpausedDeepScanChangeNothing) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  // Zeros after the volume keep the whole-disk sweep busy for a while;
  // copies of the picture from 512 MiB on are found on the way, and the
  // scan's updates show them before it ends.
  ASSERT_TRUE(MakeFatImage(dir, image, 8LL << 30));
  ASSERT_TRUE(AddPictureCopies(dir, image, {512, 1024, 2048, 3072, 4096, 5120, 6144}));
  BridgeSession session;
  ASSERT_TRUE(session.open(image.path));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QVDeletailWindowController w;
  ASSERT_TRUE(StartScan(w, session.disk(), 2));
  EXPECT_EQ(w.isDeepScan(), 1);
  EXPECT_FALSE(w.segment()->isEnabled());
  EXPECT_TRUE(w.advButton()->isHidden());

  // Rows arrive with the scan's updates: the carved copies of the picture.
  QModelIndex folder;
  int row = -1;
  QElapsedTimer t;
  t.start();
  while (row < 0 && QVUIController::IsScanRunning() && t.elapsed() < 300000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    folder = FolderWithFiles(w);
    if (folder.isValid()) row = FirstFileRow(*w.fileList());
  }
  ASSERT_GE(row, 0) << "no file shown while the scan ran";
  IFileNode* node = w.fileList()->node(row);
  const QModelIndex photos = folder;

  ASSERT_TRUE(QVUIController::IsScanRunning());
  ASSERT_FALSE(QVUIController::IsPause());
  ClickCheckBox(w, row);
  w.listViewSelectAllButton()->click();
  w.outline(0)->clickButtonAction(photos);
  QHeaderView* header = w.tableView()->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(FileListModel::Size) + 10, header->height() / 2));
  w.tableView()->setCurrentIndex(w.fileList()->index(row, FileListModel::Name));
  QTest::keyClick(w.tableView(), Qt::Key_Space);
  const bool stillRunning = QVUIController::IsScanRunning() && !QVUIController::IsPause();

  EXPECT_EQ(OpNodeData::fileNodeState(node), 0);
  EXPECT_EQ(w.outline(0)->resultModel()->state(photos), 0);
  EXPECT_EQ(w.sortColumn(), -1);
  EXPECT_EQ(w.isSorted(), 0);
  EXPECT_EQ(w.spacePreviewWindow(), nullptr);
  int count = -1;
  std::uint64_t size = 0;
  QVUIController::GetSelectedFilesAmout(count, size);
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(w.recovertyButton()->isEnabled());
  ASSERT_TRUE(stillRunning) << "the scan ended before the clicks were done";

  // Paused, the same tick is taken.
  w.pauseButtonClick();
  ASSERT_EQ(w.isPause(), 1);
  EXPECT_TRUE(w.continueScanButton()->isVisible());
  const int again = FindListRow(*w.fileList(), w.fileList()->record(row).name);
  ASSERT_GE(again, 0);
  ClickCheckBox(w, again);
  EXPECT_EQ(OpNodeData::fileNodeState(w.fileList()->node(again)), 2);
  EXPECT_TRUE(w.recovertyButton()->isEnabled());

  // Another device leaving changes nothing; the scanned one stops the
  // scan, says so once and asks to go back.
  int backHome = 0;
  QObject::connect(&w, &QVDeletailWindowController::backHomeRequested, [&] { ++backHome; });
  ui::NotificationCenter::defaultCenter().post(QStringLiteral("RefreshDetachDevice"),
                                               QVariantMap{{QStringLiteral("DevName"), QStringLiteral("/dev/sdz")},
                                                           {QStringLiteral("USBPath"), QStringLiteral("Other")}});
  // One that names no device while the scanned image is still there: the same.
  ui::NotificationCenter::defaultCenter().post(QStringLiteral("RefreshDetachDevice"));
  EXPECT_TRUE(QVUIController::IsScanRunning());
  EXPECT_TRUE(runner.alerts.empty());
  ui::NotificationCenter::defaultCenter().post(
      QStringLiteral("RefreshDetachDevice"),
      QVariantMap{{QStringLiteral("DevName"), QString::fromStdString(session.disk().devName)}});
  ASSERT_EQ(runner.alerts.size(), 1u);
  EXPECT_EQ(runner.alerts[0].informative, QStringLiteral("The usb device is detatched!"));
  ui::NotificationCenter::defaultCenter().post(
      QStringLiteral("RefreshDetachDevice"),
      QVariantMap{{QStringLiteral("DevName"), QString::fromStdString(session.disk().devName)}});
  EXPECT_EQ(runner.alerts.size(), 1u);
  // Home once the stopped scan has ended, without asking to save.
  ASSERT_TRUE(WaitForScanEnd(w));
  EXPECT_EQ(backHome, 1);
  EXPECT_EQ(runner.alerts.size(), 1u);
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
