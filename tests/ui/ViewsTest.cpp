// Image-and-text cells, the group box, the progress bars and the attached
// popover.

#include "UiTestSupport.h"

#include "ui/toolkit/ImageAndTextCell.h"
#include "ui/toolkit/MAAttachedWindow.h"
#include "ui/toolkit/QVProgressView.h"

#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

#include <cmath>
#include <limits>

using namespace ui;

// ---- progress ---------------------------------------------------------------

TEST(QVProgressView, BarWidthIsClampedToTenAndSnapsToFull) {
  struct Case {
    float percent, width, expected;
  };
  const Case cases[] = {
      {0, 400, 10},      {-5, 400, 10},
      {2, 400, 10},      {3, 400, 12},
      {50, 400, 200},    {99.7f, 400, 398.8f},
      {99.8f, 400, 400}, {100, 400, 400},
      {150, 400, 400},   {std::numeric_limits<float>::quiet_NaN(), 400, 10},
  };
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(QVProgressView::barWidthForPercent(c.percent, c.width), c.expected) << c.percent;
}

TEST(QVProgressView, BarSitsAlongTheBottomAndFollowsValuesAndResizes) {
  QVProgressView view(QRect(0, 0, 400, 20), nullptr);
  view.show();
  EXPECT_EQ(view.pProgress1()->geometry(), QRect(0, 16, 0, 4));  // nothing before the first value
  view.changeProgressValue(50);
  EXPECT_EQ(view.pProgress1()->geometry(), QRect(0, 16, 200, 4));
  view.changeProgressValue(-1);
  EXPECT_EQ(view.pProgress1()->width(), 10);
  view.changeProgressValue(120);
  EXPECT_EQ(view.pProgress1()->width(), 400);
  view.changeProgressValue(50);
  view.resize(800, 30);
  EXPECT_EQ(view.pProgress1()->geometry(), QRect(0, 26, 400, 4));

  view.resize(400, 20);
  const QImage img = view.grab().toImage();
  EXPECT_EQ(img.pixelColor(5, 18), QColor(53, 130, 248));
  EXPECT_EQ(img.pixelColor(300, 18), QColor(194, 198, 204));
  EXPECT_EQ(img.pixelColor(5, 5), QColor(194, 198, 204));
  uitest::renderToPng(view, QStringLiteral("progress"));
}

// ---- cells and group box ----------------------------------------------------

TEST(ImageAndTextCell, PictureAndTextFrames) {
  EXPECT_EQ(ImageAndTextCell::imageFrameForCellFrame(QRectF(0, 0, 100, 22), QSizeF(32, 32)), QRectF(3, -5, 32, 32));
  EXPECT_EQ(ImageAndTextCell::imageFrameForCellFrame(QRectF(10, 22, 100, 22), QSizeF(16, 16)), QRectF(13, 25, 16, 16));
  EXPECT_EQ(ImageAndTextCell::imageFrameForCellFrame(QRectF(0, 0, 100, 22), QSizeF()), QRectF());
  // Drawn 18 x 18, 3 points below the row's top, whatever the picture's size.
  EXPECT_EQ(ImageAndTextCell::drawnImageFrame(QRectF(0, 0, 100, 22)), QRectF(3, 3, 18, 18));
  EXPECT_EQ(ImageAndTextCell::drawnImageFrame(QRectF(0, 44, 100, 22)), QRectF(3, 47, 18, 18));
  EXPECT_EQ(ImageAndTextCell::textFrameForEditing(QRectF(0, 0, 100, 22), 32), QRectF(35, 0, 65, 22));
  EXPECT_EQ(ImageAndTextCell::textFrameForEditing(QRectF(0, 0, 100, 22), 0), QRectF(3, 0, 97, 22));
  EXPECT_EQ(DetailTextAndImageCell::titleRectForBounds(QRectF(5, 0, 80, 17), QRectF(10, 0, 100, 22), 14),
            QRectF(0, 3.5, 80, 17));
}

TEST(ImageAndTextCell, EditorLeavesThePictureFreeAndRowsRender) {
  QStandardItemModel model;
  QPixmap picture(32, 32);
  picture.fill(Qt::blue);
  auto* withPicture = new QStandardItem(QStringLiteral("Documents"));
  withPicture->setData(picture, Qt::DecorationRole);
  model.appendRow(withPicture);
  model.appendRow(new QStandardItem(QStringLiteral("plain")));
  QListView list;
  ImageAndTextCell cell;
  list.setItemDelegate(&cell);
  list.setModel(&model);
  list.resize(200, 100);
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));

  QLineEdit editor;
  QStyleOptionViewItem option;
  option.rect = QRect(0, 0, 200, 22);
  cell.updateEditorGeometry(&editor, option, model.index(0, 0));
  EXPECT_EQ(editor.geometry().left(), 35);
  cell.updateEditorGeometry(&editor, option, model.index(1, 0));
  EXPECT_EQ(editor.geometry().left(), 3);

  // The 32-point picture is drawn 18 x 18 in the row.
  const QImage img = list.viewport()->grab().toImage();
  const QRect row = list.visualRect(model.index(0, 0));
  const QRectF drawn = ImageAndTextCell::drawnImageFrame(row);
  EXPECT_EQ(img.pixelColor(drawn.center().toPoint()), QColor(Qt::blue));
  EXPECT_NE(img.pixelColor(QPoint(int(drawn.right()) + 2, int(drawn.center().y()))), QColor(Qt::blue));
  uitest::renderToPng(list, QStringLiteral("image-text-cells"));
  list.setItemDelegate(nullptr);
}

TEST(GroupView, FrameInsideTheWhitePanel) {
  EXPECT_EQ(GroupView::frameRect(QSizeF(200, 100)), QRectF(18.5, 35.5, 163, 46));
  const QRectF small = GroupView::frameRect(QSizeF(30, 50));
  EXPECT_TRUE(small.width() <= 0 || small.height() <= 0);

  GroupView view;
  view.resize(200, 100);
  const QImage img = view.grab().toImage();
  EXPECT_EQ(img.pixelColor(5, 5), QColor(Qt::white));
  EXPECT_EQ(img.pixelColor(100, 60), QColor(Qt::white));
  EXPECT_LT(img.pixelColor(18, 60).lightness(), 255);
  uitest::renderToPng(view, QStringLiteral("group-view"));
  GroupView tiny;
  tiny.resize(30, 50);
  uitest::renderToPng(tiny, QStringLiteral("group-view-tiny"));
}

// ---- attached popover ---------------------------------------------------------

namespace {

MAAttachedWindow::Metrics arrowMetrics() {
  MAAttachedWindow::Metrics m;
  m.arrowHeight = 10;
  m.arrowBaseWidth = 20;
  return m;
}

}  // namespace

TEST(MAAttachedWindow, DefaultSide11MatchesTheWorkedExample) {
  const QRectF f = MAAttachedWindow::frameForPoint(QSizeF(200, 100), QPointF(500, 400), 11, 10, {});
  EXPECT_EQ(f, QRectF(492, 286, 204, 104));
}

TEST(MAAttachedWindow, FramePerSideWithArrowAndDistance) {
  struct Case {
    int side;
    QPointF origin;
    QSizeF size;
    QPointF viewOrigin;
  };
  // View 200 x 100, margin 2, arrow 10 high and 20 wide, radius 8 (inset 18), distance 5.
  const Case cases[] = {
      {0, {781, 948}, {214, 104}, {2, 2}},    {1, {898, 881}, {204, 114}, {2, 2}},
      {2, {1005, 948}, {214, 104}, {12, 2}},  {3, {898, 1005}, {204, 114}, {2, 12}},
      {4, {781, 982}, {214, 104}, {2, 2}},    {5, {781, 914}, {214, 104}, {2, 2}},
      {6, {1005, 982}, {214, 104}, {12, 2}},  {7, {1005, 914}, {214, 104}, {12, 2}},
      {8, {814, 1005}, {204, 114}, {2, 12}},  {9, {982, 1005}, {204, 114}, {2, 12}},
      {10, {814, 881}, {204, 114}, {2, 2}},   {11, {982, 881}, {204, 114}, {2, 2}},
      {12, {1000, 1000}, {204, 104}, {2, 2}},  // unresolved: at the point, no arrow space
  };
  for (const Case& c : cases) {
    QRectF vf;
    const QRectF f =
        MAAttachedWindow::frameForPoint(QSizeF(200, 100), QPointF(1000, 1000), c.side, 5, arrowMetrics(), &vf);
    EXPECT_EQ(f.topLeft(), c.origin) << "side " << c.side;
    EXPECT_EQ(f.size(), c.size) << "side " << c.side;
    EXPECT_EQ(vf, QRectF(c.viewOrigin, QSizeF(200, 100))) << "side " << c.side;
  }
}

TEST(MAAttachedWindow, ArrowTipPointsAtTheAnchor) {
  // Tip of the shape, in screen y-up coordinates, for each side: within a
  // pixel of the point moved away by the distance.
  struct Case {
    int side;
    QPointF tip;
  };
  const Case cases[] = {
      {1, {1000, 995}}, {11, {1000, 995}}, {10, {1000, 995}}, {3, {1000, 1005}}, {9, {1000, 1005}},
      {0, {995, 1000}}, {4, {995, 1000}},  {2, {1005, 1000}}, {7, {1005, 1000}},
  };
  for (const Case& c : cases) {
    QRectF vf;
    const QRectF f =
        MAAttachedWindow::frameForPoint(QSizeF(200, 100), QPointF(1000, 1000), c.side, 5, arrowMetrics(), &vf);
    const QPainterPath path = MAAttachedWindow::backgroundPath(vf, c.side, arrowMetrics());
    const QRectF b = path.boundingRect().translated(f.topLeft());
    qreal best = 1e9;
    for (int i = 0; i < path.elementCount(); ++i) {
      const QPointF e = QPointF(path.elementAt(i)) + f.topLeft();
      best = std::min(best, std::hypot(e.x() - c.tip.x(), e.y() - c.tip.y()));
    }
    EXPECT_LE(best, 1.5) << "side " << c.side;
    EXPECT_TRUE(f.adjusted(-0.01, -0.01, 0.01, 0.01).contains(b)) << "side " << c.side;
  }
}

TEST(MAAttachedWindow, AutomaticSideLooksForRoomThenAvoidsTheOwnersEdges) {
  const QRectF screen(0, 0, 1920, 1080);
  const QRectF owner(100, 100, 800, 600);
  const QSizeF view(200, 100);
  struct Case {
    QPointF p;
    int side;
  };
  const Case cases[] = {
      {{500, 500}, 1},     // room below, centred inside the owner
      {{150, 500}, 11},    // a centred window would start left of the owner
      {{880, 500}, 10},    // ... or end right of it
      {{500, 50}, 6},      // no room below: right, extending upwards near the owner's bottom
      {{1850, 50}, 4},     // no room below or right: left
      {{1850, 1070}, 10},  // room below, owner far to the left: extends leftwards
  };
  for (const Case& c : cases) EXPECT_EQ(MAAttachedWindow::bestSide(view, c.p, 0, {}, screen, owner), c.side) << c.p;
}

TEST(MAAttachedWindow, SettersClampAsDocumented) {
  QWidget owner;
  owner.resize(400, 300);
  auto* view = new QWidget;
  view->resize(40, 20);
  MAAttachedWindow* w = MAAttachedWindow::create(view, QPointF(50, 50), &owner, 11, 10);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->borderWidth(), 0.2);
  w->setBorderWidth(5);
  EXPECT_EQ(w->borderWidth(), 2);
  w->setCornerRadius(100);
  EXPECT_EQ(w->cornerRadius(), 12);
  w->setArrowBaseWidth(100);
  EXPECT_EQ(w->arrowBaseWidth(), 0);  // 20 + 4 - 12 - 12
  w->setViewMargin(-3);
  EXPECT_EQ(w->viewMargin(), 0);
  EXPECT_EQ(w->cornerRadius(), 10);
  EXPECT_EQ(MAAttachedWindow::create(nullptr, QPointF(), &owner), nullptr);
}

TEST(MAAttachedWindow, CornerBesideTheArrowAndArrowlessShapes) {
  MAAttachedWindow::Metrics m = arrowMetrics();
  QRectF vf;
  MAAttachedWindow::frameForPoint(QSizeF(200, 100), QPointF(0, 0), 11, 0, m, &vf);
  m.drawsRoundCornerBesideArrow = false;
  const QPainterPath square = MAAttachedWindow::backgroundPath(vf, 11, m);
  // Starts at the very corner (minX, maxY) and goes straight into the arrow.
  EXPECT_EQ(QPointF(square.elementAt(0)), QPointF(1, 103));
  EXPECT_EQ(QPointF(square.elementAt(1)), QPointF(11, 113));

  m.drawsRoundCornerBesideArrow = true;
  m.hasArrow = false;
  const QRectF f = MAAttachedWindow::frameForPoint(QSizeF(200, 100), QPointF(0, 0), 11, 0, m, &vf);
  const QPainterPath flat = MAAttachedWindow::backgroundPath(vf, 11, m);
  EXPECT_EQ(f.height(), 114);  // the arrow's room stays
  EXPECT_LE(flat.boundingRect().bottom(), 103);
}

TEST(MAAttachedWindow, FollowsItsOwnerAndClosesWithIt) {
  QWidget owner;
  owner.setGeometry(100, 100, 600, 500);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  auto* view = new QWidget;
  view->resize(200, 100);
  MAAttachedWindow* popover = MAAttachedWindow::create(view, QPointF(80, 100), &owner, 11, 10);
  ASSERT_NE(popover, nullptr);
  QSignalSpy closed(popover, &MAAttachedWindow::closed);
  popover->show();
  const QPoint p = owner.mapToGlobal(QPoint(80, 100));
  EXPECT_EQ(popover->geometry(), QRect(p.x() - 8, p.y() + 10, 204, 104));
  EXPECT_EQ(view->geometry(), QRect(2, 2, 200, 100));
  EXPECT_EQ(view->parentWidget(), popover);
  uitest::renderToPng(*popover, QStringLiteral("popover"));

  owner.move(owner.pos() + QPoint(50, 30));
  const QPoint moved = p + QPoint(50, 30);
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return popover->geometry().topLeft() == QPoint(moved.x() - 8, moved.y() + 10); }, 3000))
      << popover->geometry();

  // A new point and side apply at once.
  popover->setPoint(QPointF(300, 300), 1);
  const QPoint q = owner.mapToGlobal(QPoint(300, 300));
  EXPECT_EQ(popover->geometry(), QRect(q.x() - 102, q.y() + 10, 204, 104));

  owner.hide();
  EXPECT_TRUE(popover->isHidden());
  EXPECT_EQ(closed.count(), 1);
  popover->closePopover();  // again: harmless
  EXPECT_EQ(closed.count(), 1);
}

TEST(MAAttachedWindow, TimedAndCommandCloses) {
  QWidget owner;
  owner.resize(300, 300);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  auto* view = new QWidget;
  view->resize(100, 50);
  MAAttachedWindow* popover = MAAttachedWindow::create(view, QPointF(10, 10), &owner, 11, 10);
  QSignalSpy closed(popover, &MAAttachedWindow::closed);
  popover->show();
  popover->scheduleClose(20);
  EXPECT_TRUE(QTest::qWaitFor([&] { return popover->isHidden(); }, 3000));
  EXPECT_EQ(closed.count(), 1);

  // Closing early cancels the timer's later close.
  popover->show();
  popover->scheduleClose(30);
  popover->closePopover();
  QTest::qWait(60);
  EXPECT_EQ(closed.count(), 2);

  // The close command goes to the owner window.
  popover->show();
  popover->performClose();
  EXPECT_FALSE(owner.isVisible());
  EXPECT_TRUE(popover->isHidden());
  EXPECT_EQ(closed.count(), 3);

  // Without an owner it closes itself.
  auto* lone = new QWidget;
  lone->resize(50, 50);
  std::unique_ptr<MAAttachedWindow> free(MAAttachedWindow::create(lone, QPointF(400, 400), nullptr, 12, 0));
  free->show();
  free->performClose();
  EXPECT_TRUE(free->isHidden());
}

TEST(MAAttachedWindow, FillIsTheBackgroundColourOrImageInsideTheShape) {
  QWidget owner;
  owner.resize(300, 300);
  auto* view = new QWidget;
  view->resize(100, 50);
  MAAttachedWindow* w = MAAttachedWindow::create(view, QPointF(10, 10), &owner, 11, 10);
  w->setBackgroundColor(QColor(0, 120, 0));
  QImage img = w->grab().toImage();
  EXPECT_EQ(img.pixelColor(52, 27), QColor(0, 120, 0));  // through the transparent view
  EXPECT_NE(img.pixelColor(0, 0), QColor(0, 120, 0));    // outside the rounded corner

  QPixmap tile(4, 4);
  tile.fill(QColor(200, 0, 0));
  w->setBackgroundImage(QPixmap());  // ignored
  EXPECT_EQ(w->windowBackgroundColor(), QColor(0, 120, 0));
  w->setBackgroundImage(tile);
  img = w->grab().toImage();
  EXPECT_EQ(img.pixelColor(52, 27), QColor(200, 0, 0));
  uitest::renderToPng(*w, QStringLiteral("popover-image"));
}
