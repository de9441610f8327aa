#include "ui/toolkit/QVCustomOutlineView.h"

#include <QHeaderView>
#include <QPainter>

namespace ui {

QVCustomOutlineView::QVCustomOutlineView(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  header()->setSectionsMovable(false);
  // Where the style paints a selection itself, it is the row's own blue.
  QPalette pal = palette();
  pal.setColor(QPalette::Base, Qt::white);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(group, QPalette::Highlight, QColor(59, 153, 252));
    pal.setColor(group, QPalette::HighlightedText, Qt::white);
  }
  setPalette(pal);
}

int QVCustomOutlineView::rowForIndex(const QModelIndex& index) const {
  if (!index.isValid() || model() == nullptr) return -1;
  const QModelIndex target = index.siblingAtColumn(0);
  int row = 0;
  for (QModelIndex i = model()->index(0, 0, rootIndex()); i.isValid(); i = indexBelow(i), ++row)
    if (i == target) return row;
  return -1;
}

QModelIndex QVCustomOutlineView::indexAtRow(int row) const {
  if (row < 0 || model() == nullptr) return {};
  QModelIndex i = model()->index(0, 0, rootIndex());
  for (int r = 0; i.isValid() && r < row; ++r) i = indexBelow(i);
  return i;
}

int QVCustomOutlineView::numberOfRows() const {
  if (model() == nullptr) return 0;
  int rows = 0;
  for (QModelIndex i = model()->index(0, 0, rootIndex()); i.isValid(); i = indexBelow(i)) ++rows;
  return rows;
}

QColor QVCustomOutlineView::rowBackground(int row) const {
  if (row >= 0 && row == isSelectRow_) return QColor(59, 153, 252);
  if (isRootArr_.contains(QString::number(row))) return QColor(242, 242, 242);
  return Qt::white;
}

void QVCustomOutlineView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  const int row = rowForIndex(index);
  // The whole width, branch area included.
  QRect band = option.rect;
  band.setLeft(0);
  band.setRight(viewport()->width());
  painter->fillRect(band, rowBackground(row));
  QStyleOptionViewItem plain(option);
  plain.state &= ~QStyle::State_Selected;
  plain.state &= ~QStyle::State_MouseOver;
  plain.state &= ~QStyle::State_HasFocus;
  QTreeView::drawRow(painter, plain, index);
}

}  // namespace ui
