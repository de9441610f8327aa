// The grid view of the results window over a FAT16 image made here: the
// deleted picture shows as its own thumbnail, made through the bridge, with
// its deleted mark; its check box ticks the file in the list too, and ticks
// cleared by the window show in the grid.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QIcon>
#include <QLabel>

#include "ResultsTestSupport.h"
#include "bridge/OpNodeData.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "ui/toolkit/CNGridView.h"
#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

template <typename F>
bool spinUntil(F done) {
  return testsupport::RunEventsUntil(done, 30000, 10);
}

// The painted JPEG is blue (40, 120, 200) with a yellow block in its middle.
bool looksLikeThePicture(const QImage& image) {
  if (image.isNull() || image.width() < 20) return false;
  const QColor corner = image.pixelColor(2, 2);
  const QColor middle = image.pixelColor(image.width() / 2, image.height() / 2);
  return std::abs(corner.red() - 40) < 20 && std::abs(corner.blue() - 200) < 20 && middle.red() > 200 &&
         middle.blue() < 100;
}

TEST(ResultsGrid, DeletedPictureShowsItsThumbnailMarkAndTick) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeFatImage(dir, image));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  auto session = std::make_unique<BridgeSession>();
  ASSERT_TRUE(session->open(image.path));
  {
    QVDeletailWindowController w;
    ASSERT_TRUE(StartScan(w, session->volume(), 1));
    ASSERT_TRUE(WaitForScanEnd(w));
    const QModelIndex photos = FindRow(*w.outline(0), QStringLiteral("Photos"));
    ASSERT_TRUE(photos.isValid());
    w.outline(0)->setCurrentIndex(photos);
    const int row = FindListRow(*w.fileList(), QStringLiteral("oliday.jpg"));
    ASSERT_GE(row, 0);

    w.segmentSelect(1);
    windows::ThumbnailGridView* grid = w.gridMainView();
    ASSERT_NE(grid, nullptr);
    EXPECT_TRUE(grid->isVisible());
    EXPECT_FALSE(w.tableView()->isVisible());
    ASSERT_EQ(grid->rows().size(), static_cast<std::size_t>(w.fileList()->rowCount()));
    ASSERT_TRUE(spinUntil([&] {
      ui::CNGridViewItem* item = grid->itemForRow(static_cast<quint64>(row));
      return item && looksLikeThePicture(item->itemImage());
    }));
    ui::CNGridViewItem* item = grid->itemForRow(static_cast<quint64>(row));
    EXPECT_TRUE(item->itemTitle().contains(QStringLiteral("oliday.jpg"))) << item->itemTitle().toStdString();
    auto* mark = item->findChild<QLabel*>(QStringLiteral("deletedMark"));
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(mark->isVisibleTo(item));

    auto shows = [&](const char* image) {
      return item->itemButton()->icon().pixmap(13, 13).toImage() ==
             QIcon(ui::ImageStore::pixmap(QLatin1String(image))).pixmap(13, 13).toImage();
    };
    EXPECT_TRUE(shows("pf_checkbox_no"));
    item->itemButton()->click();
    EXPECT_EQ(OpNodeData::fileNodeState(w.fileList()->node(row)), 2);
    EXPECT_EQ(w.selectedFileCnt(), 1);
    EXPECT_TRUE(shows("pf_checkbox_yes"));
    // Ticks cleared by the window show in the grid at once.
    w.clearSelectState();
    EXPECT_EQ(OpNodeData::fileNodeState(w.fileList()->node(row)), 0);
    EXPECT_TRUE(shows("pf_checkbox_no"));

    // Back to the list: the grid hides and its loader is idle.
    w.segmentSelect(0);
    EXPECT_FALSE(grid->isVisible());
    EXPECT_TRUE(w.tableView()->isVisible());
    EXPECT_TRUE(spinUntil([&] { return grid->gridImageState() == 2; }));
  }
  session.reset();
}

}  // namespace
