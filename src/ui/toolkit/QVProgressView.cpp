#include "ui/toolkit/QVProgressView.h"

#include "ui/toolkit/UiGeometry.h"

#include <QPainter>

#include <cmath>

namespace ui {

void NSProgressBar::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), QColor(53, 130, 248)); }

QVProgressView::QVProgressView(QWidget* parent) : QVProgressView(QRect(0, 0, 400, 4), parent) {}

QVProgressView::QVProgressView(const QRect& frame, QWidget* parent) : QWidget(parent) {
  setGeometry(frame);
  pProgress1_ = new NSProgressBar(this);
  pProgress1_->setObjectName(QStringLiteral("pProgress1"));
  pProgress1_->setGeometry(fromBottomLeft(height(), 0, 0, 0, 4));
  (new AutoresizeHelper(this))->add(pProgress1_, WidthSizable | MaxXMargin);
}

float QVProgressView::barWidthForPercent(float p, float w) {
  float bar = p / 100.0f * w;
  if (std::isnan(bar))
    bar = 10;
  else if (bar > w - 1)
    bar = w;
  else if (bar < 10)
    bar = 10;
  return bar;
}

void QVProgressView::changeProgressValue(float percent) {
  const float w = barWidthForPercent(percent, static_cast<float>(width()));
  pProgress1_->setGeometry(fromBottomLeft(height(), 0, 0, static_cast<int>(std::lround(w)), 4));
  if (auto* helper = findChild<AutoresizeHelper*>(QString(), Qt::FindDirectChildrenOnly))
    helper->add(pProgress1_, WidthSizable | MaxXMargin);
  pProgress1_->update();
  update();
}

void QVProgressView::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), QColor(194, 198, 204)); }

}  // namespace ui
