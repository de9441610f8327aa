// The result-tree check-box cell, the category tile and the hand button.

#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include "UiTestSupport.h"
#include "ui/toolkit/CheckButtons.h"
#include "ui/toolkit/ImageStore.h"

namespace {

TEST(NewButton, LabelAndIconRectanglesFollowTheIcon) {
  ui::NewButton cell;
  const QRectF frame(10, 100, 300, 30);
  cell.hasIcon = true;
  EXPECT_EQ(cell.imageRectForBounds(frame), QRectF(45, 104, 800, 22));
  EXPECT_EQ(cell.iconImageRectForBounds(frame), QRectF(27, 106, 18, 18));
  cell.hasIcon = false;
  EXPECT_EQ(cell.imageRectForBounds(frame), QRectF(20, 104, 800, 22));
  EXPECT_TRUE(cell.iconImageRectForBounds(frame).isNull());
  cell.hasLabel = false;
  EXPECT_TRUE(cell.imageRectForBounds(frame).isNull());
}

TEST(NewButton, OnlyTheCheckBoxTogglesAndOnceEvery200ms) {
  ui::NewButton::changeVlaue();
  ui::NewButton a;
  ui::NewButton b;
  int clicks = 0;
  a.delegate = [&](ui::NewButton&) { ++clicks; };
  b.delegate = [&](ui::NewButton&) { ++clicks; };
  const QRectF row(0, 40, 400, 22);
  // On the icon or the name: nothing.
  EXPECT_FALSE(a.hitTestForEvent(QPointF(20, 50), row));
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(a.hitTestForEvent(QPointF(5, 50), row));
  EXPECT_EQ(clicks, 1);
  // A second check box within 0.2 s is refused.
  EXPECT_FALSE(b.hitTestForEvent(QPointF(5, 50), row));
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(ui::NewButton::clickLatched());
  QTRY_VERIFY_WITH_TIMEOUT(!ui::NewButton::clickLatched(), 2000);
  EXPECT_TRUE(b.hitTestForEvent(QPointF(5, 50), row));
  EXPECT_EQ(clicks, 2);
  ui::NewButton::changeVlaue();
}

TEST(NewButton, DrawsTheCheckBoxOfItsState) {
  QImage canvas(200, 30, QImage::Format_ARGB32);
  canvas.fill(Qt::white);
  ui::NewButton cell;
  cell.label = QStringLiteral("Photos");
  cell.state = 2;
  QPainter painter(&canvas);
  cell.drawWithFrame(painter, QRectF(0, 0, 200, 30));
  painter.end();
  // The tick of a checked box is blue.
  bool blue = false;
  for (int x = 1; x < 15; ++x)
    for (int y = 8; y < 22; ++y)
      blue = blue || (canvas.pixelColor(x, y).blue() > 200 && canvas.pixelColor(x, y).red() < 120);
  EXPECT_TRUE(blue);
}

TEST(NQTCustemButton, NewTileIsSelectedAndClicksToggleIt) {
  ui::NQTCustemButton tile;
  tile.setGeometry(0, 0, 400, 72);
  tile.setIconImage(QStringLiteral("icon_doc_no"), QStringLiteral("icon_doc_yes"));
  tile.show();
  EXPECT_TRUE(tile.isSelected());
  EXPECT_TRUE(tile.isDisabled());
  EXPECT_EQ(tile.text(), QStringLiteral(" "));
  EXPECT_EQ(tile.iconImageView()->geometry(), QRect(10, 12, 350, 50));
  const QImage hover = ui::ImageStore::image(QStringLiteral("icon_doc_yes"));
  EXPECT_EQ(tile.iconImageView()->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
            QPixmap::fromImage(hover).toImage().convertToFormat(QImage::Format_ARGB32));
  int actions = 0;
  QObject::connect(&tile, &QAbstractButton::clicked, [&] { ++actions; });
  QTest::mouseClick(&tile, Qt::LeftButton, {}, QPoint(200, 36));
  EXPECT_FALSE(tile.isSelected());
  EXPECT_EQ(actions, 1);
  QTest::mouseClick(&tile, Qt::LeftButton, {}, QPoint(200, 36));
  EXPECT_TRUE(tile.isSelected());
  tile.changeButtonStart(false);
  EXPECT_FALSE(tile.isSelected());
}

TEST(NQTCustemButton, UnusableTileIgnoresClicks) {
  ui::NQTCustemButton tile;
  tile.setGeometry(0, 0, 400, 72);
  tile.setIconImage(QStringLiteral("icon_photo_no"), QStringLiteral("icon_photo_yes"));
  tile.show();
  tile.setButtonEnabled(false);
  int actions = 0;
  QObject::connect(&tile, &QAbstractButton::clicked, [&] { ++actions; });
  QTest::mouseClick(&tile, Qt::LeftButton, {}, QPoint(200, 36));
  EXPECT_TRUE(tile.isSelected());
  EXPECT_EQ(actions, 0);
}

TEST(QVHandButton, ShowsThePointingHand) {
  ui::QVHandButton button;
  EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
}

}  // namespace
