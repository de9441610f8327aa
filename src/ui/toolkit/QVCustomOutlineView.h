#pragma once
// The disk list of the disk page: an outline that paints each row's
// background itself: the row marked as selected blue, root rows (their
// row numbers listed as decimal text) light grey, other rows white. The
// platform's own selection highlight is not drawn; the owner marks the row.

#include <QStringList>
#include <QTreeView>

namespace ui {

class QVCustomOutlineView : public QTreeView {
  Q_OBJECT
 public:
  explicit QVCustomOutlineView(QWidget* parent = nullptr);

  void setSelectCellBackgroundColorWithRow(int row) { isSelectRow_ = row; }
  void setIsRootArr(const QStringList& rows) { isRootArr_ = rows; }

  // The row number of an index among the rows shown now (-1 when hidden).
  int rowForIndex(const QModelIndex& index) const;
  // The index shown at a row number, or an invalid one.
  QModelIndex indexAtRow(int row) const;
  int numberOfRows() const;
  // The background a row gets.
  QColor rowBackground(int row) const;

 protected:
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  int isSelectRow_ = -1;
  QStringList isRootArr_;
};

}  // namespace ui
