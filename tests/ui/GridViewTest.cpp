// The thumbnail grid: cell geometry, reload and reuse of item views,
// hover, selection by mouse and keys, rubber band and notifications, and
// the results window's grid item.

#include "UiTestSupport.h"

#include "ui/toolkit/CNGridView.h"
#include "ui/toolkit/ImageStore.h"

#include <QCoreApplication>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <thread>

using namespace ui;

namespace {

struct Source : CNGridViewDataSource {
  quint64 count = 0;
  int created = 0;
  std::optional<quint64> gridViewNumberOfItemsInSection(CNGridView*, quint64) override { return count; }
  CNGridViewItemBase* gridViewItemAtIndex(CNGridView* grid, quint64, quint64) override {
    CNGridViewItemBase* item = grid->dequeueReusableItemWithIdentifier(QString::fromLatin1(kCNDefaultItemIdentifier));
    if (!item) {
      item = new CNGridViewItem(grid);
      ++created;
    }
    return item;
  }
};

void settle() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

std::set<quint64> placed(const CNGridView& g) {
  std::set<quint64> out;
  for (const auto& [i, item] : g.keyedVisibleItems()) out.insert(i);
  return out;
}

std::set<quint64> range(quint64 from, quint64 to) {
  std::set<quint64> out;
  for (quint64 i = from; i < to; ++i) out.insert(i);
  return out;
}

quint64 indexOf(const Notification& n) {
  return n.userInfo.value(QString::fromLatin1(CNGridViewItemIndexKey)).toULongLong();
}

struct GridFixture : ::testing::Test {
  QScrollArea area;
  CNGridView* grid = new CNGridView;
  Source source;

  void SetUp() override {
    CNGridView::timing() = {0, 0, 0};
    area.setFrameShape(QFrame::NoFrame);
    area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.resize(450, 300);
    area.setWidget(grid);
    grid->setDataSource(&source);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
  }
  void TearDown() override { CNGridView::timing() = {}; }
  void load(quint64 n) {
    source.count = n;
    grid->reloadData();
    settle();
  }
  void scrollTo(int y) {
    area.verticalScrollBar()->setValue(y);
    settle();
  }
  void showActive() {
    area.show();
    area.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&area));
  }
  // A real pointer move through the window, as the platform sends it.
  void hover(const QPoint& gridPoint) {
    QTest::mouseMove(area.windowHandle(), grid->mapTo(&area, gridPoint));
    QCoreApplication::processEvents();
  }
  QPoint centreOf(quint64 index) const { return grid->rectForItemAtIndex(index).center().toPoint(); }
};

}  // namespace

TEST(CNGridGeometry, LayoutArithmetic) {
  struct Case {
    qreal width, height, scrollY;
    quint64 items;
    bool centre;
    quint64 columns, rows;
    qreal inset;
    std::pair<quint64, quint64> range;
  };
  const Case cases[] = {
      {100, 300, 0, 10, false, 1, 10, 0, {0, 3}},
      {449, 300, 0, 10, false, 2, 5, 0, {0, 6}},
      {450, 300, 0, 10, false, 3, 4, 0, {0, 9}},
      {450, 300, 0, 7, false, 3, 3, 0, {0, 7}},
      {500, 300, 0, 7, true, 3, 3, 25, {0, 7}},
      {450, 1500, 0, 5, false, 3, 2, 0, {0, 5}},      // 10 visible rows, 5 items
      {450, 300, 150, 100, false, 3, 34, 0, {0, 9}},  // 0..150 start at 0
      {450, 300, 151, 100, false, 3, 34, 0, {3, 9}},  // second row
      {450, 300, 300, 100, false, 3, 34, 0, {3, 9}},
      {450, 300, 301, 100, false, 3, 34, 0, {6, 9}},    // third row
      {450, 300, 4800, 100, false, 3, 34, 0, {93, 7}},  // cut at the last item
      {450, 300, 900, 3, false, 3, 1, 0, {15, 0}},      // scrolled past the items
      {0, 0, 0, 0, false, 1, 0, 0, {0, 0}},
  };
  for (const Case& c : cases) {
    CNGridGeometry g{QRectF(0, c.scrollY, c.width, c.height), c.items, 0};
    g.contentInset = g.refreshedInset(c.centre);
    SCOPED_TRACE(testing::Message() << "w " << c.width << " y " << c.scrollY << " n " << c.items);
    EXPECT_EQ(g.columnsInGridView(), c.columns);
    EXPECT_EQ(g.allOverRowsInGridView(), c.rows);
    EXPECT_EQ(g.contentInset, c.inset);
    EXPECT_EQ(g.visibleItemRange(), c.range);
    EXPECT_EQ(g.contentHeight(), c.rows * 150 + 2 * c.inset);
  }
}

TEST(CNGridGeometry, ItemRectanglesAndHitTesting) {
  CNGridGeometry g{QRectF(0, 0, 450, 300), 7, 0};
  EXPECT_EQ(g.rectForItemAtIndex(4), QRectF(150, 150, 150, 150));
  EXPECT_EQ(g.rectForItemAtIndex(6), QRectF(0, 300, 150, 150));
  struct Hit {
    QPointF p;
    quint64 index;
  };
  const Hit hits[] = {
      {{10, 10}, 0},
      {{160, 160}, 4},
      {{449.9, 10}, 2},
      {{450, 10}, NSNotFound},   // right of the last column
      {{160, 310}, NSNotFound},  // cell after the last item
      {{10, 310}, 6},
      {{-1, 10}, NSNotFound},
  };
  for (const Hit& h : hits) EXPECT_EQ(g.indexForItemAtLocation(h.p), h.index) << h.p;

  CNGridGeometry centred{QRectF(0, 0, 500, 300), 7, 25};
  EXPECT_EQ(centred.rectForItemAtIndex(0), QRectF(25, 25, 150, 150));
  EXPECT_EQ(centred.rectForItemAtIndex(1), QRectF(175, 25, 150, 150));
  EXPECT_EQ(centred.indexForItemAtLocation({20, 30}), NSNotFound);
  EXPECT_EQ(centred.indexForItemAtLocation({30, 20}), NSNotFound);
  EXPECT_EQ(centred.indexForItemAtLocation({475, 30}), NSNotFound);
  EXPECT_EQ(centred.indexForItemAtLocation({474, 30}), 2u);

  CNGridGeometry empty{QRectF(0, 0, 450, 300), 0, 0};
  EXPECT_EQ(empty.indexForItemAtLocation({10, 10}), NSNotFound);
}

TEST_F(GridFixture, ReloadPlacesVisibleRowsPlusOne) {
  load(100);
  EXPECT_EQ(placed(*grid), range(0, 9));
  EXPECT_EQ(source.created, 9);
  EXPECT_EQ(grid->height(), 34 * 150);
  EXPECT_EQ(grid->width(), 450);
  EXPECT_EQ(grid->visibleItemAtIndex(4)->geometry(), QRect(150, 150, 150, 150));
  EXPECT_EQ(grid->visibleItemAtIndex(4)->index(), 4u);
  EXPECT_EQ(grid->visibleItemAtIndex(4)->alphaValue(), 1.0);

  // Reloading drops every view and asks again.
  load(4);
  EXPECT_EQ(placed(*grid), range(0, 4));
  EXPECT_EQ(source.created, 13);
  EXPECT_EQ(grid->height(), 2 * 150);
}

TEST_F(GridFixture, ScrollingRecyclesItemsThroughTheReuseQueue) {
  load(100);
  scrollTo(600);
  EXPECT_EQ(placed(*grid), range(9, 18));
  EXPECT_EQ(source.created, 9);  // all reused
  EXPECT_EQ(grid->reuseableItemCount(QString::fromLatin1(kCNDefaultItemIdentifier)), 0);
  EXPECT_EQ(grid->visibleItemAtIndex(9)->geometry(), QRect(0, 450, 150, 150));

  scrollTo(4800);
  EXPECT_EQ(placed(*grid), range(93, 100));
  EXPECT_EQ(grid->reuseableItemCount(QString::fromLatin1(kCNDefaultItemIdentifier)), 2);
}

TEST_F(GridFixture, DequeuedItemsComeBackReset) {
  load(100);
  auto* item = static_cast<CNGridViewItem*>(grid->visibleItemAtIndex(0));
  item->setHovered(true);
  item->setRepresentedObject(42);
  item->setItemImage(QImage(10, 10, QImage::Format_ARGB32));
  item->setItemTitle(QStringLiteral("a.jpg"));
  item->setSelectable(false);
  source.count = 100;
  scrollTo(4800);  // item 0 goes to the queue
  CNGridViewItemBase* again = nullptr;
  while (CNGridViewItemBase* next =
             grid->dequeueReusableItemWithIdentifier(QString::fromLatin1(kCNDefaultItemIdentifier)))
    if (next == item) again = next;
  ASSERT_EQ(again, item);
  EXPECT_EQ(item->index(), NSNotFound);
  EXPECT_FALSE(item->selected());
  EXPECT_FALSE(item->hovered());
  EXPECT_TRUE(item->selectable());
  EXPECT_FALSE(item->representedObject().isValid());
  EXPECT_TRUE(item->itemImage().isNull());
  EXPECT_TRUE(item->itemTitle().isEmpty());
  EXPECT_EQ(grid->dequeueReusableItemWithIdentifier(QStringLiteral("other")), nullptr);
}

TEST_F(GridFixture, SelectedItemsStayPlacedWhileOthersAreRecycled) {
  load(100);
  CNGridViewItemBase* one = grid->visibleItemAtIndex(1);
  grid->selectItem(one);
  scrollTo(600);
  std::set<quint64> expected = range(9, 18);
  expected.insert(1);
  EXPECT_EQ(placed(*grid), expected);
  EXPECT_EQ(grid->visibleItemAtIndex(1), one);
  EXPECT_TRUE(one->selected());
  EXPECT_EQ(source.created, 10);  // eight of the old views were reused
}

TEST_F(GridFixture, WidthChangesRearrangeTheColumns) {
  load(100);
  area.resize(600, 300);
  settle();
  EXPECT_EQ(grid->width(), 600);
  EXPECT_EQ(grid->columnsInGridView(), 4u);
  EXPECT_EQ(grid->height(), 25 * 150);
  EXPECT_EQ(grid->visibleItemAtIndex(4)->geometry(), QRect(0, 150, 150, 150));
  EXPECT_EQ(placed(*grid), range(0, 12));

  grid->setUseCenterAlignment(true);
  area.resize(500, 300);
  settle();
  EXPECT_EQ(grid->contentInset(), 25);
  EXPECT_EQ(grid->visibleItemAtIndex(1)->geometry(), QRect(175, 25, 150, 150));
}

TEST_F(GridFixture, NewItemsFadeInOnFirstAppearance) {
  CNGridView::timing().fadeInMs = 40;
  load(5);
  CNGridViewItemBase* item = grid->visibleItemAtIndex(0);
  ASSERT_NE(item, nullptr);
  EXPECT_LT(item->alphaValue(), 1.0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return item->alphaValue() == 1.0; }, 3000));
  EXPECT_EQ(item->graphicsEffect(), nullptr);
}

TEST_F(GridFixture, BackgroundIsAlwaysTheControlColour) {
  grid->setBackgroundColor(QColor(255, 0, 255));
  const QPalette pal = area.viewport()->palette();
  EXPECT_EQ(pal.color(QPalette::Window), pal.color(QPalette::Button));
}

TEST_F(GridFixture, DataSourceWithoutACountShowsNothing) {
  struct Silent : CNGridViewDataSource {
    int asked = 0;
    CNGridViewItemBase* gridViewItemAtIndex(CNGridView*, quint64, quint64) override {
      ++asked;
      return nullptr;
    }
  } silent;
  grid->setDataSource(&silent);
  grid->reloadData();
  settle();
  EXPECT_EQ(grid->numberOfItems(), 0u);
  EXPECT_EQ(silent.asked, 0);
  EXPECT_TRUE(grid->keyedVisibleItems().empty());
}

TEST_F(GridFixture, HoverPostsUnhoverThenHover) {
  load(5);
  showActive();
  uitest::NoteRecorder rec;
  hover(centreOf(3));
  hover(centreOf(3) + QPoint(5, 5));  // same item: nothing
  hover(centreOf(4));
  EXPECT_TRUE(grid->visibleItemAtIndex(4)->hovered());
  EXPECT_FALSE(grid->visibleItemAtIndex(3)->hovered());
  hover(QPoint(375, 225));  // empty cell after the last item
  hover(QPoint(380, 230));
  const auto names = rec.namesWithPrefix(QStringLiteral("CNGridView"));
  ASSERT_EQ(names,
            (std::vector<QString>{"CNGridViewWillHoverItem", "CNGridViewWillUnhoverItem", "CNGridViewWillHoverItem",
                                  "CNGridViewWillUnhoverItem", "CNGridViewWillHoverItem"}));
  std::vector<quint64> indexes;
  for (const auto& n : rec.notes)
    if (n.name.startsWith(QStringLiteral("CNGridView"))) indexes.push_back(indexOf(n));
  EXPECT_EQ(indexes, (std::vector<quint64>{3, 3, 4, 4, NSNotFound}));
  EXPECT_FALSE(grid->visibleItemAtIndex(4)->hovered());
  EXPECT_EQ(grid->lastHoveredIndex(), NSNotFound);
  EXPECT_EQ(rec.notes.front().object.value<QObject*>(), grid);
}

TEST_F(GridFixture, NoHoverWhenSwitchedOff) {
  load(5);
  showActive();
  grid->useHover = false;
  uitest::NoteRecorder rec;
  hover(centreOf(1));
  hover(centreOf(2));
  EXPECT_TRUE(rec.namesWithPrefix(QStringLiteral("CNGridView")).empty());
}

TEST_F(GridFixture, RightClickSelectsOnlyTheClickedItem) {
  load(6);
  showActive();
  grid->selectItem(grid->visibleItemAtIndex(1));
  grid->selectItem(grid->visibleItemAtIndex(2));
  uitest::NoteRecorder rec;
  QTest::mouseClick(grid, Qt::RightButton, {}, centreOf(4));
  EXPECT_EQ(
      rec.namesWithPrefix(QStringLiteral("CNGridView")),
      (std::vector<QString>{"CNGridViewWillDeselectAllItems", "CNGridViewDeSelectAllItems",
                            "CNGridViewDidDeselectAllItems", "CNGridViewWillSelectItem", "CNGridViewDidSelectItem"}));
  EXPECT_EQ(grid->selectedIndexes(), (std::set<quint64>{4}));
  EXPECT_FALSE(grid->visibleItemAtIndex(1)->selected());
  EXPECT_FALSE(grid->visibleItemAtIndex(2)->selected());
  EXPECT_TRUE(grid->visibleItemAtIndex(4)->selected());
  EXPECT_EQ(indexOf(rec.notes.back()), 4u);

  // Again on the same item: nothing.
  rec.notes.clear();
  QTest::mouseClick(grid, Qt::RightButton, {}, centreOf(4));
  EXPECT_TRUE(rec.namesWithPrefix(QStringLiteral("CNGridView")).empty());

  // On empty space: everything is deselected.
  QTest::mouseClick(grid, Qt::RightButton, {}, QPoint(10, 400));
  EXPECT_EQ(rec.namesWithPrefix(QStringLiteral("CNGridView")),
            (std::vector<QString>{"CNGridViewWillDeselectAllItems", "CNGridViewDeSelectAllItems",
                                  "CNGridViewDidDeselectAllItems"}));
  EXPECT_TRUE(grid->selectedIndexes().empty());

  // A left click does nothing.
  rec.notes.clear();
  QTest::mouseClick(grid, Qt::LeftButton, {}, centreOf(3));
  EXPECT_TRUE(rec.namesWithPrefix(QStringLiteral("CNGridView")).empty());
  EXPECT_TRUE(grid->selectedIndexes().empty());
}

TEST_F(GridFixture, SelectionCallsArePostedOnceAndReachTheDelegate) {
  struct Delegate : CNGridViewDelegate {
    std::vector<std::string> calls;
    void gridViewWillSelectItemAtIndex(CNGridView*, quint64 i, quint64) override {
      calls.push_back("willSelect" + std::to_string(i));
    }
    void gridViewDidSelectItemAtIndex(CNGridView*, quint64 i, quint64) override {
      calls.push_back("didSelect" + std::to_string(i));
    }
    void gridViewWillDeselectItemAtIndex(CNGridView*, quint64 i, quint64) override {
      calls.push_back("willDeselect" + std::to_string(i));
    }
    void gridViewDidDeselectItemAtIndex(CNGridView*, quint64 i, quint64) override {
      calls.push_back("didDeselect" + std::to_string(i));
    }
    void gridViewWillDeselectAllItems(CNGridView*, const QList<CNGridViewItemBase*>& items) override {
      calls.push_back("willDeselectAll" + std::to_string(items.size()));
    }
    void gridViewDidDeselectAllItems(CNGridView*) override { calls.push_back("didDeselectAll"); }
  } delegate;
  grid->setDelegate(&delegate);
  load(6);
  uitest::NoteRecorder rec;
  grid->deselectAllItems();  // nothing selected: nothing posted
  EXPECT_TRUE(rec.notes.empty());
  grid->selectItem(grid->visibleItemAtIndex(2));
  grid->selectItem(grid->visibleItemAtIndex(2));
  grid->deSelectItem(grid->visibleItemAtIndex(2));
  grid->deSelectItem(grid->visibleItemAtIndex(2));
  grid->selectItem(grid->visibleItemAtIndex(0));
  grid->selectItem(grid->visibleItemAtIndex(5));
  grid->deselectAllItems();
  EXPECT_EQ(delegate.calls, (std::vector<std::string>{"willSelect2", "didSelect2", "willDeselect2", "didDeselect2",
                                                      "willSelect0", "didSelect0", "willSelect5", "didSelect5",
                                                      "willDeselectAll2", "didDeselectAll"}));
  EXPECT_EQ(rec.notes.size(), delegate.calls.size() + 1);  // plus DeSelectAllItems
  const auto& willAll = rec.notes[rec.notes.size() - 3];
  EXPECT_EQ(willAll.name, QStringLiteral("CNGridViewWillDeselectAllItems"));
  EXPECT_EQ(willAll.userInfo.value(QStringLiteral("CNGridViewSelectedItems")).toList().size(), 2);
  grid->setDelegate(nullptr);
}

TEST_F(GridFixture, ContextMenuGetsTheAffectedIndexes) {
  load(6);
  showActive();
  QMenu menu;
  QAction* action = menu.addAction(QStringLiteral("Recover"));
  grid->itemContextMenu = &menu;
  grid->selectItem(grid->visibleItemAtIndex(1));
  grid->selectItem(grid->visibleItemAtIndex(2));
  uitest::NoteRecorder rec(QString::fromLatin1(CNGridViewRightMouseButtonClickedOnItemNotification));
  QTest::mouseClick(grid, Qt::RightButton, {}, centreOf(2));
  EXPECT_TRUE(menu.isVisible());
  EXPECT_EQ(action->data().value<QList<quint64>>(), (QList<quint64>{1, 2}));
  EXPECT_TRUE(rec.notes.empty());
  menu.hide();
  ASSERT_EQ(rec.notes.size(), 1u);
  EXPECT_EQ(rec.notes[0].userInfo.value(QStringLiteral("CNGridViewItemsIndexSetKey")).toList().size(), 2);
  menu.hide();
  EXPECT_EQ(rec.notes.size(), 1u);
  grid->itemContextMenu = nullptr;
}

TEST_F(GridFixture, DeselectAllFromAnyGridClearsEveryItem) {
  load(6);
  CNGridView other;
  Source otherSource;
  otherSource.count = 2;
  other.resize(450, 300);
  other.setDataSource(&otherSource);
  other.reloadData();
  settle();
  grid->selectItem(grid->visibleItemAtIndex(0));
  other.selectItem(other.visibleItemAtIndex(1));
  other.deselectAllItems();
  EXPECT_FALSE(grid->visibleItemAtIndex(0)->selected());
  EXPECT_FALSE(other.visibleItemAtIndex(1)->selected());
  // The first grid still lists its selection.
  EXPECT_EQ(grid->selectedIndexes(), (std::set<quint64>{0}));

  grid->setAllowsMultipleSelection(true);
  grid->setAllowsMultipleSelection(false);  // switched off with a selection: cleared
  EXPECT_TRUE(grid->selectedIndexes().empty());
}

TEST_F(GridFixture, EscapeAbortsRubberBandSelection) {
  load(9);
  showActive();
  grid->setAllowsMultipleSelection(true);
  grid->allowsMultipleSelectionWithDrag = true;
  grid->setFocus();
  QTest::keyClick(grid, Qt::Key_Escape);
  EXPECT_TRUE(grid->abortSelection());
  QTest::mousePress(grid, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(grid, QPoint(20, 20));
  QTest::mouseMove(grid, QPoint(310, 160));
  QTest::mouseRelease(grid, Qt::LeftButton, {}, QPoint(310, 160));
  EXPECT_EQ(grid->selectionFrameView(), nullptr);
  EXPECT_TRUE(grid->selectedIndexes().empty());
}

TEST_F(GridFixture, RubberBandSelectsTheCoveredCellsWhenEnabled) {
  load(9);
  showActive();
  // Off by default: a drag selects nothing.
  QTest::mousePress(grid, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(grid, QPoint(20, 20));
  QTest::mouseMove(grid, QPoint(310, 160));
  QTest::mouseRelease(grid, Qt::LeftButton, {}, QPoint(310, 160));
  EXPECT_TRUE(grid->selectedIndexes().empty());

  grid->setAllowsMultipleSelection(true);
  grid->allowsMultipleSelectionWithDrag = true;
  QTest::mousePress(grid, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(grid, QPoint(20, 20));
  ASSERT_NE(grid->selectionFrameView(), nullptr);
  QTest::mouseMove(grid, QPoint(310, 160));
  EXPECT_EQ(grid->selectionFrameView()->geometry(), QRect(20, 20, 290, 140));
  EXPECT_TRUE(grid->visibleItemAtIndex(5)->selected());
  EXPECT_FALSE(grid->visibleItemAtIndex(6)->selected());
  uitest::renderToPng(area, QStringLiteral("grid-band"));
  QTest::mouseRelease(grid, Qt::LeftButton, {}, QPoint(310, 160));
  EXPECT_EQ(grid->selectionFrameView(), nullptr);
  EXPECT_EQ(grid->selectedIndexes(), range(0, 6));
}

TEST(CNGridViewItem, ImageIsSqueezedIntoTheBoxPerAxis) {
  const QRectF b(0, 0, 150, 150);
  struct Case {
    QSizeF image;
    QRectF expected;
  };
  const Case cases[] = {
      {{200, 50}, {32.5, 42.5, 90, 50}},
      {{40, 40}, {57.5, 47.5, 40, 40}},
      {{90, 90}, {32.5, 22.5, 90, 90}},
      {{300, 300}, {32.5, 22.5, 90, 90}},
  };
  for (const Case& c : cases) EXPECT_EQ(CNGridViewItem::imageRectForSize(c.image, b), c.expected);
}

TEST(CNGridViewItem, CheckButtonRefusedWhileAScanRunsElseFlipsAndTellsTheDelegate) {
  struct Delegate : CNGridViewItemDelegate {
    std::vector<quint64> selected;
    void doSelectItem(quint64 index) override { selected.push_back(index); }
  } delegate;
  bool running = true;
  int state = 2;
  CNGridViewItem::setScanRunningQuery([&] { return running; });
  CNGridViewItem::setCheckStateQuery([&](quintptr) { return state; });
  CNGridViewItem item;
  item.setDelegate(&delegate);
  item.setIndex(7);
  item.setNode(1234);
  QTest::mouseClick(item.itemButton(), Qt::LeftButton);
  EXPECT_TRUE(delegate.selected.empty());
  EXPECT_TRUE(item.itemButton()->icon().isNull());

  running = false;
  QTest::mouseClick(item.itemButton(), Qt::LeftButton);
  EXPECT_EQ(delegate.selected, (std::vector<quint64>{7}));
  EXPECT_EQ(item.itemButton()->icon().pixmap(13, 13).toImage(),
            ImageStore::pixmap(QStringLiteral("checkbox_no")).toImage());
  state = 0;
  QTest::mouseClick(item.itemButton(), Qt::LeftButton);
  EXPECT_EQ(item.itemButton()->icon().pixmap(13, 13).toImage(),
            ImageStore::pixmap(QStringLiteral("checkbox_yes")).toImage());
  CNGridViewItem::setScanRunningQuery({});
  CNGridViewItem::setCheckStateQuery({});
}

TEST(CNGridViewItem, LateThumbnailsApplyOnTheMainThreadOnlyForTheCurrentNode) {
  CNGridViewItem item;
  item.setNode(7);
  QImage thumb(30, 20, QImage::Format_ARGB32);
  thumb.fill(Qt::red);
  std::thread([&] { item.updateImageViewWithImage(thumb, 8); }).join();
  QCoreApplication::processEvents();
  EXPECT_TRUE(item.itemImage().isNull());

  std::thread([&] { item.updateImageViewWithImage(thumb, 7); }).join();
  EXPECT_TRUE(item.itemImage().isNull());  // not yet: applied by the main thread
  EXPECT_TRUE(QTest::qWaitFor([&] { return !item.itemImage().isNull(); }, 3000));
  EXPECT_EQ(item.itemImage().size(), QSize(30, 20));

  // Reused for another file before the image arrives: dropped.
  QImage other(50, 50, QImage::Format_ARGB32);
  std::thread([&] { item.updateImageViewWithImage(other, 7); }).join();
  item.setNode(9);
  QCoreApplication::processEvents();
  EXPECT_EQ(item.itemImage().size(), QSize(30, 20));

  // An empty image keeps the previous one.
  item.refImageWithImage(QImage());
  EXPECT_EQ(item.itemImage().size(), QSize(30, 20));
}

TEST(CNGridViewItem, RendersNormalHoveredAndSelected) {
  CNGridViewItem item;
  QImage thumb(60, 40, QImage::Format_ARGB32);
  thumb.fill(Qt::darkGreen);
  item.setItemImage(thumb);
  item.setTitleText(QStringLiteral("a rather long file name that will not fit.jpg"));
  EXPECT_TRUE(item.titleLabel()->text().endsWith(QChar(0x2026)));
  const QImage normal = item.grab().toImage();
  item.setHovered(true);
  const QImage hovered = item.grab().toImage();
  EXPECT_LT(hovered.pixelColor(20, 60).lightness(), normal.pixelColor(20, 60).lightness());
  item.setSelected(true);
  uitest::renderToPng(item, QStringLiteral("grid-item"));
}
