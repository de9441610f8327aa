#include "ui/toolkit/CheckButtons.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cmath>

#include "ui/toolkit/ImageStore.h"

namespace ui {
namespace {

bool g_latch = false;

const char* checkImage(int state) {
  switch (state) {
    case 2:
      return "pf_checkbox_yes";
    case 1:
      return "pf_checkbox_half";
    default:
      return "pf_checkbox_no";
  }
}

}  // namespace

QRectF NewButton::imageRectForBounds(const QRectF& frame) const {
  if (!hasLabel) return {};
  const qreal x = frame.x() + (hasIcon ? 35 : 10);
  const qreal y = frame.y() + std::ceil((frame.height() - kLabelHeight) / 2);
  return {x, y, kLabelWidth, kLabelHeight};
}

QRectF NewButton::iconImageRectForBounds(const QRectF& frame) const {
  if (!hasIcon) return {};
  return {frame.x() + 17, frame.y() + std::ceil((frame.height() - kIconSide) / 2), kIconSide, kIconSide};
}

void NewButton::drawWithFrame(QPainter& painter, const QRectF& frame, const QColor& textColor) const {
  if (hasIcon && !icon.isNull()) painter.drawPixmap(iconImageRectForBounds(frame), icon, QRectF(icon.rect()));
  if (hasLabel) {
    painter.save();
    painter.setPen(textColor);
    painter.drawText(imageRectForBounds(frame), Qt::AlignLeft | Qt::AlignVCenter, label);
    painter.restore();
  }
  const QPixmap box = ImageStore::pixmap(QLatin1String(checkImage(state)));
  if (!box.isNull()) {
    const qreal side = 14;
    const QRectF target(frame.x() + 1, frame.y() + std::floor((frame.height() - side) / 2), side, side);
    painter.drawPixmap(target, box, QRectF(box.rect()));
  }
}

bool NewButton::hitTestForEvent(const QPointF& pos, const QRectF& frame) {
  const QRectF area(frame.topLeft(), QSizeF(kHitWidth, kHitHeight));
  if (!area.contains(pos) || g_latch) return false;
  if (delegate) delegate(*this);
  g_latch = true;
  QTimer::singleShot(kLatchMs, [] { NewButton::changeVlaue(); });
  return true;
}

bool NewButton::clickLatched() { return g_latch; }

void NewButton::changeVlaue() { g_latch = false; }

NQTCustemButton::NQTCustemButton(QWidget* parent) : QAbstractButton(parent) {
  setText(QStringLiteral(" "));
  iconImageView_ = new QLabel(this);
  iconImageView_->setObjectName(QStringLiteral("iconImageView"));
  iconImageView_->setScaledContents(true);
  iconImageView_->setAttribute(Qt::WA_TransparentForMouseEvents);
  // (10, 10) from the tile's bottom left, 350 x 50; kept there on resizes.
  iconImageView_->setGeometry(10, 12, 350, 50);
}

void NQTCustemButton::showPicture(bool hover) {
  const QPixmap& p = hover ? iconHoverImage_ : iconImage_;
  iconImageView_->setPixmap(p);
  iconImageView_->setGeometry(10, height() - 10 - 50, 350, 50);
}

void NQTCustemButton::setIconImage(const QString& image, const QString& hoverImage) {
  iconImage_ = ImageStore::pixmap(image);
  iconHoverImage_ = ImageStore::pixmap(hoverImage);
  showPicture(true);
}

void NQTCustemButton::changeButtonStart(bool selected) {
  isSelected_ = selected;
  showPicture(selected);
  update();
}

void NQTCustemButton::setButtonEnabled(bool usable) {
  isDisabled_ = usable;
  repaint();
}

void NQTCustemButton::mousePressEvent(QMouseEvent* event) {
  if (!isDisabled_) {
    event->ignore();
    return;
  }
  const bool wasSelected = isSelected_;
  isSelected_ = !isSelected_;
  showPicture(!wasSelected);
  QAbstractButton::mousePressEvent(event);
  repaint();
}

void NQTCustemButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
}

QVHandButton::QVHandButton(QWidget* parent) : QPushButton(parent) { setCursor(Qt::PointingHandCursor); }

}  // namespace ui
