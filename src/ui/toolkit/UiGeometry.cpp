#include "ui/toolkit/UiGeometry.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace ui {

QRect fromBottomLeft(int parentH, int x, int y, int w, int h) { return QRect(x, parentH - y - h, w, h); }

QRectF fromBottomLeft(qreal parentH, qreal x, qreal y, qreal w, qreal h) { return QRectF(x, parentH - y - h, w, h); }

QRectF fromBottomLeft(qreal parentH, const QRectF& r) {
  return fromBottomLeft(parentH, r.x(), r.y(), r.width(), r.height());
}

AutoresizeHelper::AutoresizeHelper(QWidget* parent) : QObject(parent), parent_(parent) {
  parent_->installEventFilter(this);
}

void AutoresizeHelper::add(QWidget* child, unsigned mask) {
  remove(child);
  records_.push_back(Record{child, mask, child->geometry(), parent_->size()});
}

void AutoresizeHelper::remove(QWidget* child) {
  std::erase_if(records_, [child](const Record& r) { return r.child == child || !r.child; });
}

std::pair<qreal, qreal> AutoresizeHelper::resizeAxis(qreal lead, qreal size, qreal trail, qreal delta, bool leadFlex,
                                                     bool sizeFlex, bool trailFlex) {
  const qreal parts[3] = {lead, size, trail};
  const bool flex[3] = {leadFlex, sizeFlex, trailFlex};
  int count = 0;
  qreal sum = 0;
  for (int i = 0; i < 3; ++i)
    if (flex[i]) {
      ++count;
      sum += std::max<qreal>(parts[i], 0);
    }
  if (count == 0) return {lead, size};
  qreal out[3] = {lead, size, trail};
  for (int i = 0; i < 3; ++i)
    if (flex[i]) out[i] += sum > 0 ? delta * std::max<qreal>(parts[i], 0) / sum : delta / count;
  return {out[0], std::max<qreal>(out[1], 0)};
}

void AutoresizeHelper::apply() {
  const QSize now = parent_->size();
  for (const Record& r : records_) {
    if (!r.child) continue;
    const QRect f = r.frame;
    const auto [x, w] =
        resizeAxis(f.x(), f.width(), r.parentSize.width() - f.x() - f.width(), now.width() - r.parentSize.width(),
                   r.mask & MinXMargin, r.mask & WidthSizable, r.mask & MaxXMargin);
    // Vertically the leading part is the bottom margin.
    const qreal bottom = r.parentSize.height() - f.y() - f.height();
    const auto [b, h] = resizeAxis(bottom, f.height(), f.y(), now.height() - r.parentSize.height(), r.mask & MinYMargin,
                                   r.mask & HeightSizable, r.mask & MaxYMargin);
    const int ix = static_cast<int>(std::lround(x));
    const int iw = static_cast<int>(std::lround(w));
    const int ih = static_cast<int>(std::lround(h));
    const int iy = now.height() - static_cast<int>(std::lround(b)) - ih;
    r.child->setGeometry(ix, iy, iw, ih);
  }
}

bool AutoresizeHelper::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent_ && event->type() == QEvent::Resize) apply();
  return QObject::eventFilter(watched, event);
}

}  // namespace ui
