#include "ui/toolkit/ImageAndTextCell.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace ui {

QRectF ImageAndTextCell::imageFrameForCellFrame(const QRectF& f, const QSizeF& image) {
  if (image.isEmpty()) return QRectF();
  return QRectF(f.x() + 3, f.y() + std::ceil((f.height() - image.height()) / 2), image.width(), image.height());
}

QRectF ImageAndTextCell::imageFrameForCellFrame(const QRectF& f) const {
  return imageFrameForCellFrame(f, image_.isNull() ? QSizeF() : image_.deviceIndependentSize());
}

QRectF ImageAndTextCell::drawnImageFrame(const QRectF& f) {
  return QRectF(f.x() + 3, f.y() - 17 + std::ceil((f.height() + 18) / 2), 18, 18);
}

QRectF ImageAndTextCell::textFrameForEditing(const QRectF& f, qreal imageWidth) {
  const qreal strip = 3 + imageWidth;
  return QRectF(f.x() + strip, f.y(), std::max<qreal>(f.width() - strip, 0), f.height());
}

QPixmap ImageAndTextCell::pictureFor(const QModelIndex& index) const {
  const QVariant deco = index.data(Qt::DecorationRole);
  if (deco.canConvert<QPixmap>()) {
    QPixmap pm = deco.value<QPixmap>();
    if (!pm.isNull()) return pm;
  }
  if (deco.canConvert<QIcon>()) {
    const QIcon icon = deco.value<QIcon>();
    if (!icon.isNull()) return icon.pixmap(18, 18);
  }
  return image_;
}

void ImageAndTextCell::drawText(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                                const QRectF& textFrame) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  opt.features &= ~QStyleOptionViewItem::HasDecoration;
  opt.icon = QIcon();
  opt.rect = textFrame.toRect();
  QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
}

void ImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const QPixmap picture = pictureFor(index);
  const QRectF f = option.rect;
  if (picture.isNull()) {
    drawText(painter, option, index, f);
    return;
  }
  const QRectF strip(f.x(), f.y(), 21, f.height());
  const QVariant bg = index.data(Qt::BackgroundRole);
  if (bg.canConvert<QBrush>()) painter->fillRect(strip, bg.value<QBrush>());
  painter->save();
  painter->setRenderHint(QPainter::SmoothPixmapTransform);
  painter->drawPixmap(drawnImageFrame(f), picture, QRectF(QPointF(0, 0), picture.size()));
  painter->restore();
  drawText(painter, option, index, QRectF(f.x() + 21, f.y(), std::max<qreal>(f.width() - 21, 0), f.height()));
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  QSize s = QStyledItemDelegate::sizeHint(opt, index);
  const QPixmap picture = pictureFor(index);
  const int pictureWidth = picture.isNull() ? 0 : static_cast<int>(picture.deviceIndependentSize().width());
  // The base size already counts a decoration; the picture replaces it.
  if (index.data(Qt::DecorationRole).isValid()) s.rwidth() -= opt.decorationSize.width();
  s.rwidth() += 3 + pictureWidth;
  return s;
}

void ImageAndTextCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
  const QPixmap picture = pictureFor(index);
  const qreal w = picture.isNull() ? 0 : picture.deviceIndependentSize().width();
  editor->setGeometry(textFrameForEditing(option.rect, w).toRect());
}

QRectF DetailTextAndImageCell::titleRectForBounds(const QRectF& title, const QRectF& b, qreal textHeight) {
  return QRectF(0, b.y() - 0.5 + (b.height() - textHeight) / 2, title.width(), title.height());
}

void DetailTextAndImageCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                  const QModelIndex& index) const {
  const QPixmap picture = pictureFor(index);
  const qreal w = picture.isNull() ? 0 : picture.deviceIndependentSize().width();
  const QRectF frame = textFrameForEditing(option.rect, w);
  const qreal th = editor->sizeHint().height();
  const QRectF centred = titleRectForBounds(frame, frame, std::min<qreal>(th, frame.height()));
  editor->setGeometry(QRectF(frame.x(), centred.y(), frame.width(), std::min<qreal>(th, frame.height())).toRect());
}

QRectF GroupView::frameRect(const QSizeF& s) {
  // (18, 18, w - 36, h - 53) from the bottom left, inset by half a point.
  const QRectF r(18, s.height() - 18 - (s.height() - 53), s.width() - 36, s.height() - 53);
  return r.adjusted(0.5, 0.5, -0.5, -0.5);
}

void GroupView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const QRectF r = frameRect(size());
  if (r.width() <= 0 || r.height() <= 0) return;
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.15), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(r, 2, 2);
}

}  // namespace ui
