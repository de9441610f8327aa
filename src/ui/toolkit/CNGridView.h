#pragma once
// The thumbnail grid of the results window: square cells row by row in a
// scroll area, item views kept only for the rows on screen and reused,
// hover, selection by click, keys and rubber band, and the grid's
// notifications (hover, select, deselect) through NotificationCenter.

#include "ui/toolkit/CNGridViewItem.h"

#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <map>
#include <optional>
#include <set>
#include <vector>

class QAbstractScrollArea;

namespace ui {

class CNGridView;
class NotificationCenter;

inline constexpr char CNGridViewWillHoverItemNotification[] = "CNGridViewWillHoverItem";
inline constexpr char CNGridViewWillUnhoverItemNotification[] = "CNGridViewWillUnhoverItem";
inline constexpr char CNGridViewWillSelectItemNotification[] = "CNGridViewWillSelectItem";
inline constexpr char CNGridViewDidSelectItemNotification[] = "CNGridViewDidSelectItem";
inline constexpr char CNGridViewWillDeselectItemNotification[] = "CNGridViewWillDeselectItem";
inline constexpr char CNGridViewDidDeselectItemNotification[] = "CNGridViewDidDeselectItem";
inline constexpr char CNGridViewWillDeselectAllItemsNotification[] = "CNGridViewWillDeselectAllItems";
inline constexpr char CNGridViewDidDeselectAllItemsNotification[] = "CNGridViewDidDeselectAllItems";
inline constexpr char CNGridViewDidClickItemNotification[] = "CNGridViewDidClickItem";
inline constexpr char CNGridViewDidDoubleClickItemNotification[] = "CNGridViewDidDoubleClickItem";
inline constexpr char CNGridViewRightMouseButtonClickedOnItemNotification[] = "CNGridViewRightMouseButtonClickedOnItem";

inline constexpr char CNGridViewItemKey[] = "gridViewItem";
inline constexpr char CNGridViewItemIndexKey[] = "gridViewItemIndex";
inline constexpr char CNGridViewSelectedItemsKey[] = "CNGridViewSelectedItems";
inline constexpr char CNGridViewItemsIndexSetKey[] = "CNGridViewItemsIndexSetKey";

// Cell arithmetic of the grid: square cells of 150, row by row.
struct CNGridGeometry {
  static constexpr qreal kItemSide = 150;

  QRectF clipped;  // visible part of the grid, in grid coordinates
  quint64 numberOfItems = 0;
  qreal contentInset = 0;

  quint64 columnsInGridView() const;
  quint64 visibleRowsInGridView() const;
  quint64 allOverRowsInGridView() const;
  qreal refreshedInset(bool centerAlignment) const;
  QRectF rectForItemAtIndex(quint64 index) const;
  quint64 indexForItemAtLocation(const QPointF& gridPoint) const;
  // (start, length)
  std::pair<quint64, quint64> visibleItemRange() const;
  qreal contentHeight() const { return allOverRowsInGridView() * kItemSide + 2 * contentInset; }
};

class CNGridViewDataSource {
 public:
  virtual ~CNGridViewDataSource() = default;
  // No answer: the grid shows no items.
  virtual std::optional<quint64> gridViewNumberOfItemsInSection(CNGridView*, quint64) { return std::nullopt; }
  // The data source takes its items from dequeueReusableItemWithIdentifier
  // and creates new ones when that gives none; nullptr leaves the cell empty.
  virtual CNGridViewItemBase* gridViewItemAtIndex(CNGridView*, quint64 index, quint64 section) = 0;
};

// Every message optional; section is always 0.
class CNGridViewDelegate {
 public:
  virtual ~CNGridViewDelegate() = default;
  virtual void gridViewWillHoverItemAtIndex(CNGridView*, quint64, quint64) {}
  virtual void gridViewWillUnhoverItemAtIndex(CNGridView*, quint64, quint64) {}
  virtual void gridViewWillSelectItemAtIndex(CNGridView*, quint64, quint64) {}
  virtual void gridViewDidSelectItemAtIndex(CNGridView*, quint64, quint64) {}
  virtual void gridViewWillDeselectItemAtIndex(CNGridView*, quint64, quint64) {}
  virtual void gridViewDidDeselectItemAtIndex(CNGridView*, quint64, quint64) {}
  virtual void gridViewWillDeselectAllItems(CNGridView*, const QList<CNGridViewItemBase*>&) {}
  virtual void gridViewDidDeselectAllItems(CNGridView*) {}
  virtual void gridViewDidActivateContextMenuWithIndexes(CNGridView*, const QList<quint64>&, quint64) {}
};

// The rubber band of a drag selection.
class CNSelectionFrameView : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Thumbnail grid, meant to sit in a QScrollArea: it keeps item views only for
// the rows on screen plus one and recycles the rest by reuse identifier.
class CNGridView : public QWidget {
  Q_OBJECT
 public:
  struct Timing {
    int fadeInMs = 350;
    int arrangeMs = 150;
    int redisplayDelayMs = 300;
  };
  static Timing& timing();

  explicit CNGridView(QWidget* parent = nullptr);
  ~CNGridView() override;

  CNGridViewDelegate* delegate() const { return delegate_; }
  void setDelegate(CNGridViewDelegate* d) { delegate_ = d; }
  void setDataSource(CNGridViewDataSource* d) { dataSource_ = d; }

  QString gridViewTitle;
  bool allowsSelection = false;
  bool useSelectionRing = true;
  bool useHover = true;
  bool allowsMultipleSelectionWithDrag = false;
  QPointer<QMenu> itemContextMenu;

  void setAllowsMultipleSelection(bool v);
  void setUseCenterAlignment(bool v) { useCenterAlignment_ = v; }
  void setBackgroundColor(const QColor& ignored);
  void setScrollElasticity(bool ignored);
  void setItemSize(const QSize& ignored);

  void reloadData() { reloadDataAnimated(false); }
  void reloadDataAnimated(bool animated);
  CNGridViewItemBase* dequeueReusableItemWithIdentifier(const QString& identifier);
  // Frame change as by the enclosing view.
  void setFrame(const QRect& frame);

  // Geometry
  CNGridGeometry gridGeometry() const;
  QRectF clippedRect() const;
  QRectF rectForItemAtIndex(quint64 index) const { return gridGeometry().rectForItemAtIndex(index); }
  quint64 columnsInGridView() const { return gridGeometry().columnsInGridView(); }
  quint64 visibleRowsInGridView() const { return gridGeometry().visibleRowsInGridView(); }
  quint64 allOverRowsInGridView() const { return gridGeometry().allOverRowsInGridView(); }
  std::pair<quint64, quint64> visibleItemRange() const { return gridGeometry().visibleItemRange(); }
  quint64 indexForItemAtLocation(const QPointF& gridPoint) const;
  quint64 numberOfItems() const { return numberOfItems_; }
  qreal contentInset() const { return contentInset_; }

  // Placed and idle item views.
  CNGridViewItemBase* visibleItemAtIndex(quint64 index) const;
  const std::map<quint64, CNGridViewItemBase*>& keyedVisibleItems() const { return keyedVisibleItems_; }
  int reuseableItemCount(const QString& identifier) const;

  // Selection
  void selectItem(CNGridViewItemBase* item);
  void deSelectItem(CNGridViewItemBase* item);
  void deselectAllItems();
  QList<CNGridViewItemBase*> selectedItems() const;
  std::set<quint64> selectedIndexes() const;

  quint64 lastHoveredIndex() const { return lastHoveredIndex_; }
  bool abortSelection() const { return abortSelection_; }
  CNSelectionFrameView* selectionFrameView() const { return selectionFrameView_; }

  void hoverItemAtIndex(quint64 index);
  void unHoverItemAtIndex(quint64 index);

  // Runs the queued second half of refreshes now.
  void refreshGridView() { update(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void refreshGridViewAnimated(bool animated, bool initialCall);
  void refreshInset();
  void updateVisibleRect();
  void updateReuseableItems();
  void updateVisibleItems();
  void arrangeGridViewItemsAnimated(bool animated);
  void watchParent();
  QAbstractScrollArea* enclosingScrollArea() const;
  void post(const char* name, const QVariantMap& userInfo = {});
  QVariantMap indexInfo(quint64 index) const;
  void mouseDragged(QMouseEvent* event);
  void drawSelectionFrameForMousePointerAtLocation(const QPointF& p);
  void selectItemsCoveredBySelectionFrame(const QRectF& r, Qt::KeyboardModifiers flags);
  void endSelectionFrame();
  void gridViewDidActivateContextMenuWithIndexes(const QList<quint64>& indexes);

  CNGridViewDelegate* delegate_ = nullptr;
  CNGridViewDataSource* dataSource_ = nullptr;
  std::map<quint64, CNGridViewItemBase*> keyedVisibleItems_;
  std::map<QString, std::vector<CNGridViewItemBase*>> reuseableItems_;
  std::map<quint64, QPointer<CNGridViewItemBase>> selectedItems_;
  std::map<quint64, CNGridViewItemBase*> selectedItemsBySelectionFrame_;
  QPointer<CNSelectionFrameView> selectionFrameView_;
  NotificationCenter* nc_;
  quint64 lastHoveredIndex_ = NSNotFound;
  quint64 lastSelectedItemIndex_ = NSNotFound;
  quint64 numberOfItems_ = 0;
  QPointF selectionFrameInitialPoint_;
  bool isInitialCall_ = true;
  bool mouseHasDragged_ = false;
  bool abortSelection_ = false;
  qreal contentInset_ = 0;
  bool allowsMultipleSelection_ = false;
  bool useCenterAlignment_ = false;
  bool internalResize_ = false;
  std::set<CNGridViewItemBase*> fadingIn_;
  QPointer<QWidget> watchedParent_;
};

}  // namespace ui
