#include "ui/toolkit/MAAttachedWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace ui {
namespace {

bool isLeft(int s) { return s == 0 || s == 4 || s == 5; }
bool isBelow(int s) { return s == 1 || s == 10 || s == 11; }
bool isRight(int s) { return s == 2 || s == 6 || s == 7; }
bool isAbove(int s) { return s == 3 || s == 8 || s == 9; }

// Quarter arc at an axis-aligned corner, from the current point towards
// `to`, of radius r.
void arcFromCorner(QPainterPath& path, const QPointF& corner, const QPointF& to, qreal r) {
  const QPointF from = path.currentPosition();
  auto unit = [](QPointF v) {
    const qreal len = std::hypot(v.x(), v.y());
    return len > 0 ? v / len : QPointF();
  };
  const QPointF t1 = corner + unit(from - corner) * r;
  const QPointF t2 = corner + unit(to - corner) * r;
  constexpr qreal k = 0.5522847498;
  path.lineTo(t1);
  path.cubicTo(t1 + (corner - t1) * k, t2 + (corner - t2) * k, t2);
}

void appendArrow(QPainterPath& path, int side, const MAAttachedWindow::Metrics& m) {
  if (!m.hasArrow) return;
  const QPointF c = path.currentPosition();
  const qreal aw = m.arrowBaseWidth, h = aw / 2, a = m.arrowHeight;
  if (isBelow(side)) {
    path.lineTo(c.x() + h, c.y() + a);
    path.lineTo(c.x() + aw, c.y());
  } else if (isRight(side)) {
    path.lineTo(c.x() - a, c.y() + h);
    path.lineTo(c.x(), c.y() + aw);
  } else if (isAbove(side)) {
    path.lineTo(c.x() - h, c.y() - a);
    path.lineTo(c.x() - aw, c.y());
  } else if (isLeft(side)) {
    path.lineTo(c.x() + a, c.y() - h);
    path.lineTo(c.x(), c.y() - aw);
  }
}

}  // namespace

MAAttachedWindow* MAAttachedWindow::create(QWidget* view, const QPointF& point, QWidget* window, int side,
                                           qreal distance) {
  if (!view) return nullptr;
  return new MAAttachedWindow(view, point, window, side, distance);
}

MAAttachedWindow::MAAttachedWindow(QWidget* view, const QPointF& point, QWidget* window, int side, qreal distance)
    : QWidget(window ? window->window() : nullptr, Qt::Tool | Qt::FramelessWindowHint),
      view_(view),
      window_(window),
      point_(point),
      side_(side),
      distance_(distance) {
  setObjectName(QStringLiteral("attachedWindow"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  resize(view->size());
  closeTimer_.setSingleShot(true);
  connect(&closeTimer_, &QTimer::timeout, this, &MAAttachedWindow::closePopover);
  if (side_ == kAutomaticSide) side_ = bestSideForAutomaticPosition();
  view->setParent(this);
  updateAttachedGeometry();
  updateBackground();
  view->show();
  if (window_) window_->window()->installEventFilter(this);
}

MAAttachedWindow::~MAAttachedWindow() {
  if (window_) window_->window()->removeEventFilter(this);
}

QPointF MAAttachedWindow::pointUp() const {
  const QPointF global = window_ ? QPointF(window_->mapToGlobal(point_)) : point_;
  return flip(global);
}

QRectF MAAttachedWindow::viewFrame() const {
  return QRectF(viewFrameUp_.x(), height() - viewFrameUp_.y() - viewFrameUp_.height(), viewFrameUp_.width(),
                viewFrameUp_.height());
}

qreal MAAttachedWindow::arrowInset(const Metrics& m) {
  return (m.drawsRoundCornerBesideArrow ? m.cornerRadius : 0) + m.arrowBaseWidth / 2;
}

QRectF MAAttachedWindow::frameForPoint(const QSizeF& view, const QPointF& p, int side, qreal distance, const Metrics& m,
                                       QRectF* viewFrameUp) {
  const qreal margin = m.viewMargin;
  QRectF vf(margin, margin, view.width(), view.height());
  QRectF r(0, 0, view.width() + 2 * margin, view.height() + 2 * margin);
  const auto a = static_cast<qreal>(static_cast<float>(m.arrowHeight));
  if (isLeft(side)) {
    r.setWidth(r.width() + a);
  } else if (isRight(side)) {
    vf.moveLeft(vf.x() + a);
    r.setWidth(r.width() + a);
  } else if (isAbove(side)) {
    vf.moveTop(vf.y() + a);
    r.setHeight(r.height() + a);
  } else if (isBelow(side)) {
    r.setHeight(r.height() + a);
  }
  const qreal W = r.width(), H = r.height(), I = arrowInset(m);
  const qreal hw = static_cast<float>(W / 2), hh = static_cast<float>(H / 2);
  QPointF o = p;
  switch (side) {
    case 0:
      o = {p.x() - W, p.y() - hh};
      break;
    case 1:
      o = {p.x() - hw, p.y() - H};
      break;
    case 2:
      o = {p.x(), p.y() - hh};
      break;
    case 3:
      o = {p.x() - hw, p.y()};
      break;
    case 4:
      o = {p.x() - W, p.y() - I};
      break;
    case 5:
      o = {p.x() - W, p.y() - (H - I)};
      break;
    case 6:
      o = {p.x(), p.y() - I};
      break;
    case 7:
      o = {p.x(), p.y() - (H - I)};
      break;
    case 8:
      o = {p.x() - (W - I), p.y()};
      break;
    case 9:
      o = {p.x() - I, p.y()};
      break;
    case 10:
      o = {p.x() - (W - I), p.y() - H};
      break;
    case 11:
      o = {p.x() - I, p.y() - H};
      break;
    default:
      break;
  }
  if (isLeft(side))
    o.rx() -= distance;
  else if (isRight(side))
    o.rx() += distance;
  else if (isAbove(side))
    o.ry() += distance;
  else if (isBelow(side))
    o.ry() -= distance;
  r.moveTopLeft(o);  // y-up: "top left" is the origin here
  if (viewFrameUp) *viewFrameUp = vf;
  return r;
}

int MAAttachedWindow::bestSide(const QSizeF& view, const QPointF& p, qreal distance, const Metrics& m, const QRectF& s,
                               const QRectF& f) {
  // s and f are y-up rectangles: y is the minimum, y + height the maximum.
  const qreal vw = view.width() + 2 * m.viewMargin, vh = view.height() + 2 * m.viewMargin;
  const qreal d = m.arrowHeight + distance;
  const qreal minX = s.x(), maxX = s.x() + s.width(), minY = s.y(), maxY = s.y() + s.height();
  int side = 1;
  if (minY <= p.y() - vh - d)
    side = 1;
  else if (p.x() + vw + d < maxX)
    side = 2;
  else if (minX <= p.x() - vw - d)
    side = 0;
  else if (maxY > p.y() + vh + d)
    side = 3;
  const qreal I = arrowInset(m);
  if (side == 1 || side == 3) {
    if (f.x() > p.x() - vw / 2) {
      if (maxX > p.x() + vw - I) side = side == 1 ? 11 : 9;
    } else if (p.x() + vw / 2 >= f.x() + f.width()) {
      if (p.x() - vw + I >= minX) side = side == 1 ? 10 : 8;
    }
  } else {
    if (f.y() > p.y() - vh / 2) {
      if (maxY > p.y() + vh - I) side = side == 2 ? 6 : 4;
    } else if (p.y() + vh / 2 >= f.y() + f.height()) {
      if (p.y() - vh + I >= minY) side = side == 2 ? 7 : 5;
    }
  }
  return side;
}

QPainterPath MAAttachedWindow::backgroundPath(const QRectF& vf, int side, const Metrics& m) {
  const qreal r = m.cornerRadius, aw = m.arrowBaseWidth, h = aw / 2, margin = m.viewMargin;
  const QRectF q = vf.adjusted(-margin, -margin, margin, margin);
  const qreal minX = std::ceil(q.x() + 0.5), maxX = std::floor(q.x() + q.width() - 0.5);
  const qreal minY = std::ceil(q.y() + 0.5), maxY = std::floor(q.y() + q.height() - 0.5);
  const qreal midX = q.x() + q.width() * 0.5, midY = q.y() + q.height() * 0.5;
  auto rounded = [&](int a, int b) { return r > 0 && (m.drawsRoundCornerBesideArrow || (side != a && side != b)); };
  const bool tl = rounded(7, 11), tr = rounded(5, 10), br = rounded(4, 8), bl = rounded(6, 9);

  QPainterPath path;
  // Top edge, rightwards.
  path.moveTo(minX + (tl ? r : 0), maxY);
  QPointF end(maxX - (tr ? r : 0), maxY);
  if (side == 11) {
    appendArrow(path, side, m);
  } else if (side == 1) {
    path.lineTo(midX - h, maxY);
    appendArrow(path, side, m);
  } else if (side == 10) {
    path.lineTo(end.x() - aw, maxY);
    appendArrow(path, side, m);
  }
  path.lineTo(end);
  if (tr) arcFromCorner(path, {maxX, maxY}, {maxX, maxY - r}, r);
  // Right edge, downwards.
  end = QPointF(maxX, minY + (br ? r : 0));
  if (side == 5) {
    appendArrow(path, side, m);
  } else if (side == 0) {
    path.lineTo(maxX, midY + h);
    appendArrow(path, side, m);
  } else if (side == 4) {
    path.lineTo(maxX, end.y() + aw);
    appendArrow(path, side, m);
  }
  path.lineTo(end);
  if (br) arcFromCorner(path, {maxX, minY}, {maxX - r, minY}, r);
  // Bottom edge, leftwards.
  end = QPointF(minX + (bl ? r : 0), minY);
  if (side == 8) {
    appendArrow(path, side, m);
  } else if (side == 3) {
    path.lineTo(midX + h, minY);
    appendArrow(path, side, m);
  } else if (side == 9) {
    path.lineTo(end.x() + aw, minY);
    appendArrow(path, side, m);
  }
  path.lineTo(end);
  if (bl) arcFromCorner(path, {minX, minY}, {minX, minY + r}, r);
  // Left edge, upwards.
  end = QPointF(minX, maxY - (tl ? r : 0));
  if (side == 6) {
    appendArrow(path, side, m);
  } else if (side == 2) {
    path.lineTo(minX, midY - h);
    appendArrow(path, side, m);
  } else if (side == 7) {
    path.lineTo(minX, end.y() - aw);
    appendArrow(path, side, m);
  }
  path.lineTo(end);
  if (tl) arcFromCorner(path, {minX, maxY}, {minX + r, maxY}, r);
  path.closeSubpath();
  return path;
}

QPainterPath MAAttachedWindow::shapePath() const {
  QTransform toQt(1, 0, 0, -1, 0, height());
  return toQt.map(backgroundPath(viewFrameUp_, side_, m_));
}

int MAAttachedWindow::bestSideForAutomaticPosition() const {
  QScreen* screen = window_ && window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
  const QRectF s = screen ? flip(QRectF(screen->availableGeometry())) : QRectF(0, -600, 800, 600);
  const QRectF f = window_ ? flip(QRectF(window_->window()->frameGeometry())) : s;
  const QSizeF v = view_ ? QSizeF(view_->size()) : QSizeF();
  return bestSide(v, pointUp(), distance_, m_, s, f);
}

void MAAttachedWindow::updateAttachedGeometry() {
  if (!view_) return;
  const QRectF frameUp = frameForPoint(view_->size(), pointUp(), side_, distance_, m_, &viewFrameUp_);
  const QRect frame = flip(frameUp).toRect();
  setGeometry(frame);
  view_->setGeometry(viewFrame().toRect());
}

void MAAttachedWindow::updateBackground() {
  const QPainterPath path = shapePath();
  setMask(QRegion(path.toFillPolygon().toPolygon()));
  update();
}

void MAAttachedWindow::redisplay() {
  if (resizing_) return;
  resizing_ = true;
  setUpdatesEnabled(false);
  updateAttachedGeometry();
  updateBackground();
  setUpdatesEnabled(true);
  resizing_ = false;
}

void MAAttachedWindow::setPoint(const QPointF& point, int side) {
  point_ = point;
  side_ = side;
  setUpdatesEnabled(false);
  updateAttachedGeometry();
  updateBackground();
  setUpdatesEnabled(true);
}

void MAAttachedWindow::setBackgroundColor(const QColor& c) {
  if (c == backgroundColor_) return;
  backgroundColor_ = c;
  backgroundBrush_ = QBrush(c);
  updateBackground();
}

void MAAttachedWindow::setBackgroundImage(const QPixmap& image) {
  if (image.isNull()) return;
  backgroundColor_ = QColor();
  backgroundBrush_ = QBrush(image);
  updateBackground();
}

void MAAttachedWindow::setBorderColor(const QColor& c) {
  if (c == borderColor_) return;
  borderColor_ = c;
  updateBackground();
}

void MAAttachedWindow::setBorderWidth(qreal w) {
  if (w == borderWidth_) return;
  borderWidth_ = std::min(w, m_.viewMargin);
  updateBackground();
}

void MAAttachedWindow::setViewMargin(qreal v) {
  if (v == m_.viewMargin) return;
  m_.viewMargin = std::max<qreal>(v, 0);
  setCornerRadius(m_.cornerRadius);
}

void MAAttachedWindow::setCornerRadius(qreal r) {
  const qreal limit =
      (std::min(viewFrameUp_.width(), viewFrameUp_.height()) + 2 * m_.viewMargin - m_.arrowBaseWidth) / 2;
  m_.cornerRadius = std::max<qreal>(std::min(r, limit), 0);
  setArrowBaseWidth(m_.arrowBaseWidth);
}

void MAAttachedWindow::setArrowBaseWidth(qreal w) {
  qreal limit = std::min(viewFrameUp_.width(), viewFrameUp_.height()) + 2 * m_.viewMargin - m_.cornerRadius;
  if (m_.drawsRoundCornerBesideArrow) limit -= m_.cornerRadius;
  m_.arrowBaseWidth = std::max<qreal>(std::min(w, limit), 0);
  redisplay();
}

void MAAttachedWindow::setArrowHeight(qreal h) {
  if (h == m_.arrowHeight) return;
  m_.arrowHeight = h;
  redisplay();
}

void MAAttachedWindow::setHasArrow(bool v) {
  if (v == m_.hasArrow) return;
  m_.hasArrow = v;
  updateBackground();
}

void MAAttachedWindow::setDrawsRoundCornerBesideArrow(bool v) {
  if (v == m_.drawsRoundCornerBesideArrow) return;
  m_.drawsRoundCornerBesideArrow = v;
  redisplay();
}

void MAAttachedWindow::performClose() {
  if (window_)
    window_->window()->close();
  else
    closePopover();
}

void MAAttachedWindow::closePopover() {
  closeTimer_.stop();
  if (isHidden()) return;
  hide();
  emit closed();
}

void MAAttachedWindow::scheduleClose(int ms) { closeTimer_.start(ms); }

void MAAttachedWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QPainterPath path = shapePath();
  p.setClipPath(path);
  p.fillPath(path, backgroundBrush_);
  if (borderWidth_ > 0) p.strokePath(path, QPen(borderColor_, borderWidth_ * 2));
}

void MAAttachedWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  redisplay();
}

bool MAAttachedWindow::eventFilter(QObject* watched, QEvent* event) {
  if (window_ && watched == window_->window()) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
        if (!isHidden()) redisplay();
        break;
      case QEvent::Hide:
      case QEvent::Close:
        closePopover();
        break;
      case QEvent::WindowActivate:
      case QEvent::ActivationChange:
      case QEvent::ZOrderChange:
      case QEvent::Show:
      case QEvent::WindowStateChange:
        // The owner came to the front: this window goes back above it,
        // after the owner's own raise has been carried out.
        if (!isHidden())
          QMetaObject::invokeMethod(
              this,
              [this] {
                if (!isHidden()) raise();
              },
              Qt::QueuedConnection);
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ui
