// The image button: the picture drawn for each state (hover, press, both
// enabled flags) and its scaling into the button.

#include "UiTestSupport.h"

#include "ui/toolkit/TCImageButton.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

using namespace ui;
using Drawn = TCImageButton::DrawnImage;

namespace {

struct ButtonFixture : ::testing::Test {
  QWidget host;
  TCImageButton* b = nullptr;
  void SetUp() override {
    host.resize(200, 100);
    b = new TCImageButton(QRect(10, 10, 60, 60), &host);
    b->setImageFromFileNormalName(QStringLiteral("back_normal"), QStringLiteral("back_press"),
                                  QStringLiteral("back_hover"), QStringLiteral("back_disable"));
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
  }
  void enter() {
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), b->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(b, &e);
  }
  void leave() {
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(b, &e);
  }
};

}  // namespace

TEST_F(ButtonFixture, ImageFollowsHoverPressAndTheTwoEnabledFlags) {
  EXPECT_EQ(b->dstRect(), QRectF(0, 0, 60, 60));
  EXPECT_EQ(b->drawnImage(), Drawn::Normal);
  enter();
  EXPECT_TRUE(b->isFocus());
  EXPECT_EQ(b->drawnImage(), Drawn::Hover);
  leave();
  EXPECT_EQ(b->drawnImage(), Drawn::Normal);

  b->setButtonEnabled(false);
  EXPECT_EQ(b->drawnImage(), Drawn::Disable);
  b->setButtonEnabled(true);
  EXPECT_EQ(b->drawnImage(), Drawn::Normal);

  b->setEnabled(false);
  EXPECT_EQ(b->drawnImage(), Drawn::Disable);
  enter();  // a platform-disabled button takes no hover
  EXPECT_FALSE(b->isFocus());
  b->setEnabled(true);
  enter();
  b->setEnabled(false);
  leave();  // leaving clears hover in every case
  EXPECT_FALSE(b->isFocus());
}

TEST_F(ButtonFixture, OwnDisabledFlagDropsClicks) {
  QSignalSpy clicked(b, &QAbstractButton::clicked);
  b->setButtonEnabled(false);
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_EQ(clicked.count(), 0);
  EXPECT_EQ(b->drawnImage(), Drawn::Disable);
  b->setButtonEnabled(true);
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_EQ(clicked.count(), 1);
}

TEST_F(ButtonFixture, PressedImageWhileHeldActionOnlyOnReleaseInside) {
  QSignalSpy clicked(b, &QAbstractButton::clicked);
  QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_TRUE(b->isTracking());
  EXPECT_EQ(b->drawnImage(), Drawn::Active);
  EXPECT_EQ(clicked.count(), 0);
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_FALSE(b->isTracking());
  EXPECT_EQ(clicked.count(), 1);

  // Released outside: no action.
  QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(150, 150));
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_EQ(b->drawnImage(), Drawn::Normal);
}

TEST_F(ButtonFixture, FocusFlagChangesWithoutRedrawing) {
  enter();
  EXPECT_EQ(b->drawnImage(), Drawn::Hover);
  b->setIsFocus(false);
  EXPECT_FALSE(b->isFocus());
  EXPECT_EQ(b->drawnImage(), Drawn::Normal);  // the next paint shows the normal image
}

TEST(TCImageButton, MissingImagesStayUndrawn) {
  QWidget host;
  host.resize(100, 100);
  auto* b = new TCImageButton(QRect(0, 0, 60, 60), &host);
  // Only a normal and a hover image.
  b->setImageFromFileNormalName(QStringLiteral("back_normal"), QStringLiteral("no_such"), QStringLiteral("back_hover"),
                                QStringLiteral("no_such_either"));
  host.show();
  QTest::mousePress(b, Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_EQ(b->drawnImage(), Drawn::None);
  const QImage img = host.grab().toImage();
  EXPECT_EQ(img.pixelColor(30, 30), host.palette().color(QPalette::Window));  // transparent button
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(20, 20));
  b->setButtonEnabled(false);
  EXPECT_EQ(b->drawnImage(), Drawn::None);

  // No normal image: a standard button.
  auto* plain = new TCImageButton(QRect(0, 60, 60, 30), &host);
  plain->setImageFromFileNormalName(QStringLiteral("missing"), {}, {}, {});
  EXPECT_EQ(plain->drawnImage(), Drawn::Standard);
  uitest::renderToPng(host, QStringLiteral("buttons"));
}

TEST(TCImageButton, RendersEachState) {
  TCImageButton b(QRect(0, 0, 60, 60), nullptr);
  b.setImageFromFileNormalName(QStringLiteral("back_normal"), QStringLiteral("back_press"),
                               QStringLiteral("back_hover"), QStringLiteral("back_disable"));
  const QImage normal = b.grab().toImage();
  b.setButtonEnabled(false);
  const QImage disabled = b.grab().toImage();
  EXPECT_NE(normal.pixelColor(30, 10), disabled.pixelColor(30, 10));
  uitest::renderToPng(b, QStringLiteral("button-disabled"));
}

// A 60-point picture on an 18-point button: drawn at its own size only its
// top-left corner shows; scaled to the frame the whole circle shows.
TEST(ImageButtonScaling, ScaledToTheFrameShowsTheWholePicture) {
  QWidget host;
  host.resize(40, 40);
  auto* b = new TCImageButton(QRect(0, 0, 18, 18), &host);
  b->setImageFromFileNormalName(QStringLiteral("pause_normal"), QStringLiteral("pause_press"),
                                QStringLiteral("pause_hover"), QStringLiteral("pause_disable"));
  auto blue = [](const QColor& c) { return c.blue() > 200 && c.red() < 120; };
  const QImage own = b->grab().toImage();
  EXPECT_FALSE(blue(own.pixelColor(1, 1))) << "own size: the picture's empty corner";
  EXPECT_TRUE(blue(own.pixelColor(17, 17))) << "own size: the circle fills the cut";
  b->setScalesImageToFrame(true);
  EXPECT_TRUE(b->scalesImageToFrame());
  const QImage scaled = b->grab().toImage();
  EXPECT_FALSE(blue(scaled.pixelColor(17, 17))) << "scaled: outside the circle";
  EXPECT_TRUE(blue(scaled.pixelColor(2, 9))) << "scaled: the circle's left edge";
}
