#include "ui/toolkit/TCImageButton.h"

#include "ui/toolkit/ImageStore.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace ui {

TCImageButton::TCImageButton(QWidget* parent) : QAbstractButton(parent) {}

TCImageButton::TCImageButton(const QRect& frame, QWidget* parent) : QAbstractButton(parent) { setGeometry(frame); }

void TCImageButton::setImageFromFileNormalName(const QString& normal, const QString& active, const QString& hover,
                                               const QString& disable) {
  normalImage_ = ImageStore::pixmap(normal);
  activeImage_ = ImageStore::pixmap(active);
  hoverImage_ = ImageStore::pixmap(hover);
  disableImage_ = ImageStore::pixmap(disable);
  dstRect_ = QRectF(QPointF(0, 0), normalImage_.deviceIndependentSize());
  srcRect_ = dstRect_;
  setAttribute(Qt::WA_Hover, true);
  update();
}

void TCImageButton::setScalesImageToFrame(bool scales) {
  scalesToFrame_ = scales;
  update();
}

void TCImageButton::setButtonEnabled(bool enabled) {
  isDisabled_ = enabled;
  repaint();
}

TCImageButton::DrawnImage TCImageButton::drawnImage() const {
  if (normalImage_.isNull()) return DrawnImage::Standard;
  if (isEnabled() && isDisabled_) {
    if (isTracking_) return activeImage_.isNull() ? DrawnImage::None : DrawnImage::Active;
    if (isFocus_) return hoverImage_.isNull() ? DrawnImage::None : DrawnImage::Hover;
    return DrawnImage::Normal;
  }
  return disableImage_.isNull() ? DrawnImage::None : DrawnImage::Disable;
}

QSize TCImageButton::sizeHint() const {
  if (!normalImage_.isNull()) return normalImage_.deviceIndependentSize().toSize();
  return QSize(60, 24);
}

void TCImageButton::enterEvent(QEnterEvent* event) {
  if (isEnabled()) {
    isFocus_ = true;
    repaint();
  }
  QAbstractButton::enterEvent(event);
}

void TCImageButton::leaveEvent(QEvent* event) {
  isFocus_ = false;
  repaint();
  QAbstractButton::leaveEvent(event);
}

void TCImageButton::mousePressEvent(QMouseEvent* event) {
  if (!isDisabled_) {
    event->accept();  // dropped: no pressed image, no action
    return;
  }
  if (isEnabled() && event->button() == Qt::LeftButton) {
    isTracking_ = true;
    repaint();
  }
  QAbstractButton::mousePressEvent(event);
}

void TCImageButton::mouseReleaseEvent(QMouseEvent* event) {
  QAbstractButton::mouseReleaseEvent(event);
  if (isTracking_) {
    isTracking_ = false;
    repaint();
  }
}

void TCImageButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPixmap* img = nullptr;
  switch (drawnImage()) {
    case DrawnImage::Standard: {
      QStyleOptionButton opt;
      opt.initFrom(this);
      opt.text = text();
      opt.icon = icon();
      opt.iconSize = iconSize();
      if (isDown()) opt.state |= QStyle::State_Sunken;
      style()->drawControl(QStyle::CE_PushButton, &opt, &p, this);
      return;
    }
    case DrawnImage::None:
      return;
    case DrawnImage::Normal:
      img = &normalImage_;
      break;
    case DrawnImage::Active:
      img = &activeImage_;
      break;
    case DrawnImage::Hover:
      img = &hoverImage_;
      break;
    case DrawnImage::Disable:
      img = &disableImage_;
      break;
  }
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (scalesToFrame_) {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(QRectF(rect()), *img, QRectF(img->rect()));
    return;
  }
  const qreal dpr = img->devicePixelRatio();
  const QRectF src(srcRect_.topLeft() * dpr, srcRect_.size() * dpr);
  p.drawPixmap(dstRect_, *img, src);
}

}  // namespace ui
