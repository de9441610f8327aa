#pragma once
// Cells of tables and outlines that draw a small picture beside their
// text, and the white panel used as a group box.

#include <QPixmap>
#include <QStyledItemDelegate>
#include <QWidget>

namespace ui {

// Text cell of tables and outlines with a small picture at its left, drawn
// 18 x 18. The picture is the index's decoration, or the cell's own image.
class ImageAndTextCell : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QPixmap image() const { return image_; }

  // Where the picture lies at its own size.
  QRectF imageFrameForCellFrame(const QRectF& cellFrame) const;
  static QRectF imageFrameForCellFrame(const QRectF& cellFrame, const QSizeF& image);
  // The drawn 18 x 18 picture frame in a top-left (flipped) view.
  static QRectF drawnImageFrame(const QRectF& cellFrame);
  // The part of the frame left to the text when editing.
  static QRectF textFrameForEditing(const QRectF& cellFrame, qreal imageWidth);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;

 protected:
  QPixmap pictureFor(const QModelIndex& index) const;
  virtual void drawText(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                        const QRectF& textFrame) const;

 private:
  QPixmap image_;
};

// The same cell, whose editing frame is centred vertically on the text.
class DetailTextAndImageCell : public ImageAndTextCell {
  Q_OBJECT
 public:
  using ImageAndTextCell::ImageAndTextCell;

  static QRectF titleRectForBounds(const QRectF& platformTitleRect, const QRectF& bounds, qreal textHeight);

  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;
};

// White panel with a faint rounded frame, used as a group box.
class GroupView : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  // The frame's rectangle for a view of this size (top-left coordinates).
  static QRectF frameRect(const QSizeF& size);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
