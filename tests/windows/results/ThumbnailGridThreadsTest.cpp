// The results window's thumbnail grid with a thumbnail maker the test
// controls: reused cells, small lists, a new selection during loading and a
// maker that blocks. Runs under ThreadSanitizer too (suite name).

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>

#include <map>
#include <set>

#include "GatedThumbnailSource.h"
#include "support/EventLoop.h"
#include "ui/windows/ThumbnailGridView.h"

namespace {

using resultstest::GatedThumbnailSource;
using resultstest::NodePicture;

// Every picture's size here.
const QSize kPicture(60, 40);

std::vector<quintptr> nodes(quintptr first, std::size_t count) {
  std::vector<quintptr> out;
  for (std::size_t i = 0; i < count; ++i) out.push_back(first + i);
  return out;
}

// Runs the event loop until `done` (three minutes at the most).
template <typename F>
bool spinUntil(F done);

// True once a maker call waits at the gate (the grid lays out its cells
// from the event loop).
bool waitForBlockedCall(const GatedThumbnailSource& source) {
  return spinUntil([&] { return source.blocked(); });
}

template <typename F>
bool spinUntil(F done) {
  // Only a bound for a hang: a loaded two-core machine under the thread
  // sanitizer may need many seconds for what takes milliseconds here.
  return testsupport::RunEventsUntil(done, 180000, 10);
}

bool showsPictureOf(windows::ThumbnailGridView& view, quint64 row, quintptr node) {
  ui::CNGridViewItem* item = view.itemForRow(row);
  return item && item->node() == node && item->itemImage() == NodePicture(node, kPicture);
}

class ThumbnailGridThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::CNGridView::timing() = {0, 0, 0};
    // Set by a results window earlier in this process; nodes here are no engine nodes.
    ui::CNGridViewItem::setScanRunningQuery({});
    ui::CNGridViewItem::setCheckStateQuery({});
    source = std::make_shared<GatedThumbnailSource>(QStringLiteral("file"), kPicture, true);
    view = std::make_unique<windows::ThumbnailGridView>(source);
    view->resize(640, 480);
    view->show();
  }
  void TearDown() override {
    source->open();
    view.reset();
    ui::CNGridView::timing() = {};
  }
  std::shared_ptr<GatedThumbnailSource> source;
  std::unique_ptr<windows::ThumbnailGridView> view;
};

TEST_F(ThumbnailGridThreads, TenRowsOrFewerAllLoadWithTitlesMarksAndChecks) {
  for (std::size_t count : {1u, 4u, 10u}) {
    view->setRows(nodes(100, count));
    ASSERT_TRUE(spinUntil([&] {
      for (std::size_t row = 0; row < count; ++row)
        if (!showsPictureOf(*view, row, 100 + row)) return false;
      return view->gridImageState() == 2;
    })) << count;
    for (std::size_t row = 0; row < count; ++row) {
      const quintptr node = 100 + row;
      EXPECT_TRUE(showsPictureOf(*view, row, node)) << count << " row " << row;
      ui::CNGridViewItem* item = view->itemForRow(row);
      ASSERT_NE(item, nullptr);
      EXPECT_EQ(item->itemTitle(), QStringLiteral("file%1.jpg").arg(node));
      auto* mark = item->findChild<QLabel*>(QStringLiteral("deletedMark"));
      ASSERT_NE(mark, nullptr);
      EXPECT_EQ(mark->isVisibleTo(item), node % 2 == 1);
    }
  }
}

TEST_F(ThumbnailGridThreads, CheckBoxTogglesItsRowAndShowsTheNewState) {
  std::vector<quint64> toggled;
  view->onToggleRow = [&](quint64 row) {
    toggled.push_back(row);
    source->toggle(view->rows()[row]);
  };
  view->setRows(nodes(1, 3));
  ASSERT_TRUE(spinUntil([&] { return showsPictureOf(*view, 2, 3); }));
  ui::CNGridViewItem* item = view->itemForRow(2);
  ASSERT_NE(item, nullptr);
  const QImage before = item->itemButton()->icon().pixmap(13, 13).toImage();
  item->itemButton()->click();
  EXPECT_EQ(toggled, std::vector<quint64>{2});
  EXPECT_EQ(source->checkState(3), 2);
  EXPECT_NE(item->itemButton()->icon().pixmap(13, 13).toImage(), before);
}

// Cells scrolled out and handed to other rows while their first nodes'
// thumbnails are still being made keep their new nodes' pictures.
TEST_F(ThumbnailGridThreads, ReusedCellNeverShowsThePreviousNodesLateThumbnail) {
  std::set<quintptr> firstScreen;
  for (quintptr n = 1000; n < 1040; ++n) firstScreen.insert(n);
  source->gate(firstScreen);
  view->setRows(nodes(1000, 400));
  ASSERT_TRUE(waitForBlockedCall(*source));
  std::map<ui::CNGridViewItem*, quintptr> before;
  for (const auto& [index, base] : view->grid()->keyedVisibleItems())
    before[qobject_cast<ui::CNGridViewItem*>(base)] = base ? qobject_cast<ui::CNGridViewItem*>(base)->node() : 0;
  ASSERT_FALSE(before.empty());
  // Far down: the top rows' cells are reused for rows below.
  view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
  std::vector<ui::CNGridViewItem*> reused;
  ASSERT_TRUE(spinUntil([&] {
    reused.clear();
    for (const auto& [index, base] : view->grid()->keyedVisibleItems()) {
      auto* item = qobject_cast<ui::CNGridViewItem*>(base);
      if (before.count(item) && before[item] != item->node()) reused.push_back(item);
    }
    return !reused.empty();
  }));
  source->open();
  ASSERT_TRUE(spinUntil([&] { return view->gridImageState() == 2; }));
  for (ui::CNGridViewItem* item : reused) {
    EXPECT_NE(item->itemImage(), NodePicture(before[item], kPicture)) << before[item];
    EXPECT_EQ(item->itemImage(), NodePicture(item->node(), kPicture)) << item->node();
  }
}

// The old rows' thumbnails still queued are never made once the rows
// change, and the one being made is dropped.
TEST_F(ThumbnailGridThreads, NewSelectionStopsTheRunningLoaderFirst) {
  source->gate({1});
  view->setRows(nodes(1, 8));
  ASSERT_TRUE(waitForBlockedCall(*source));
  const int before = view->generation();
  view->setRows(nodes(501, 8));
  EXPECT_GT(view->generation(), before);
  source->open();
  ASSERT_TRUE(spinUntil([&] { return view->gridImageState() == 2; }));
  std::vector<quintptr> calls = source->calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), 1u);
  for (std::size_t i = 1; i < calls.size(); ++i)
    EXPECT_GE(calls[i], 501u) << "old row " << calls[i] << " made after the new selection";
  for (quint64 row = 0; row < 8; ++row) EXPECT_TRUE(showsPictureOf(*view, row, 501 + row)) << row;
}

// A maker that never returns on its own: the window keeps running its
// events and takes many new selections; when the maker returns, only the
// last selection's thumbnails show, in bounded time.
TEST_F(ThumbnailGridThreads, BlockedMakerNeverBlocksTheWindow) {
  source->gate({7});
  view->setRows(nodes(7, 5));
  ASSERT_TRUE(waitForBlockedCall(*source));
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(1);
  for (quintptr round = 1; round <= 50; ++round) {
    view->setRows(nodes(round * 100, 12));
    QCoreApplication::processEvents();
  }
  ASSERT_TRUE(spinUntil([&] { return ticks >= 5; }));
  EXPECT_EQ(view->gridImageState(), 0);
  source->open();
  ASSERT_TRUE(spinUntil([&] { return view->gridImageState() == 2; }));
  for (quint64 row = 0; row < 12; ++row) {
    if (view->itemForRow(row)) {
      EXPECT_TRUE(showsPictureOf(*view, row, 5000 + row)) << row;
    }
  }
  EXPECT_TRUE(showsPictureOf(*view, 0, 5000));
}

}  // namespace
