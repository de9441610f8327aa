// User resizing of the custom title-bar window by its edges and corners.

#include <gtest/gtest.h>

#include <QTest>

#include "UiTestSupport.h"
#include "ui/toolkit/TCImageWindow.h"

namespace {

using ui::TCResizeHandle;

TEST(WindowResizing, FrameFollowsTheDraggedEdgesWithinTheLimits) {
  const QRect frame(100, 100, 400, 300);
  const QSize minimum(200, 150);
  const QSize maximum(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  const QPoint start(0, 0);
  const struct {
    Qt::Edges edges;
    QPoint to;
    QRect expected;
  } cases[] = {
      {Qt::RightEdge, {50, 30}, QRect(100, 100, 450, 300)},
      {Qt::BottomEdge, {50, 30}, QRect(100, 100, 400, 330)},
      {Qt::BottomEdge | Qt::RightEdge, {50, 30}, QRect(100, 100, 450, 330)},
      {Qt::LeftEdge, {-20, 0}, QRect(80, 100, 420, 300)},
      {Qt::TopEdge | Qt::LeftEdge, {10, 10}, QRect(110, 110, 390, 290)},
      // Never below the minimum, whichever side moves.
      {Qt::LeftEdge, {350, 0}, QRect(300, 100, 200, 300)},
      {Qt::RightEdge, {-350, 0}, QRect(100, 100, 200, 300)},
      {Qt::TopEdge, {0, 500}, QRect(100, 250, 400, 150)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TCResizeHandle::resizedFrame(frame, c.edges, start, c.to, minimum, maximum), c.expected) << int(c.edges);
  EXPECT_EQ(TCResizeHandle::resizedFrame(frame, Qt::RightEdge, start, {500, 0}, minimum, QSize(600, 400)),
            QRect(100, 100, 600, 300));
}

TEST(WindowResizing, FixedUntilAskedThenTheCornerResizesAndTheLayoutFollows) {
  ui::TCImageWindow window;
  window.setTitleBarHeight(40);
  window.setGeometry(50, 50, 400, 300);
  window.setMinimumSize(300, 200);
  window.show();
  EXPECT_FALSE(window.isResizable());
  EXPECT_TRUE(window.findChildren<TCResizeHandle*>().isEmpty());

  window.setResizable(true);
  const auto handles = window.findChildren<TCResizeHandle*>();
  ASSERT_EQ(handles.size(), 8);
  TCResizeHandle* corner = nullptr;
  for (TCResizeHandle* h : handles)
    if (h->edges() == (Qt::BottomEdge | Qt::RightEdge)) corner = h;
  ASSERT_NE(corner, nullptr);
  EXPECT_TRUE(corner->isVisible());
  EXPECT_EQ(corner->geometry(), QRect(396, 296, 4, 4));
  EXPECT_EQ(corner->cursor().shape(), Qt::SizeFDiagCursor);

  QTest::mousePress(corner, Qt::LeftButton, {}, QPoint(2, 2));
  QTest::mouseMove(corner, QPoint(62, 42));
  QTest::mouseRelease(corner, Qt::LeftButton, {}, QPoint(62, 42));
  EXPECT_EQ(window.size(), QSize(460, 340));
  EXPECT_EQ(window.pos(), QPoint(50, 50));
  // The band, the content and the handles follow the new size.
  EXPECT_EQ(window.contentView()->geometry(), QRect(0, 40, 460, 300));
  EXPECT_EQ(corner->geometry(), QRect(456, 336, 4, 4));

  window.setResizable(false);
  EXPECT_FALSE(corner->isVisible());
}

}  // namespace
