#include "ui/toolkit/CNGridView.h"

#include "ui/toolkit/NotificationCenter.h"

#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace ui {

// ---- geometry -------------------------------------------------------------

quint64 CNGridGeometry::columnsInGridView() const {
  const auto c = static_cast<quint64>(std::floor(static_cast<float>(clipped.width()) / 150.0f));
  return c == 0 ? 1 : c;
}

quint64 CNGridGeometry::visibleRowsInGridView() const {
  const float rows = std::ceil(static_cast<float>(clipped.height()) / 150.0f);
  return rows > 0 ? static_cast<quint64>(rows) : 0;
}

quint64 CNGridGeometry::allOverRowsInGridView() const {
  return static_cast<quint64>(std::ceil(static_cast<float>(numberOfItems) / static_cast<float>(columnsInGridView())));
}

qreal CNGridGeometry::refreshedInset(bool centerAlignment) const {
  if (!centerAlignment) return 0;
  const float rest = static_cast<float>(clipped.width()) - static_cast<float>(columnsInGridView() * 150);
  return std::floor(rest / 2.0f);
}

QRectF CNGridGeometry::rectForItemAtIndex(quint64 index) const {
  const quint64 c = columnsInGridView();
  return QRectF(static_cast<qreal>(index % c) * kItemSide + contentInset,
                static_cast<qreal>(index / c) * kItemSide + contentInset, kItemSide, kItemSide);
}

quint64 CNGridGeometry::indexForItemAtLocation(const QPointF& p) const {
  const quint64 c = columnsInGridView();
  const qreal i = contentInset;
  if (p.x() < i || p.x() >= static_cast<qreal>(c) * kItemSide + i || p.y() < i) return NSNotFound;
  const auto column = static_cast<quint64>(std::floor((p.x() - i) / kItemSide));
  const auto row = static_cast<quint64>(std::floor((p.y() - i) / kItemSide));
  const quint64 index = column + row * c;
  return index < numberOfItems ? index : NSNotFound;
}

std::pair<quint64, quint64> CNGridGeometry::visibleItemRange() const {
  const quint64 c = columnsInGridView();
  const qreal y = clipped.y();
  quint64 start = 0;
  if (y > kItemSide)
    start =
        static_cast<quint64>(std::ceil(static_cast<float>(y) / 150.0f) * static_cast<float>(c) - static_cast<float>(c));
  quint64 length = std::min<quint64>(numberOfItems, c * visibleRowsInGridView() + c);
  if (start >= numberOfItems) return {start, 0};
  if (start + length > numberOfItems) length = numberOfItems - start;
  return {start, length};
}

// ---- selection frame ------------------------------------------------------

void CNSelectionFrameView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRectF r(0.5, 0.5, std::floor(width()) - 1.0, std::floor(height()) - 1.0);
  p.fillRect(r, QColor::fromRgbF(0, 0, 0, 0.15));
  p.setPen(QPen(Qt::white, 1.0));
  p.drawRect(r);
}

// ---- grid -----------------------------------------------------------------

CNGridView::Timing& CNGridView::timing() {
  static Timing t;
  return t;
}

CNGridView::CNGridView(QWidget* parent) : QWidget(parent), nc_(&NotificationCenter::defaultCenter()) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  watchParent();
  setBackgroundColor(QColor());
}

CNGridView::~CNGridView() = default;

QAbstractScrollArea* CNGridView::enclosingScrollArea() const {
  QWidget* viewport = parentWidget();
  return viewport ? qobject_cast<QAbstractScrollArea*>(viewport->parentWidget()) : nullptr;
}

void CNGridView::watchParent() {
  if (watchedParent_) watchedParent_->removeEventFilter(this);
  watchedParent_ = parentWidget();
  if (watchedParent_) watchedParent_->installEventFilter(this);
}

void CNGridView::setBackgroundColor(const QColor&) {
  // Always the control colour, whatever is asked for.
  if (QAbstractScrollArea* area = enclosingScrollArea()) {
    QWidget* vp = area->viewport();
    QPalette pal = vp->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    vp->setPalette(pal);
    vp->setAutoFillBackground(true);
  }
}

void CNGridView::setScrollElasticity(bool) {}

void CNGridView::setItemSize(const QSize&) { refreshGridViewAnimated(true, true); }

void CNGridView::setAllowsMultipleSelection(bool v) {
  allowsMultipleSelection_ = v;
  if (!v && !selectedItems_.empty()) {
    post(CNGridViewDeSelectAllItemsNotification);
    selectedItems_.clear();
  }
}

QRectF CNGridView::clippedRect() const {
  if (QWidget* p = parentWidget()) return QRectF(-x(), -y(), p->width(), p->height());
  return QRectF(rect());
}

CNGridGeometry CNGridView::gridGeometry() const { return CNGridGeometry{clippedRect(), numberOfItems_, contentInset_}; }

quint64 CNGridView::indexForItemAtLocation(const QPointF& gridPoint) const {
  return gridGeometry().indexForItemAtLocation(gridPoint);
}

CNGridViewItemBase* CNGridView::visibleItemAtIndex(quint64 index) const {
  auto it = keyedVisibleItems_.find(index);
  return it == keyedVisibleItems_.end() ? nullptr : it->second;
}

int CNGridView::reuseableItemCount(const QString& identifier) const {
  auto it = reuseableItems_.find(identifier);
  return it == reuseableItems_.end() ? 0 : static_cast<int>(it->second.size());
}

void CNGridView::reloadDataAnimated(bool animated) {
  numberOfItems_ = 0;
  if (dataSource_) numberOfItems_ = dataSource_->gridViewNumberOfItemsInSection(this, 0).value_or(0);
  std::set<CNGridViewItemBase*> keep;
  for (const auto& [i, item] : selectedItems_)
    if (item) keep.insert(item);
  auto drop = [&keep](CNGridViewItemBase* item) {
    item->hide();
    if (!keep.count(item)) item->deleteLater();
  };
  for (const auto& [i, item] : keyedVisibleItems_) drop(item);
  for (const auto& [id, items] : reuseableItems_)
    for (CNGridViewItemBase* item : items) drop(item);
  keyedVisibleItems_.clear();
  reuseableItems_.clear();
  fadingIn_.clear();
  refreshGridViewAnimated(animated, true);
}

CNGridViewItemBase* CNGridView::dequeueReusableItemWithIdentifier(const QString& identifier) {
  auto it = reuseableItems_.find(identifier);
  if (it == reuseableItems_.end() || it->second.empty()) return nullptr;
  CNGridViewItemBase* item = it->second.back();
  it->second.pop_back();
  item->setRepresentedObject(QVariant());
  return item;
}

void CNGridView::setFrame(const QRect& frame) { setGeometry(frame); }

void CNGridView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (internalResize_) return;
  refreshGridViewAnimated(event->size().width() != event->oldSize().width(), true);
  QTimer::singleShot(timing().redisplayDelayMs, this, [this] { refreshGridView(); });
}

void CNGridView::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  updateVisibleRect();
}

bool CNGridView::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) {
    watchParent();
    setBackgroundColor(QColor());
  }
  return QWidget::event(event);
}

bool CNGridView::eventFilter(QObject* watched, QEvent* event) {
  // The grid follows the width of the view that shows it.
  if (watched == watchedParent_ && event->type() == QEvent::Resize) {
    const int w = watchedParent_->width();
    if (w != width())
      setFrame(QRect(x(), y(), w, height()));
    else
      updateVisibleRect();
  }
  return QWidget::eventFilter(watched, event);
}

void CNGridView::refreshInset() { contentInset_ = gridGeometry().refreshedInset(useCenterAlignment_); }

void CNGridView::refreshGridViewAnimated(bool animated, bool initialCall) {
  isInitialCall_ = initialCall;
  const qreal newHeight = gridGeometry().contentHeight();
  if (std::abs(newHeight - height()) > 1) {
    internalResize_ = true;
    resize(width(), static_cast<int>(std::lround(newHeight)));
    internalResize_ = false;
  }
  refreshInset();
  QMetaObject::invokeMethod(
      this,
      [this, animated] {
        refreshInset();
        updateReuseableItems();
        updateVisibleItems();
        arrangeGridViewItemsAnimated(animated);
      },
      Qt::QueuedConnection);
}

void CNGridView::updateVisibleRect() {
  updateReuseableItems();
  updateVisibleItems();
  arrangeGridViewItemsAnimated(false);
}

void CNGridView::updateReuseableItems() {
  // Selected items stay placed; all others out of range are recycled.
  const auto [start, length] = visibleItemRange();
  for (auto it = keyedVisibleItems_.begin(); it != keyedVisibleItems_.end();) {
    CNGridViewItemBase* item = it->second;
    const bool inRange = it->first >= start && it->first < start + length;
    if (inRange || !item->isReuseable() || selectedItems_.count(it->first)) {
      ++it;
      continue;
    }
    it = keyedVisibleItems_.erase(it);
    item->hide();
    item->prepareForReuse();
    reuseableItems_[item->reuseIdentifier()].push_back(item);
  }
}

void CNGridView::updateVisibleItems() {
  if (!dataSource_) return;
  const auto [start, length] = visibleItemRange();
  for (quint64 i = start; i < start + length; ++i) {
    if (keyedVisibleItems_.count(i)) continue;
    CNGridViewItemBase* item = dataSource_->gridViewItemAtIndex(this, i, 0);
    if (!item) continue;
    // A handed-out item may still sit under another index.
    for (auto it = keyedVisibleItems_.begin(); it != keyedVisibleItems_.end(); ++it)
      if (it->second == item) {
        keyedVisibleItems_.erase(it);
        break;
      }
    item->setIndex(i);
    if (isInitialCall_) {
      item->setAlphaValue(0);
      item->setGeometry(rectForItemAtIndex(i).toRect());
      fadingIn_.insert(item);
    }
    keyedVisibleItems_[i] = item;
    if (item->parentWidget() != this) item->setParent(this);
    // Pointer moves over an item reach the grid's hover tracking.
    item->setMouseTracking(true);
    for (QWidget* child : item->findChildren<QWidget*>()) child->setMouseTracking(true);
    item->show();
  }
}

void CNGridView::arrangeGridViewItemsAnimated(bool animated) {
  if (keyedVisibleItems_.empty()) return;
  const bool initial = isInitialCall_;
  isInitialCall_ = false;
  // New items of a first appearance fade in at their cells; the others
  // move to their cells (also in a first pass, so a new width rearranges).
  const int fadeMs = timing().fadeInMs;
  const int moveMs = animated ? timing().arrangeMs : 0;
  QParallelAnimationGroup* group = nullptr;
  auto animation = [&](QObject* target, const char* property, int ms, const QVariant& end) {
    if (!group) group = new QParallelAnimationGroup(this);
    auto* a = new QPropertyAnimation(target, property, group);
    a->setDuration(ms);
    a->setEndValue(end);
  };
  for (const auto& [i, item] : keyedVisibleItems_) {
    if (initial && fadingIn_.count(item)) {
      if (fadeMs <= 0)
        item->setAlphaValue(1.0);
      else
        animation(item, "alphaValue", fadeMs, 1.0);
      continue;
    }
    const QRect cell = rectForItemAtIndex(i).toRect();
    if (item->geometry() == cell) continue;
    if (moveMs <= 0)
      item->setGeometry(cell);
    else
      animation(item, "geometry", moveMs, cell);
  }
  fadingIn_.clear();
  if (group) group->start(QAbstractAnimation::DeleteWhenStopped);
}

// ---- notifications and selection ------------------------------------------

void CNGridView::post(const char* name, const QVariantMap& userInfo) {
  nc_->post(QString::fromLatin1(name), QVariant::fromValue(static_cast<QObject*>(this)), userInfo);
}

QVariantMap CNGridView::indexInfo(quint64 index) const {
  return {{QString::fromLatin1(CNGridViewItemIndexKey), QVariant::fromValue<qulonglong>(index)}};
}

void CNGridView::hoverItemAtIndex(quint64 index) {
  post(CNGridViewWillHoverItemNotification, indexInfo(index));
  if (delegate_) delegate_->gridViewWillHoverItemAtIndex(this, index, 0);
  lastHoveredIndex_ = index;
  if (CNGridViewItemBase* item = visibleItemAtIndex(index)) item->setHovered(true);
}

void CNGridView::unHoverItemAtIndex(quint64 index) {
  post(CNGridViewWillUnhoverItemNotification, indexInfo(index));
  if (delegate_) delegate_->gridViewWillUnhoverItemAtIndex(this, index, 0);
  if (CNGridViewItemBase* item = visibleItemAtIndex(index)) item->setHovered(false);
}

void CNGridView::selectItem(CNGridViewItemBase* item) {
  if (!item || selectedItems_.count(item->index())) return;
  const quint64 i = item->index();
  post(CNGridViewWillSelectItemNotification, indexInfo(i));
  if (delegate_) delegate_->gridViewWillSelectItemAtIndex(this, i, 0);
  item->setSelected(true);
  item->update();
  selectedItems_[i] = item;
  post(CNGridViewDidSelectItemNotification, indexInfo(i));
  if (delegate_) delegate_->gridViewDidSelectItemAtIndex(this, i, 0);
}

void CNGridView::deSelectItem(CNGridViewItemBase* item) {
  if (!item || !selectedItems_.count(item->index())) return;
  const quint64 i = item->index();
  post(CNGridViewWillDeselectItemNotification, indexInfo(i));
  if (delegate_) delegate_->gridViewWillDeselectItemAtIndex(this, i, 0);
  item->setSelected(false);
  item->update();
  selectedItems_.erase(i);
  post(CNGridViewDidDeselectItemNotification, indexInfo(i));
  if (delegate_) delegate_->gridViewDidDeselectItemAtIndex(this, i, 0);
}

void CNGridView::deselectAllItems() {
  if (selectedItems_.empty()) return;
  const QList<CNGridViewItemBase*> items = selectedItems();
  QVariantList list;
  for (CNGridViewItemBase* item : items) list << QVariant::fromValue(static_cast<QObject*>(item));
  post(CNGridViewWillDeselectAllItemsNotification, {{QString::fromLatin1(CNGridViewSelectedItemsKey), list}});
  if (delegate_) delegate_->gridViewWillDeselectAllItems(this, items);
  post(CNGridViewDeSelectAllItemsNotification);
  selectedItems_.clear();
  for (const auto& [i, item] : keyedVisibleItems_) item->update();
  post(CNGridViewDidDeselectAllItemsNotification);
  if (delegate_) delegate_->gridViewDidDeselectAllItems(this);
}

QList<CNGridViewItemBase*> CNGridView::selectedItems() const {
  QList<CNGridViewItemBase*> out;
  for (const auto& [i, item] : selectedItems_)
    if (item) out << item.data();
  return out;
}

std::set<quint64> CNGridView::selectedIndexes() const {
  std::set<quint64> out;
  for (const auto& [i, item] : selectedItems_) out.insert(i);
  return out;
}

// ---- mouse and keys -------------------------------------------------------

void CNGridView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) {
    mouseDragged(event);
    return;
  }
  // Hover is tracked only in the active window.
  if (!useHover || !window()->isActiveWindow()) return;
  const quint64 i = indexForItemAtLocation(event->position());
  if (i == NSNotFound && lastHoveredIndex_ == NSNotFound) return;
  if (lastHoveredIndex_ != NSNotFound && lastHoveredIndex_ != i) unHoverItemAtIndex(lastHoveredIndex_);
  if (i != lastHoveredIndex_) hoverItemAtIndex(i);
}

void CNGridView::leaveEvent(QEvent* event) {
  lastHoveredIndex_ = NSNotFound;
  QWidget::leaveEvent(event);
}

void CNGridView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) {
    event->accept();  // a left click does nothing
    return;
  }
  const quint64 i = indexForItemAtLocation(event->position());
  if (i == NSNotFound) {
    deselectAllItems();
    return;
  }
  QList<quint64> affected;
  if (!selectedIndexes().count(i)) {
    affected << i;
    deselectAllItems();
    selectItem(visibleItemAtIndex(i));
  } else {
    for (quint64 s : selectedIndexes()) affected << s;
  }
  if (!itemContextMenu) return;
  for (QAction* action : itemContextMenu->actions()) action->setData(QVariant::fromValue(affected));
  QMenu* menu = itemContextMenu;
  auto* once = new QObject(this);
  connect(menu, &QMenu::aboutToHide, once, [this, affected, once] {
    once->deleteLater();
    gridViewDidActivateContextMenuWithIndexes(affected);
  });
  menu->popup(mapToGlobal(event->position().toPoint()));
}

void CNGridView::gridViewDidActivateContextMenuWithIndexes(const QList<quint64>& indexes) {
  QVariantList list;
  for (quint64 i : indexes) list << QVariant::fromValue<qulonglong>(i);
  post(CNGridViewRightMouseButtonClickedOnItemNotification, {{QString::fromLatin1(CNGridViewItemsIndexSetKey), list}});
  if (delegate_) delegate_->gridViewDidActivateContextMenuWithIndexes(this, indexes, 0);
}

void CNGridView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && selectionFrameView_) endSelectionFrame();
  event->accept();
}

void CNGridView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) abortSelection_ = true;
  QWidget::keyPressEvent(event);
}

void CNGridView::mouseDragged(QMouseEvent* event) {
  if (!allowsMultipleSelection_ || !allowsMultipleSelectionWithDrag) return;
  mouseHasDragged_ = true;
  if (abortSelection_) return;
  drawSelectionFrameForMousePointerAtLocation(event->position());
  selectItemsCoveredBySelectionFrame(selectionFrameView_->geometry(), event->modifiers());
}

void CNGridView::drawSelectionFrameForMousePointerAtLocation(const QPointF& p) {
  if (!selectionFrameView_) {
    selectionFrameInitialPoint_ = p;
    selectionFrameView_ = new CNSelectionFrameView(this);
    selectionFrameView_->setGeometry(QRect(p.toPoint(), QSize(0, 0)));
    selectionFrameView_->show();
    return;
  }
  const QRectF v = clippedRect();
  const QPointF p0 = selectionFrameInitialPoint_;
  const qreal c = static_cast<qreal>(columnsInGridView());
  const qreal x = std::max(std::ceil(std::min(p.x(), p0.x())), v.x());
  const qreal y = std::max(std::ceil(std::min(p.y(), p0.y())), v.y());
  qreal w = p.x() > p0.x() ? p.x() - p0.x() : p0.x() - x;
  if (x + w >= c * 150) w = c * 150 - x - 1;
  qreal h = p.y() > p0.y() ? p.y() - p0.y() : p0.y() - y;
  if (y + h > v.y() + v.height()) h = v.y() + v.height() - y;
  selectionFrameView_->setGeometry(QRectF(x, y, std::max<qreal>(w, 0), std::max<qreal>(h, 0)).toRect());
  selectionFrameView_->raise();
}

void CNGridView::selectItemsCoveredBySelectionFrame(const QRectF& r, Qt::KeyboardModifiers flags) {
  const quint64 c = columnsInGridView();
  auto bound = [c](qreal x, qreal y) {
    const auto column = static_cast<quint64>(std::floor(std::min<qreal>(std::max<qreal>(x, 0), c * 150.0) / 150));
    const auto row = static_cast<quint64>(std::floor(std::max<qreal>(y, 0) / 150));
    return column + row * c;
  };
  auto location = [c](quint64 index) {
    const quint64 row = index / c + 1;
    return std::pair<quint64, quint64>(index - c * (row - 1) + 1, row);
  };
  auto [c1, r1] = location(bound(r.left(), r.top()));
  auto [c2, r2] = location(bound(r.x() + r.width(), r.y() + r.height()));
  for (auto it = selectedItemsBySelectionFrame_.begin(); it != selectedItemsBySelectionFrame_.end();) {
    CNGridViewItemBase* item = visibleItemAtIndex(it->first);
    const auto [ic, ir] = location(it->first);
    const bool inside = ic >= c1 && ic <= c2 && ir >= r1 && ir <= r2;
    auto sel = selectedItems_.find(it->first);
    if (inside || !item || (sel != selectedItems_.end() && sel->second == item)) {
      ++it;
      continue;
    }
    item->setSelected(false);
    item->update();
    it = selectedItemsBySelectionFrame_.erase(it);
  }
  const bool counts = r.width() > 0 && r.height() > 0;
  const quint64 total = allOverRowsInGridView();
  r1 = std::min(r1, total);
  r2 = std::min(r2, total);
  c1 = std::min(c1, c);
  c2 = std::min(c2, c);
  if (!counts) return;
  for (quint64 row = r1; row <= r2; ++row)
    for (quint64 col = c1; col <= c2; ++col) {
      const quint64 index = (row - 1) * c + col - 1;
      CNGridViewItemBase* item = visibleItemAtIndex(index);
      if (!item) continue;
      selectedItemsBySelectionFrame_[index] = item;
      auto sel = selectedItems_.find(index);
      const bool alreadySelected = sel != selectedItems_.end() && sel->second == item;
      item->setSelected((flags & Qt::ControlModifier) ? !alreadySelected : true);
      item->update();
    }
}

void CNGridView::endSelectionFrame() {
  // The band's result becomes the selection.
  const auto band = selectedItemsBySelectionFrame_;
  selectedItemsBySelectionFrame_.clear();
  for (const auto& [i, item] : band) {
    if (visibleItemAtIndex(i) != item) continue;
    const bool wanted = item->selected();
    if (wanted)
      selectItem(item);
    else
      deSelectItem(item);
    item->setSelected(wanted);
  }
  delete selectionFrameView_.data();
  selectionFrameInitialPoint_ = QPointF();
  mouseHasDragged_ = false;
}

}  // namespace ui
