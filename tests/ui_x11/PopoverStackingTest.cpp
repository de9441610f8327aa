// The attached popover stays above its owner window when the owner is
// raised or activated, as the X server stacks them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include "ui/toolkit/MAAttachedWindow.h"
#include "ui/toolkit/TCImageWindow.h"

namespace {

void settle(int ms = 300) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The top-level window the X server shows at a global point.
QWidget* shownAt(const QPoint& global) { return QApplication::topLevelAt(global); }

TEST(PopoverStacking, StaysAboveItsOwnerAfterTheOwnerIsActivated) {
  ui::TCImageWindow owner;
  owner.setGeometry(100, 100, 500, 400);
  owner.setContentView(new QWidget);
  owner.show();
  settle();
  auto* view = new QLabel(QStringLiteral("Deep Scan finds more files"));
  view->resize(220, 60);
  ui::MAAttachedWindow* popover = ui::MAAttachedWindow::create(view, QPointF(250, 200), &owner, 1, 4);
  ASSERT_NE(popover, nullptr);
  popover->show();
  settle();
  const QPoint centre = popover->mapToGlobal(popover->rect().center());
  ASSERT_EQ(shownAt(centre), popover);

  owner.raise();
  owner.activateWindow();
  settle();
  EXPECT_TRUE(popover->isVisible());
  EXPECT_EQ(shownAt(centre), popover);

  // And again after the owner was covered by another window and came back.
  QWidget other;
  other.setGeometry(80, 80, 600, 500);
  other.show();
  settle();
  EXPECT_EQ(shownAt(centre), &other);
  owner.raise();
  owner.activateWindow();
  settle();
  EXPECT_EQ(shownAt(centre), popover);
}

}  // namespace
