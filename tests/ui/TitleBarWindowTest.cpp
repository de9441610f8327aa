// The frameless window with its white title band: band and content
// geometry, its own window buttons, stored settings and drawing.

#include "UiTestSupport.h"

#include "ui/toolkit/TCImageButton.h"
#include "ui/toolkit/TCImageWindow.h"

#include <QPainter>
#include <QSettings>
#include <QTest>

using namespace ui;

namespace {

struct WindowFixture : ::testing::Test {
  TCImageWindow w;
  void SetUp() override {
    w.resize(600, 400);
    w.setTitleBarHeight(50);
    w.show();
  }
  QRect button(TCWindowButton::Kind k) const { return w.standardWindowButton(k)->geometry(); }
};

}  // namespace

TEST_F(WindowFixture, BandAndContentFollowTheTitleBarHeightAndResizes) {
  EXPECT_EQ(w.titleBarContainer()->geometry(), QRect(0, 0, 600, 50));
  EXPECT_EQ(w.titleBarView()->geometry(), QRect(0, 0, 600, 50));
  EXPECT_EQ(w.contentView()->geometry(), QRect(0, 50, 600, 350));
  w.resize(700, 500);
  EXPECT_EQ(w.titleBarContainer()->geometry(), QRect(0, 0, 700, 50));
  EXPECT_EQ(w.titleBarView()->geometry(), QRect(0, 0, 700, 50));
  EXPECT_EQ(w.contentView()->geometry(), QRect(0, 50, 700, 450));
  // A content view set later also starts below the band.
  auto* content = new QWidget;
  w.setContentView(content);
  EXPECT_EQ(content->geometry(), QRect(0, 50, 700, 450));
  EXPECT_EQ(w.cachedTitleBarHeight(), 50);
}

TEST_F(WindowFixture, ButtonsInARowCentredInTheBand) {
  // Band from 350 to 400 bottom-up: y0 = round(375 - 7) = 368, top = 400 - 368 - 14.
  EXPECT_EQ(button(TCWindowButton::Close), QRect(7, 18, 14, 14));
  EXPECT_EQ(button(TCWindowButton::Miniaturize), QRect(27, 18, 14, 14));
  EXPECT_EQ(button(TCWindowButton::Zoom), QRect(47, 18, 14, 14));

  w.setTrafficLightButtonsLeftMargin(20);
  w.setTrafficLightSeparation(10);
  EXPECT_EQ(button(TCWindowButton::Close), QRect(20, 18, 14, 14));
  EXPECT_EQ(button(TCWindowButton::Miniaturize), QRect(44, 18, 14, 14));
  EXPECT_EQ(button(TCWindowButton::Zoom), QRect(68, 18, 14, 14));

  // Not centred: 3 points below the top edge.
  w.setCenterTrafficLightButtons(false);
  EXPECT_EQ(button(TCWindowButton::Close).top(), 3);
}

TEST_F(WindowFixture, ButtonsInAColumnWithCloseOnTop) {
  w.setVerticalTrafficLightButtons(true);
  // Column height 3 x 14 + 2 x (6 - 2) = 50: zoom at the bottom of the band.
  EXPECT_EQ(button(TCWindowButton::Zoom), QRect(7, 36, 14, 14));
  EXPECT_EQ(button(TCWindowButton::Miniaturize), QRect(7, 18, 14, 14));
  EXPECT_EQ(button(TCWindowButton::Close), QRect(7, 0, 14, 14));
}

TEST_F(WindowFixture, StoredSettingsWaitForTheNextLayoutAndEqualValuesDoNothing) {
  w.setTopButtonMoveUp(4);
  w.setTrafficLightButtonsTopMargin(9);
  EXPECT_EQ(button(TCWindowButton::Close).top(), 18);
  // Equal values lay out nothing, so the raise is still pending.
  w.setTitleBarHeight(50);
  w.setTrafficLightButtonsLeftMargin(TCImageWindow::kDefaultTrafficLightLeftMargin);
  w.setTrafficLightSeparation(TCImageWindow::kDefaultTrafficLightSeparation);
  w.setCenterTrafficLightButtons(true);
  w.setVerticalTrafficLightButtons(false);
  EXPECT_EQ(button(TCWindowButton::Close).top(), 18);
  // A resize lays out: raised by 4.
  w.resize(601, 400);
  EXPECT_EQ(button(TCWindowButton::Close).top(), 14);
  // A new title lays out too.
  w.setTopButtonMoveUp(0);
  w.setWindowTitle(QStringLiteral("Other"));
  EXPECT_EQ(button(TCWindowButton::Close).top(), 18);
}

TEST_F(WindowFixture, SheetsAttachBelowTheBand) {
  EXPECT_EQ(w.willPositionSheet(QRect(100, 0, 200, 120)), QRect(100, 50, 200, 120));
  w.setTitleBarHeight(36);
  EXPECT_EQ(w.willPositionSheet(QRect(100, 300, 200, 120)), QRect(100, 36, 200, 120));
}

TEST(TCImageWindow, BandControlsWorkOnlyInTheActiveWindow) {
  TCImageWindow w1, w2;
  auto* b1 = new TCImageButton(QRect(100, 10, 16, 16), w1.titleBarView());
  auto* b2 = new TCImageButton(QRect(100, 10, 16, 16), w2.titleBarView());
  w1.setWindowTitle(QStringLiteral("one"));
  w2.setWindowTitle(QStringLiteral("two"));
  w1.setGeometry(0, 0, 300, 200);
  w2.setGeometry(310, 0, 300, 200);
  w1.show();
  w2.show();
  w1.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w1));
  EXPECT_TRUE(b1->isEnabled());
  EXPECT_FALSE(b2->isEnabled());
  EXPECT_EQ(w1.titleBarView()->findChild<QWidget*>(), b1);
  auto* view1 = static_cast<KSTitlebarView*>(w1.titleBarView());
  auto* view2 = static_cast<KSTitlebarView*>(w2.titleBarView());
  EXPECT_EQ(view1->getTitleFrame(&w1).color.alphaF(), 1.0);
  EXPECT_NEAR(view2->getTitleFrame(&w2).color.alphaF(), 0.5, 0.01);
  EXPECT_EQ(view2->getTitleFrame(&w2).color.red(), 56);

  w2.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w2));
  EXPECT_FALSE(b1->isEnabled());
  EXPECT_TRUE(b2->isEnabled());
  // The own flag is left as it was.
  EXPECT_TRUE(b1->isButtonEnabled());
}

TEST(TCImageWindow, DoubleClickMiniaturisesOnlyWhenTheUserAskedForIt) {
  TCImageWindow w;
  w.resize(300, 200);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QSettings().remove(QStringLiteral("AppleMiniaturizeOnDoubleClick"));
  QTest::mouseDClick(w.titleBarView(), Qt::LeftButton, {}, QPoint(150, 10));
  EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
  QSettings().setValue(QStringLiteral("AppleMiniaturizeOnDoubleClick"), false);
  QTest::mouseDClick(w.titleBarView(), Qt::LeftButton, {}, QPoint(150, 10));
  EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
  QSettings().setValue(QStringLiteral("AppleMiniaturizeOnDoubleClick"), true);
  QTest::mouseDClick(w.titleBarView(), Qt::LeftButton, {}, QPoint(150, 10));
  EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
  QSettings().remove(QStringLiteral("AppleMiniaturizeOnDoubleClick"));
}

TEST(TCImageWindow, FullScreenCanHideTheBandAndRestoreIt) {
  TCImageWindow w;
  w.resize(400, 300);
  w.setTitleBarHeight(40);
  w.setHideTitleBarInFullScreen(true);
  w.show();
  w.setWindowState(Qt::WindowFullScreen);
  EXPECT_EQ(w.titleBarHeight(), 0);
  EXPECT_EQ(w.cachedTitleBarHeight(), 40);
  EXPECT_TRUE(w.titleBarContainer()->isHidden());
  w.setWindowState(Qt::WindowNoState);
  EXPECT_EQ(w.titleBarHeight(), 40);
  EXPECT_FALSE(w.titleBarContainer()->isHidden());
  EXPECT_EQ(w.contentView()->geometry().top(), 40);
}

TEST(TCImageWindow, DrawingCallbackReplacesTheBandAndTitleStillDraws) {
  TCImageWindow w;
  w.resize(300, 200);
  w.setTitleBarHeight(40);
  w.setWindowTitle(QStringLiteral("Title"));
  w.setShowsTitle(true);
  int calls = 0;
  QRectF bounds;
  w.setTitleBarDrawingBlock([&](QPainter& p, bool, const QRectF& b, const QPainterPath& clip) {
    ++calls;
    bounds = b;
    p.fillPath(clip, QColor(10, 200, 10));
  });
  const QImage band = w.titleBarView()->grab().toImage();
  EXPECT_GE(calls, 1);
  EXPECT_EQ(bounds, QRectF(0, 0, 300, 40));
  EXPECT_EQ(band.pixelColor(20, 30), QColor(10, 200, 10));
  // Rounded top corners leave the very corner unpainted.
  EXPECT_NE(band.pixelColor(0, 0), QColor(10, 200, 10));
  uitest::renderToPng(w, QStringLiteral("window-callback"));
}

TEST(TCImageWindow, PlainBandIsWhiteAndContentStartsBelowIt) {
  TCImageWindow w;
  w.resize(300, 200);
  w.setTitleBarHeight(50);
  w.setWindowTitle(QStringLiteral("Quarnel"));
  w.setShowsTitle(true);
  w.contentView()->setAutoFillBackground(true);
  QPalette pal = w.contentView()->palette();
  pal.setColor(QPalette::Window, QColor(200, 0, 0));
  w.contentView()->setPalette(pal);
  const QImage img = w.grab().toImage();
  EXPECT_EQ(img.pixelColor(280, 40), QColor(Qt::white));
  EXPECT_EQ(img.pixelColor(280, 49), QColor(Qt::white));
  EXPECT_EQ(img.pixelColor(280, 50), QColor(200, 0, 0));
  uitest::renderToPng(w, QStringLiteral("window"));
}

TEST(TCImageWindow, ClippingPathRoundsOnlyTheTopCorners) {
  const QPainterPath path = KSTitlebarView::createClippingPathWithRectAndRadius(QRectF(0, 0, 100, 40), 4);
  EXPECT_FALSE(path.contains(QPointF(0.3, 0.3)));
  EXPECT_FALSE(path.contains(QPointF(99.7, 0.3)));
  EXPECT_TRUE(path.contains(QPointF(0.5, 39.5)));
  EXPECT_TRUE(path.contains(QPointF(99.5, 39.5)));
  EXPECT_TRUE(path.contains(QPointF(50, 0.5)));
}
