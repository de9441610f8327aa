#pragma once
// The outline of one result tree in the results window: rows with a
// three-state check box, an icon and a name (with the file count outside
// the path tree). Choosing a row or clicking a check box is reported to
// the window (OutlineDelegate), which then shows that item's files.

#include <QStyledItemDelegate>
#include <QTreeView>

#include "bridge/OpNodeData.h"
#include "ui/toolkit/CheckButtons.h"
#include "ui/windows/ResultTreeModel.h"

namespace windows {

// What the outline asks of the results window.
class OutlineDelegate {
 public:
  virtual ~OutlineDelegate() = default;
  // A tree item was chosen; `refresh` also refreshes the selection summary.
  virtual void selectOutlineListWithOpNodeData(const OpNodePtr& item, bool refresh) = 0;
  virtual void showRecoveryButton() = 0;
  // File view (0 list, 1 grid, 2 cover flow) and its thumbnail loaders'
  // states (-1 until one was started).
  virtual int selectSegmentCount() const = 0;
  virtual int gridImageState() const = 0;
  virtual int nImageState() const = 0;
  virtual void stopGridImageLoading() = 0;
  virtual void stopImageLoading() = 0;
  virtual void reLoadTableVolumnIndicatorImage() = 0;
};

class CommOutlineView : public QTreeView {
  Q_OBJECT
 public:
  explicit CommOutlineView(QWidget* parent = nullptr);

  void setMDelegate(OutlineDelegate* delegate) { mDelegate_ = delegate; }

  // Shows a tree again (after every scan update, search or load): the
  // rows are read anew, open rows stay open, the chosen item stays chosen
  // when it is still there.
  void loadDataFormDetail(const OpNodeArray* roots, int dataType);
  // Forgets every row (before a new scan or load frees the nodes).
  void clearData();
  int dataType() const { return model_->kind(); }
  // Chooses the first root and reports it (nothing for an empty tree).
  void selectRootItem();
  // The check box of a row was clicked.
  void clickButtonAction(const QModelIndex& index);
  // Stops the thumbnail loaders before the chosen item changes.
  void stopLoadImageForGridOrCover();

  const OpNodePtr& opDataFile() const { return opDataFile_; }
  ResultTreeModel* resultModel() const { return model_; }
  // The row of the outline showing `item`, if read.
  QModelIndex indexOfItem(const OpNodeData* item) const { return model_->indexOf(item); }
  // The check box of a row, in viewport coordinates.
  QRect checkBoxRect(const QModelIndex& index) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyboardSearch(const QString& search) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  void chooseSilently(const QModelIndex& index);
  void restoreExpanded(const QModelIndex& parent);

  ResultTreeModel* model_;
  OutlineDelegate* mDelegate_ = nullptr;
  OpNodePtr opDataFile_;
  bool quiet_ = false;
};

// Draws a row as the check-box cell does: box, icon, label.
class OutlineCellDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  static constexpr int kRowHeight = 22;
};

}  // namespace windows
