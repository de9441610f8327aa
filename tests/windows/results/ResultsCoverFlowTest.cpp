// The cover flow of the results window over a FAT16 image made here with
// three deleted pictures (two JPEG, one PNG): through the bridge every
// picture shows in its photo, a click on a picture in the flow chooses its
// row in the table under it, that table's check box ticks the file, and a
// row chosen in the table moves the flow.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPainter>
#include <QTest>

#include "ResultsTestSupport.h"
#include "bridge/OpNodeData.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

template <typename F>
bool spinUntil(F done) {
  return testsupport::RunEventsUntil(done, 30000, 10);
}

struct Picture {
  const char* name;
  const char* format;
  QColor colour;
};
const Picture kPictures[] = {{"red.jpg", "JPG", QColor(210, 40, 40)},
                             {"green.png", "PNG", QColor(40, 180, 60)},
                             {"blue.jpg", "JPG", QColor(40, 80, 210)}};

// A frame of the colour around a white block: no thumbnail maker would
// make it out of another file.
bool makeImage(const testsupport::TempDir& dir, std::string& image) {
  std::string copies;
  for (const Picture& p : kPictures) {
    QImage picture(480, 360, QImage::Format_RGB32);
    picture.fill(p.colour);
    QPainter painter(&picture);
    painter.fillRect(QRect(200, 150, 80, 60), Qt::white);
    painter.end();
    if (!picture.save(QString::fromStdString(dir.File(p.name)), p.format, 92)) return false;
    copies += " '" + dir.File(p.name) + "'";
  }
  image = dir.File("photos.img");
  const std::string i = " -i '" + image + "'";
  return testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; export MTOOLS_SKIP_CHECK=1; mkfs.vfat -F 16 -C '" + image +
                          "' 32768 >/dev/null && mmd" + i + " ::/Photos && mcopy" + i + copies + " ::/Photos/ && mdel" +
                          i + " ::/Photos/red.jpg ::/Photos/green.png ::/Photos/blue.jpg") == 0;
}

bool shows(const QImage& image, const QColor& colour) {
  if (image.isNull() || image.width() < 20) return false;
  const QColor edge = image.pixelColor(3, 3);
  const QColor middle = image.pixelColor(image.width() / 2, image.height() / 2);
  return std::abs(edge.red() - colour.red()) < 25 && std::abs(edge.green() - colour.green()) < 25 &&
         std::abs(edge.blue() - colour.blue()) < 25 && middle.red() > 220 && middle.green() > 220 &&
         middle.blue() > 220;
}

TEST(ResultsCoverFlow, PicturesLoadThroughTheBridgeAndFollowTheTable) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  std::string image;
  ASSERT_TRUE(makeImage(dir, image));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  auto session = std::make_unique<BridgeSession>();
  ASSERT_TRUE(session->open(image));
  {
    QVDeletailWindowController w;
    ASSERT_TRUE(StartScan(w, session->volume(), 1));
    ASSERT_TRUE(WaitForScanEnd(w));
    const QModelIndex photos = FindRow(*w.outline(0), QStringLiteral("Photos"));
    ASSERT_TRUE(photos.isValid());
    w.outline(0)->setCurrentIndex(photos);
    ASSERT_EQ(w.fileList()->rowCount(), 3);

    // The view switch's third segment.
    auto* flowButton = w.segment()->findChild<QAbstractButton*>(QStringLiteral("segment2"));
    ASSERT_NE(flowButton, nullptr);
    ASSERT_TRUE(flowButton->isEnabled());
    flowButton->click();
    EXPECT_EQ(w.selectSegmentCount(), 2);
    windows::CoverFlowView* flow = w.coverFlowView();
    ASSERT_NE(flow, nullptr);
    EXPECT_TRUE(flow->isVisible());
    EXPECT_TRUE(w.coverFlowerTableView()->isVisible());
    EXPECT_FALSE(w.tableView()->isVisible());
    flow->flowView()->setAnimationDuration(0);
    ASSERT_TRUE(spinUntil([&] { return w.nImageState() == 2; }));
    ASSERT_EQ(flow->photos().size(), 3u);
    for (const Picture& p : kPictures) {
      const int row = FindListRow(*w.fileList(), QString::fromLatin1(p.name).mid(1));
      ASSERT_GE(row, 0) << p.name;
      const ui::Photo& photo = flow->photos()[static_cast<std::size_t>(row)];
      EXPECT_TRUE(shows(photo.imageRepresentation(), p.colour)) << p.name;
      EXPECT_TRUE(photo.imageTitle().contains(QString::fromLatin1(p.name).mid(1))) << p.name;
      EXPECT_NE(photo.imageUID(), windows::CoverFlowView::kLoadingID);
    }

    // A click on the last picture chooses its row in the table.
    ui::ImageFlowView* view = flow->flowView();
    QPoint target;
    for (int x = view->width() / 2; x < view->width() && target.isNull(); x += 3)
      if (view->itemAt(QPoint(x, view->height() / 3)) == 2) target = QPoint(x, view->height() / 3);
    ASSERT_FALSE(target.isNull());
    QTest::mouseClick(view, Qt::LeftButton, {}, target);
    EXPECT_EQ(view->selectedIndex(), 2);
    EXPECT_EQ(flow->flowSelectedIndex(), 2);
    EXPECT_EQ(w.coverFlowerTableView()->currentIndex().row(), 2);

    // Its check box in that table ticks the file.
    QTableView* table = w.coverFlowerTableView();
    const QRect cell = table->visualRect(w.fileList()->index(2, windows::FileListModel::CheckBox));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(OpNodeData::fileNodeState(w.fileList()->node(2)), 2);
    EXPECT_EQ(w.selectedFileCnt(), 1);

    // A row chosen in the table moves the flow.
    table->setCurrentIndex(w.fileList()->index(0, windows::FileListModel::Name));
    EXPECT_EQ(view->selectedIndex(), 0);
    EXPECT_EQ(flow->flowSelectedIndex(), 0);

    // Back to the list: the flow hides, its loader idle.
    w.segmentSelect(0);
    EXPECT_FALSE(flow->isVisible());
    EXPECT_TRUE(w.tableView()->isVisible());
    EXPECT_TRUE(spinUntil([&] { return w.nImageState() == 2; }));
  }
  session.reset();
}

}  // namespace
