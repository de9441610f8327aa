#include "ui/windows/CommOutlineView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "core/util/Locks.h"

namespace windows {

CommOutlineView::CommOutlineView(QWidget* parent) : QTreeView(parent), model_(new ResultTreeModel(this)) {
  setModel(model_);
  setHeaderHidden(true);
  setItemDelegate(new OutlineCellDelegate(this));
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setIndentation(16);
  setFrameShape(QFrame::NoFrame);
  QFont font(QStringLiteral("Helvetica Light"));
  font.setPixelSize(13);
  setFont(font);
  connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) { model_->setExpanded(index, true); });
  connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) { model_->setExpanded(index, false); });
}

void CommOutlineView::restoreExpanded(const QModelIndex& parent) {
  const int rows = model_->rowCount(parent);
  for (int r = 0; r < rows; ++r) {
    const QModelIndex index = model_->index(r, 0, parent);
    if (!model_->data(index, ResultTreeModel::ExpandedRole).toBool()) continue;
    expand(index);
    restoreExpanded(index);
  }
}

void CommOutlineView::chooseSilently(const QModelIndex& index) {
  quiet_ = true;
  if (index.isValid())
    setCurrentIndex(index);
  else
    selectionModel()->clear();
  quiet_ = false;
}

void CommOutlineView::loadDataFormDetail(const OpNodeArray* roots, int dataType) {
  quiet_ = true;
  model_->load(roots, dataType);
  restoreExpanded(QModelIndex());
  quiet_ = false;
  chooseSilently(model_->indexOf(opDataFile_.get()));
}

void CommOutlineView::clearData() {
  quiet_ = true;
  model_->clear();
  opDataFile_.reset();
  quiet_ = false;
}

void CommOutlineView::selectRootItem() {
  const QModelIndex first = model_->index(0, 0);
  if (!first.isValid()) return;
  opDataFile_ = model_->itemAt(first);
  chooseSilently(first);
  if (mDelegate_) mDelegate_->selectOutlineListWithOpNodeData(opDataFile_, false);
}

void CommOutlineView::stopLoadImageForGridOrCover() {
  if (mDelegate_ == nullptr) return;
  if (mDelegate_->selectSegmentCount() == 1 && mDelegate_->gridImageState() >= 0) mDelegate_->stopGridImageLoading();
  if (mDelegate_->selectSegmentCount() == 2 && mDelegate_->nImageState() >= 0) mDelegate_->stopImageLoading();
  mDelegate_->reLoadTableVolumnIndicatorImage();
}

void CommOutlineView::clickButtonAction(const QModelIndex& index) {
  if (!QVUIController::IsScanRunning() || QVUIController::IsPause()) {
    if (const OpNodePtr item = model_->itemAt(index)) {
      autolocker<mutex_locker> hold(QVTreeLocker());
      item->setNodeState(item->state() == 2 ? 0 : 2);
    }
    if (mDelegate_) {
      stopLoadImageForGridOrCover();
      mDelegate_->selectOutlineListWithOpNodeData(opDataFile_, true);
      mDelegate_->showRecoveryButton();
    }
    QVUIController::QVTableViewCellCilck();
  }
  // Also while a scan runs: the outline only redraws then.
  model_->refreshStates();
  viewport()->update();
}

QRect CommOutlineView::checkBoxRect(const QModelIndex& index) const {
  const QRect cell = visualRect(index);
  return {cell.x(), cell.y(), static_cast<int>(ui::NewButton::kHitWidth),
          std::min(cell.height(), static_cast<int>(ui::NewButton::kHitHeight))};
}

void CommOutlineView::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && event->button() == Qt::LeftButton &&
      checkBoxRect(index).contains(event->position().toPoint())) {
    ui::NewButton cell;
    cell.state = model_->state(index);
    cell.delegate = [this, index](ui::NewButton&) { clickButtonAction(index); };
    cell.hitTestForEvent(event->position(), QRectF(visualRect(index)));
    event->accept();
    return;
  }
  QTreeView::mousePressEvent(event);
}

void CommOutlineView::keyPressEvent(QKeyEvent* event) {
  stopLoadImageForGridOrCover();
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
      QTreeView::keyPressEvent(event);
      return;
    case Qt::Key_Right:
      if (currentIndex().isValid()) expand(currentIndex());
      return;
    case Qt::Key_Left:
      if (currentIndex().isValid()) collapse(currentIndex());
      return;
    default:
      // Typing does not move the chosen row.
      event->ignore();
      return;
  }
}

void CommOutlineView::keyboardSearch(const QString&) {}

void CommOutlineView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeView::currentChanged(current, previous);
  if (quiet_ || !current.isValid()) return;
  stopLoadImageForGridOrCover();
  opDataFile_ = model_->itemAt(current);
  if (mDelegate_) mDelegate_->selectOutlineListWithOpNodeData(opDataFile_, false);
}

void OutlineCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  opt.text.clear();
  opt.icon = QIcon();
  const QWidget* widget = option.widget;
  QStyle* style = widget != nullptr ? widget->style() : nullptr;
  if (style != nullptr) style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
  const auto* model = qobject_cast<const ResultTreeModel*>(index.model());
  if (model == nullptr) return;
  ui::NewButton cell;
  cell.label = model->label(index);
  cell.icon = model->icon(index);
  cell.hasIcon = !cell.icon.isNull();
  cell.state = model->state(index);
  painter->save();
  painter->setFont(option.font);
  const bool selected = option.state & QStyle::State_Selected;
  cell.drawWithFrame(*painter, QRectF(option.rect), selected ? option.palette.highlightedText().color() : Qt::black);
  painter->restore();
}

QSize OutlineCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  const auto* model = qobject_cast<const ResultTreeModel*>(index.model());
  const int text = model != nullptr ? option.fontMetrics.horizontalAdvance(model->label(index)) : 0;
  size.setWidth(35 + text + 8);
  size.setHeight(kRowHeight);
  return size;
}

}  // namespace windows
